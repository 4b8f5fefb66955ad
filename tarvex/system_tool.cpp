#include "system_tool.h"

#include <wchar.h>
#include <windows.h>

bool build_system_tool_path(const wchar_t* system_dir, size_t length,
                            const wchar_t* tool, wchar_t* path,
                            size_t capacity) {
  if (capacity == 0) return false;
  path[0] = L'\0';
  if (length == 0 || wcsnlen(system_dir, length + 1) != length) return false;
  if (length + 1 + wcslen(tool) >= capacity) return false;
  wcscpy_s(path, capacity, system_dir);
  wcscat_s(path, capacity, L"\\");
  wcscat_s(path, capacity, tool);
  return true;
}

bool system_tool_path(const wchar_t* tool, wchar_t* path, size_t capacity) {
  wchar_t system_dir[MAX_PATH];
  UINT length = GetSystemDirectoryW(system_dir, MAX_PATH);
  // A length of MAX_PATH or more is the room it would need, not a folder.
  if (length >= MAX_PATH) length = 0;
  return build_system_tool_path(system_dir, length, tool, path, capacity);
}

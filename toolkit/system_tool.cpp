#include "system_tool.h"

#include <wchar.h>
#include <windows.h>

#include "bounded_text.h"

namespace {

const wchar_t kSeparator[] = L"\\";

}  // namespace

bool build_system_tool_path(const wchar_t* system_dir, size_t length,
                            const wchar_t* tool, wchar_t* path,
                            size_t capacity) {
  // A length of 0 is a failed read; the folder must end where it was said to.
  if (length == 0 || wcsnlen(system_dir, length + 1) != length)
    return refuse_text(path, capacity);
  return compose_text(path, capacity, {system_dir, kSeparator, tool});
}

bool system_tool_path(const wchar_t* tool, wchar_t* path, size_t capacity) {
  wchar_t system_dir[MAX_PATH];
  UINT length = GetSystemDirectoryW(system_dir, MAX_PATH);
  // A length of MAX_PATH or more is the room it would need, not a folder.
  if (length >= MAX_PATH) length = 0;
  return build_system_tool_path(system_dir, length, tool, path, capacity);
}

bool system_folder_path(wchar_t* path, size_t capacity) {
  return system_tool_path(L"", path, capacity);
}

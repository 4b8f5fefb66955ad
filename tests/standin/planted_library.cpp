// A library the tests plant beside a program under the name of one that the
// loader or the shell looks up by name (version.dll, imm32.dll, ...). It
// exports nothing; if it is ever loaded, its entry point logs its own path
// and the program's, one line each time, and it refuses nothing, so the
// program goes on as if it had not been there.
#include <windows.h>

#include <string>

#include "standin_log.h"

namespace {

std::wstring module_path(HMODULE module) {
  wchar_t path[MAX_PATH];
  return std::wstring(path, GetModuleFileNameW(module, path, MAX_PATH));
}

void log_load(HMODULE self) {
  const std::wstring line = module_path(self) + L" in " + module_path(nullptr);
  char bytes[3 * (2 * MAX_PATH + 8)];
  int count = WideCharToMultiByte(
      CP_UTF8, 0, line.data(), static_cast<int>(line.size()), bytes,
      static_cast<int>(sizeof bytes), nullptr, nullptr);
  if (count > 0)
    append_log_line(PLANTED_LIBRARY_LOG, bytes, static_cast<size_t>(count));
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) log_load(self);
  return TRUE;
}

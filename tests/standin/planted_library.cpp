// A library the tests plant beside a program under the name of one that the
// loader or the shell looks up by name (version.dll, imm32.dll, ...). It
// exports nothing; if it is ever loaded, its entry point logs its own path
// and the program's, one line each time, and it refuses nothing, so the
// program goes on as if it had not been there.
#include <windows.h>

#include "standin_log.h"

namespace {

// Appends module's full path to line at used; false if it would not fit.
bool append_module_path(HMODULE module, wchar_t* line, size_t capacity,
                        size_t* used) {
  DWORD length = GetModuleFileNameW(module, line + *used,
                                    static_cast<DWORD>(capacity - *used));
  if (length == 0 || *used + length >= capacity) return false;
  *used += length;
  return true;
}

void log_load(HMODULE self) {
  const size_t kLineChars = 2 * MAX_PATH + 8;
  const wchar_t kBetween[] = L" in ";
  wchar_t line[kLineChars];
  size_t used = 0;
  if (!append_module_path(self, line, kLineChars, &used) ||
      used + wcslen(kBetween) >= kLineChars) {
    return;
  }
  for (const wchar_t* part = kBetween; *part != L'\0'; ++part)
    line[used++] = *part;
  if (!append_module_path(nullptr, line, kLineChars, &used)) return;
  char bytes[3 * kLineChars];
  int count =
      WideCharToMultiByte(CP_UTF8, 0, line, static_cast<int>(used), bytes,
                          static_cast<int>(sizeof bytes), nullptr, nullptr);
  if (count > 0)
    append_log_line(PLANTED_LIBRARY_LOG, bytes, static_cast<size_t>(count));
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) log_load(self);
  return TRUE;
}

#include "child_process.h"

#include "bounded_text.h"

namespace {

const wchar_t kQuote[] = L"\"";
const wchar_t kBlank[] = L" ";
// A path and a 511-character argument line, with room to spare.
const size_t kCommandLineChars = MAX_PATH + 1024;

}  // namespace

bool build_child_command_line(const wchar_t* program, const wchar_t* arguments,
                              wchar_t* line, size_t capacity) {
  return compose_text(line, capacity,
                      {kQuote, program, kQuote, kBlank, arguments});
}

KernelHandle start_child(const wchar_t* program, const wchar_t* arguments,
                         const wchar_t* folder, DWORD creation_flags,
                         WORD show) {
  wchar_t line[kCommandLineChars];
  if (!build_child_command_line(program, arguments, line, kCommandLineChars)) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return KernelHandle();
  }
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = show;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(program, line, nullptr, nullptr, FALSE, creation_flags,
                      nullptr, folder, &startup, &process)) {
    return KernelHandle();
  }
  KernelHandle thread(process.hThread);
  return KernelHandle(process.hProcess);
}

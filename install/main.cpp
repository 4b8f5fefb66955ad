// install: runs the driver-store utility elevated with our own arguments as
// its argument line and waits for it. The exit code is always 1.
#include <objbase.h>
#include <stdio.h>
#include <windows.h>

#include "bounded_text.h"
#include "elevated_launch.h"
#include "join_arguments.h"

namespace {

const wchar_t kPnputilPath[] = L"c:\\Windows\\System32\\pnputil.exe";
const int kExitCode = 1;
const size_t kLineBytes = 512;
const size_t kWideLineChars = 512;

const char kUsageMessage[] = "Usage: install <pnputil arguments>\n";
const char kTooLongMessage[] =
    "install: the argument line is longer than 511 characters; nothing was "
    "started\n";

}  // namespace

int main(int argc, char** argv) {
  char line[kLineBytes];
  switch (join_arguments(argc, argv, line, sizeof line)) {
    case JoinResult::kNoArguments:
      fputs(kUsageMessage, stdout);
      return kExitCode;
    case JoinResult::kTooLong:
      fputs(kTooLongMessage, stdout);
      return kExitCode;
    case JoinResult::kOk:
      break;
  }

  // The line fits in 511 bytes, and in the "C" locale every byte widens to
  // one character, so the wide buffer always holds it.
  wchar_t wide_line[kWideLineChars];
  if (!widen_text(line, wide_line, kWideLineChars)) {
    fputs(kTooLongMessage, stdout);
    return kExitCode;
  }

  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

  run_elevated_and_wait(kPnputilPath, wide_line, SW_SHOWNORMAL);
  return kExitCode;
}

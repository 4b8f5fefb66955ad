// install: runs the driver-store utility elevated with our own arguments as
// its argument line and waits for it. The exit code is always 1.
#include <objbase.h>
#include <stdio.h>
#include <windows.h>

#include "elevated_launch.h"
#include "join_arguments.h"
#include "system_tool.h"

namespace {

const wchar_t kPnputilName[] = L"pnputil.exe";
const int kExitCode = 1;
const size_t kLineChars = 512;

const char kUsageMessage[] = "Usage: install <pnputil arguments>\n";
const char kNoSystemFolderMessage[] =
    "install: the system folder could not be found; nothing was started\n";
const char kTooLongMessage[] =
    "install: the argument line is longer than 511 characters; nothing was "
    "started\n";

}  // namespace

// The arguments are taken as wide text, as the caller wrote them: narrowed
// through the ANSI code page, a character it lacks would reach pnputil, which
// runs elevated, as another ("?", a wildcard, or a look-alike letter).
int wmain(int argc, wchar_t** argv) {
  wchar_t line[kLineChars];
  switch (join_arguments(argc, argv, line, kLineChars)) {
    case JoinResult::kNoArguments:
      fputs(kUsageMessage, stdout);
      return kExitCode;
    case JoinResult::kTooLong:
      fputs(kTooLongMessage, stdout);
      return kExitCode;
    case JoinResult::kOk:
      break;
  }

  // From the folder the system names: a fixed c:\Windows\System32 would
  // name, on a machine whose Windows lives on another drive, a folder any
  // user may create on c:, and pnputil runs elevated.
  wchar_t pnputil[MAX_PATH];
  if (!system_tool_path(kPnputilName, pnputil, MAX_PATH)) {
    fputs(kNoSystemFolderMessage, stdout);
    return kExitCode;
  }

  // Asked for by the shell before an elevated launch; its result changes
  // nothing here, and it is never undone.
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

  run_elevated_and_wait(pnputil, line, SW_SHOWNORMAL);
  return kExitCode;
}

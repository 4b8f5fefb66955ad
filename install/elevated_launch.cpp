#include "elevated_launch.h"

#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include "unique_resource.h"

const wchar_t kRunasVerb[] = L"runas";

namespace {

const wchar_t kShellLibrary[] = L"shell32.dll";
const char kShellExecuteEx[] = "ShellExecuteExW";

typedef BOOL(WINAPI* ShellExecuteExFunction)(SHELLEXECUTEINFOW*);

// The shell is loaded only when pnputil is started, and only from the system
// folder: install does not link it, so the loader never looks for it (or
// the dozen libraries it brings) beside the program. It stays loaded to the end
// of the process, as a linked library would: the shell may go on with work of
// its own on threads after the launch has returned, and unloading it under them
// would crash.
void* shell_function(const char* name) {
  HMODULE shell =
      LoadLibraryExW(kShellLibrary, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (shell == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(shell, name));
}

}  // namespace

bool run_elevated_and_wait(const wchar_t* program, const wchar_t* parameters,
                           int show) {
  auto execute =
      reinterpret_cast<ShellExecuteExFunction>(shell_function(kShellExecuteEx));
  if (execute == nullptr) return false;

  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpVerb = kRunasVerb;
  info.lpFile = program;
  info.lpParameters = parameters;
  info.nShow = show;
  if (!execute(&info)) return false;
  KernelHandle process(info.hProcess);
  if (process.valid()) WaitForSingleObject(process.get(), INFINITE);
  return true;
}

#include "elevated_launch.h"

#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include "unique_resource.h"

const wchar_t kRunasVerb[] = L"runas";

namespace {

const wchar_t kShellLibrary[] = L"shell32.dll";
const char kShellExecuteEx[] = "ShellExecuteExW";
const char kShellExecute[] = "ShellExecuteW";

typedef BOOL(WINAPI* ShellExecuteExFunction)(SHELLEXECUTEINFOW*);
typedef HINSTANCE(WINAPI* ShellExecuteFunction)(HWND, const wchar_t*,
                                                const wchar_t*, const wchar_t*,
                                                const wchar_t*, int);

// The shell is loaded only when a child is started, and only from the system
// folder: it brings a dozen libraries with it, and most runs of tarvex start
// nothing; and no program links it, so the loader never looks for it (or
// what it brings) beside the program. It stays loaded to the end of the
// process, as a linked library would: the shell may go on with work of its
// own on threads after the launch has returned, and unloading it under them
// would crash.
void* shell_function(const char* name) {
  HMODULE shell =
      LoadLibraryExW(kShellLibrary, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (shell == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(shell, name));
}

}  // namespace

intptr_t shell_execute(const wchar_t* verb, const wchar_t* program,
                       const wchar_t* parameters, int show) {
  auto execute =
      reinterpret_cast<ShellExecuteFunction>(shell_function(kShellExecute));
  if (execute == nullptr) return 0;
  SetLastError(ERROR_SUCCESS);
  return reinterpret_cast<intptr_t>(
      execute(nullptr, verb, program, parameters, nullptr, show));
}

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

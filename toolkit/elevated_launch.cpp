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

}  // namespace

bool run_elevated_and_wait(const wchar_t* program, const wchar_t* parameters,
                           int show) {
  // The shell is loaded only when a child is started, and only from the
  // system folder: it brings a dozen libraries with it, and most runs of
  // tarvex start nothing. It stays loaded to the end of the process, as a
  // linked library would: the shell may go on with work of its own on
  // threads after ShellExecuteExW has returned, and unloading it under them
  // would crash.
  HMODULE shell =
      LoadLibraryExW(kShellLibrary, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (shell == nullptr) return false;
  auto execute = reinterpret_cast<ShellExecuteExFunction>(
      reinterpret_cast<void*>(GetProcAddress(shell, kShellExecuteEx)));
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

#include "elevated_launch.h"

#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include "unique_resource.h"

const wchar_t kRunasVerb[] = L"runas";

bool run_elevated_and_wait(const wchar_t* program, const wchar_t* parameters,
                           int show) {
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpVerb = kRunasVerb;
  info.lpFile = program;
  info.lpParameters = parameters;
  info.nShow = show;
  if (!ShellExecuteExW(&info)) return false;
  KernelHandle process(info.hProcess);
  if (process.valid()) WaitForSingleObject(process.get(), INFINITE);
  return true;
}

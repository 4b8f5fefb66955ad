#pragma once
// Running the built programs from a test, and what the pnputil stand-in saw.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "unique_resource.h"

namespace testsupport {

// The folder of the test packages (MSIs built by the fixture), likewise.
std::wstring msi_folder();

// The folder of the signed test files (installer.exe and packages signed
// with throwaway keys, made by the fixture), likewise.
std::wstring signed_folder();

// installer.exe as built for the tests' throwaway signing key (the build
// makes that key), likewise.
std::wstring keyed_installer();

// The built program of that name.
std::wstring program_path(const std::wstring& name);

struct RunResult {
  unsigned long exit_code = 0;
  std::string output;            // standard output and standard error, as bytes
  unsigned long process_id = 0;  // whose children a test may look for
};

// Starts exe with the given argument text in folder (empty: ours), and
// returns at once with its process: the one way the tests start a program.
// extra_environment entries ("NAME=value") are added to ours or replace
// ours; output, if given, is an inheritable handle that takes the program's
// output and errors (otherwise they are ours). Throws if it cannot start.
KernelHandle start_program(
    const std::wstring& exe, const std::wstring& arguments = L"",
    const std::wstring& folder = L"",
    const std::vector<std::wstring>& extra_environment = {},
    HANDLE output = nullptr, bool suspended = false);

// Whether the process has ended (or the event is set): for eventually().
bool is_signalled(HANDLE process);

// Runs exe as start_program does, capturing its output and waiting (two
// minutes at the most, then it is ended and this throws) for it to end. If
// given, meanwhile runs once the process exists, before its first
// instruction: it starts when meanwhile returns.
RunResult run_program(const std::wstring& exe, const std::wstring& arguments,
                      const std::wstring& folder = L"",
                      const std::vector<std::wstring>& extra_environment = {},
                      const std::function<void()>& meanwhile = nullptr);

// A test that reads what pnputil was asked needs the stand-in in the
// system folder, which the Wine fixture puts there; on Windows the system's
// own pnputil has that place. Such tests derive their fixture from this.
class NeedsPnputilStandIn : public ::testing::Test {
 protected:
  void SetUp() override;
};

// The processes named name (any case) that the process parent_id started
// and that still run, each held: what a program started, told apart from
// any other process of that name (on Windows the Windows Installer
// service itself runs as msiexec.exe).
std::vector<KernelHandle> children_of(unsigned long parent_id,
                                      const wchar_t* name);

// Copies the pnputil stand-in to target: a planted program that logs
// "PLANTED <arguments>" if it is ever run. False if the copy failed.
bool plant_standin(const std::wstring& target);

// Copies the marker library to target (a folder + a library's file name):
// it logs every load. False if the copy failed.
bool plant_library(const std::wstring& target);

// The loads the planted libraries logged, "<library> in <program>" (UTF-8),
// oldest first; and the log emptied.
std::vector<std::string> planted_library_loads();
void clear_planted_library_loads();

// True unless Wine would load its own built-in copy of a library named in
// names ("a,b,c") instead of one planted beside a program: Windows loads the
// planted one for any name that is not a KnownDLL, Wine only under
// WINEDLLOVERRIDES=<names>=n,b. Wine reads that from the environment a
// process inherits from its parent, not from an environment block given to
// it, so it is set for the whole suite (by ctest) and only checked here.
bool planted_libraries_preferred(const std::wstring& names);

// The lines the pnputil stand-in logged, one per call, oldest first.
std::vector<std::string> pnputil_calls();

// The words the stand-in split each call's line into (UTF-8), oldest first:
// what the real utility would take as its arguments.
std::vector<std::vector<std::string>> pnputil_words();

// The current folder of each call the stand-in logged, in lower case and
// without a trailing separator, oldest first.
std::vector<std::wstring> pnputil_folders();

// True when, after waiting longer than the stand-in pauses before it logs,
// no call has been logged: what was run started no pnputil.
bool pnputil_stays_unasked(unsigned long wait_milliseconds = 500);

// Empties the stand-in's logs; also done by PnputilLog's constructor and
// destructor.
void clear_pnputil_calls();

class PnputilLog {
 public:
  PnputilLog() { clear_pnputil_calls(); }
  ~PnputilLog() { clear_pnputil_calls(); }
  PnputilLog(const PnputilLog&) = delete;
  PnputilLog& operator=(const PnputilLog&) = delete;
};

}  // namespace testsupport

// installer: hands the first *.msi of the current folder to Windows Installer
// with administrator rights, visibly or, with /s or /S, unattended.
#include <stdint.h>
#include <stdio.h>
#include <wchar.h>
#include <windows.h>

#include <vector>

#include "bounded_text.h"
#include "child_process.h"
#include "launch_plan.h"
#include "package_guard.h"
#include "package_signature.h"
#include "system_tool.h"
#include "unique_resource.h"

namespace {

const wchar_t kMsiexecName[] = L"msiexec.exe";
const size_t kDirectoryChars = 512;
const size_t kArgumentChars = 256;
// The echo: a line feed, the argument line, a line feed, the terminator.
const size_t kEchoBytes = kArgumentChars + 2;
// What the runtime's text mode writes for a line feed.
const wchar_t kEchoLineEnd[] = L"\r\n";

const char kNoDirectoryMessage[] = "GetCurrentDirectory failed (%d)\n";
const char kNoMsiMessage[] = "FindFirstFile failed (%d)\n";
const char kLaunchFailedMessage[] = "CreateProcess failed (%d)\n";
const char kDirectoryTooLongMessage[] =
    "The current directory is too long to search for an MSI file\n";
const char kNameTooLongMessage[] =
    "The MSI file name is too long for the msiexec command line\n";
const char kNoSystemFolderMessage[] =
    "The system folder could not be found, so msiexec was not started\n";
const char kRefusalMessage[] = "Not handed over: %s: %s\n";
// Room for any path the system can give a program.
const size_t kOwnPathChars = 32768;
// Shows the whole argument line: in a console exactly, as wide text;
// redirected, in 8-bit text with "?" for what that cannot carry, so the line
// is never cut short at a character the runtime's wide output cannot convert.
void echo_line(const wchar_t* line) {
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (GetConsoleMode(output, &mode)) {
    const wchar_t* parts[] = {kEchoLineEnd, line, kEchoLineEnd};
    for (const wchar_t* part : parts) {
      DWORD written = 0;
      WriteConsoleW(output, part, static_cast<DWORD>(wcslen(part)), &written,
                    nullptr);
    }
    return;
  }
  char text[kEchoBytes];
  if (build_echo_text(line, text, sizeof text)) fputs(text, stdout);
  fflush(stdout);
}

// Says which package was not handed over and why, the name as the echo
// shows it, so the line is never cut short.
void report_refusal(const wchar_t* name, PackageVerdict verdict) {
  char shown[kEchoBytes];
  if (!build_shown_text(name, shown, sizeof shown))
    copy_text(shown, sizeof shown, "?");
  printf(kRefusalMessage, shown, refusal_reason(verdict));
  fflush(stdout);
}

// Judges the package named name (in the current folder) by its signature,
// and holds it open in *held, without write or delete sharing, so that the
// file judged is the file msiexec is given for as long as installer runs.
// A package is judged only when installer.exe itself is signed.
PackageVerdict judge_found_package(const wchar_t* name, FileHandle* held) {
  std::vector<wchar_t> own(kOwnPathChars);
  const DWORD length =
      GetModuleFileNameW(nullptr, own.data(), static_cast<DWORD>(own.size()));
  // Unknown where installer.exe is, it cannot say it is unsigned.
  if (length == 0 || length >= own.size()) return PackageVerdict::kNotIntact;
  if (!carries_signature(own.data())) return PackageVerdict::kHandOver;
  held->reset(CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  SignatureFacts facts = {true, false, false, false, 0, 0};
  if (held->valid())
    facts = read_signature_facts(own.data(), name, held->get());
  return judge_package(facts);
}

}  // namespace

int main(int argc, char** argv) {
  const bool quiet = is_quiet_mode(argc, argv);

  wchar_t directory[kDirectoryChars];
  DWORD length = GetCurrentDirectoryW(kDirectoryChars, directory);
  if (length == 0) {
    printf(kNoDirectoryMessage, static_cast<int>(GetLastError()));
    return 1;
  }
  wchar_t pattern[kDirectoryChars];
  if (!build_msi_pattern(directory, length, pattern, kDirectoryChars)) {
    fputs(kDirectoryTooLongMessage, stdout);
    return 1;
  }

  WIN32_FIND_DATAW match;
  wchar_t arguments[kArgumentChars];
  {
    SearchHandle search(FindFirstFileW(pattern, &match));
    if (!search.valid()) {
      printf(kNoMsiMessage, static_cast<int>(GetLastError()));
      return 1;
    }
    // The search also matches 8.3 short names: x.msix is found as X~1.MSI.
    // Only a long name ending in .msi counts; with none, it is as if
    // nothing had matched.
    bool found = is_msi_name(match.cFileName);
    while (!found && FindNextFileW(search.get(), &match)) {
      found = is_msi_name(match.cFileName);
    }
    if (!found) {
      printf(kNoMsiMessage, static_cast<int>(ERROR_FILE_NOT_FOUND));
      return 1;
    }
    if (!is_quotable_name(match.cFileName)) {
      report_refusal(match.cFileName, PackageVerdict::kNameHoldsQuote);
      return 1;
    }
    if (!build_msiexec_arguments(match.cFileName, quiet, arguments,
                                 kArgumentChars)) {
      fputs(kNameTooLongMessage, stdout);
      return 1;
    }
  }

  // By full path: the shell would otherwise look in the current folder too,
  // where a planted msiexec.exe would run with administrator rights.
  wchar_t msiexec[MAX_PATH];
  if (!system_tool_path(kMsiexecName, msiexec, MAX_PATH)) {
    fputs(kNoSystemFolderMessage, stdout);
    return 1;
  }

  FileHandle package;
  const PackageVerdict verdict = judge_found_package(match.cFileName, &package);
  if (verdict != PackageVerdict::kHandOver) {
    report_refusal(match.cFileName, verdict);
    return 1;
  }

  if (!quiet) echo_line(arguments);

  // Started directly: installer runs elevated already and msiexec inherits
  // its token; the shell's "runas" verb would add a lookup of the verb's
  // command among file classes, which include the user's own. Not waited
  // for. It starts in our current folder, where its bare argument is.
  KernelHandle process = start_child(msiexec, arguments, nullptr, 0, SW_SHOWNA);
  if (!process.valid()) {
    printf(kLaunchFailedMessage, static_cast<int>(GetLastError()));
    return 1;
  }
  return 0;
}

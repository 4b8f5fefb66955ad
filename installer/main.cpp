// installer: hands the first *.msi of the current folder to Windows Installer
// with administrator rights, visibly or, with /s or /S, unattended.
#include <stdint.h>
#include <stdio.h>
#include <wchar.h>
#include <windows.h>

#include <string>

#include "bounded_text.h"
#include "child_process.h"
#include "launch_plan.h"
#include "package_guard.h"
#include "package_hold.h"
#include "package_signature.h"
#include "signer_key.h"
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
const char kRefusalWithAnswerMessage[] = "Not handed over: %s: %s (0x%08lX)\n";
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
// shows it, so the line is never cut short; an answer of the verifier's
// that says nothing more specific is given as its number.
void report_refusal(const wchar_t* name, PackageVerdict verdict, LONG trust) {
  char shown[kEchoBytes];
  if (!build_shown_text(name, shown, sizeof shown))
    copy_text(shown, sizeof shown, "?");
  if (verdict == PackageVerdict::kNotVerified) {
    printf(kRefusalWithAnswerMessage, shown, refusal_reason(verdict),
           static_cast<unsigned long>(trust));
  } else {
    printf(kRefusalMessage, shown, refusal_reason(verdict));
  }
  fflush(stdout);
}

// Judges the package found (match) for the key installer was built for,
// and holds it in *held, so that the file judged is the file msiexec reads
// for as long as any copy of that handle is open; *folder gets the folder
// it is really in.
PackageVerdict judge_found_package(const WIN32_FIND_DATAW& match,
                                   FileHandle* held, std::wstring* folder,
                                   LONG* trust) {
  PackageFacts facts = {};
  hold_package(match.cFileName, match.dwFileAttributes, held, folder, &facts);
  if (facts.opened && facts.plain_file)
    read_signature_facts(held->get(), match.cFileName, kBuiltInSignerKey,
                         kBuiltInSignerKeyBytes, &facts);
  *trust = facts.trust;
  return judge_package(facts);
}

// A copy of held that a child can inherit; empty if none could be made.
KernelHandle inheritable_copy(const FileHandle& held) {
  HANDLE copy = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), held.get(), GetCurrentProcess(),
                       &copy, 0, TRUE, DUPLICATE_SAME_ACCESS))
    return KernelHandle();
  return KernelHandle(copy);
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
      report_refusal(match.cFileName, PackageVerdict::kNameHoldsQuote, 0);
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

  // Built for a key, installer hands over only a package signed with it,
  // and msiexec inherits the hold on it, so that the package stays as it
  // was checked until msiexec ends, while installer itself ends at once.
  // msiexec then starts in the folder the package is really in, where its
  // bare argument names it.
  FileHandle package;
  KernelHandle inherited;
  std::wstring folder;
  if (kBuiltInSignerKeyBytes != 0) {
    LONG trust = 0;
    const PackageVerdict verdict =
        judge_found_package(match, &package, &folder, &trust);
    if (verdict != PackageVerdict::kHandOver) {
      report_refusal(match.cFileName, verdict, trust);
      return 1;
    }
    inherited = inheritable_copy(package);
    if (!inherited.valid()) {
      printf(kLaunchFailedMessage, static_cast<int>(GetLastError()));
      return 1;
    }
  }

  if (!quiet) echo_line(arguments);

  // Started directly: installer runs elevated already and msiexec inherits
  // its token; the shell's "runas" verb would add a lookup of the verb's
  // command among file classes, which include the user's own. Not waited
  // for. Without a key it starts in our current folder, as always.
  KernelHandle process =
      start_child(msiexec, arguments, folder.empty() ? nullptr : folder.c_str(),
                  0, SW_SHOWNA, inherited.get());
  if (!process.valid()) {
    printf(kLaunchFailedMessage, static_cast<int>(GetLastError()));
    return 1;
  }
  return 0;
}

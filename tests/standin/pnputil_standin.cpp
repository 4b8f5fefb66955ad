// A stand-in for the driver-store utility, installed by the test fixture as
// c:\windows\system32\pnputil.exe (Wine has none). It logs its argument text
// and mimics the two calls the tests and the demo need:
//   /delete-driver <oemN.inf of the driver store> /uninstall /force
//     deletes that INF and its .pnf, as the real utility does once the
//     package is gone;
//   /add-driver <inf> /install
//     copies the INF into the driver store as the next free oemN.inf.
// It splits its command line as every program does (CommandLineToArgvW) and
// acts on the words, as the real utility would: for /delete-driver the word
// after it is the INF, whatever the caller meant. Besides the raw line it logs
// the words it received, so a test sees which file it would take.
// It sleeps a little first, so a caller that does not wait is caught out.
// A copy started from anywhere but the system folder (a planted one) marks
// its line "PLANTED " and does nothing else.
#include <stdlib.h>
#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>
#include <shlwapi.h>

#include <string>
#include <vector>

#include "machine.h"
#include "standin_log.h"
#include "text.h"

using testsupport::lower;

namespace {

const wchar_t kDriverStore[] = L"c:\\windows\\inf\\";
const DWORD kWorkMilliseconds = 300;
// Set to 0 by suites that run thousands of calls and check order otherwise.
const wchar_t kPauseVariable[] = L"PNPUTIL_STANDIN_PAUSE_MS";
const std::wstring kWordSeparator(1, PNPUTIL_STANDIN_WORD_SEPARATOR);

DWORD pause_milliseconds() {
  wchar_t value[16];
  DWORD length = GetEnvironmentVariableW(kPauseVariable, value, 16);
  if (length == 0 || length >= 16) return kWorkMilliseconds;
  return static_cast<DWORD>(wcstoul(value, nullptr, 10));
}

// The words of our command line after the program's name, split as the C
// runtime and every program split it.
std::vector<std::wstring> argument_words() {
  int count = 0;
  wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::wstring> result;
  for (int i = 1; words != nullptr && i < count; ++i)
    result.push_back(words[i]);
  LocalFree(words);
  return result;
}

void delete_driver(const std::wstring& inf) {
  std::wstring folder = inf.substr(0, inf.find_last_of(L'\\') + 1);
  std::wstring name = lower(inf.substr(folder.size()));
  if (lower(folder) != kDriverStore || name.size() < 7 ||
      name.compare(0, 3, L"oem") != 0 ||
      name.compare(name.size() - 4, 4, L".inf") != 0)
    return;
  DeleteFileW(inf.c_str());
  DeleteFileW((inf.substr(0, inf.size() - 4) + L".pnf").c_str());
}

void add_driver(const std::wstring& inf) {
  for (int n = 0; n < 10000; ++n) {
    std::wstring target =
        std::wstring(kDriverStore) + L"oem" + std::to_wstring(n) + L".inf";
    if (CopyFileW(inf.c_str(), target.c_str(), TRUE)) return;
    if (GetLastError() != ERROR_FILE_EXISTS) return;
  }
}

bool started_from_system_folder() {
  wchar_t module[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, module, MAX_PATH);
  std::wstring folder(module, length);
  folder = folder.substr(0, folder.find_last_of(L'\\'));
  return lower(folder) == lower(testsupport::system_folder());
}

void append_to_log(const wchar_t* log_path, const std::wstring& text) {
  const std::string line = testsupport::utf8(text);
  append_log_line(log_path, line.data(), line.size());
}

}  // namespace

int main() {
  // The command line without the program's own name.
  std::wstring arguments = PathGetArgsW(GetCommandLineW());
  std::vector<std::wstring> words = argument_words();
  Sleep(pause_milliseconds());
  if (!started_from_system_folder()) {
    append_to_log(PNPUTIL_STANDIN_LOG, L"PLANTED " + arguments);
    return 0;
  }

  if (words.size() >= 2 && lower(words[0]) == L"/delete-driver") {
    delete_driver(words[1]);
  } else if (words.size() >= 2 && lower(words[0]) == L"/add-driver") {
    add_driver(words[1]);
  }

  std::wstring joined;
  for (const std::wstring& word : words) {
    joined += (joined.empty() ? L"" : kWordSeparator) + word;
  }
  append_to_log(PNPUTIL_STANDIN_WORDS_LOG, joined);
  wchar_t folder[MAX_PATH];
  const DWORD length = GetCurrentDirectoryW(MAX_PATH, folder);
  append_to_log(PNPUTIL_STANDIN_FOLDER_LOG,
                length < MAX_PATH ? std::wstring(folder, length) : L"?");
  append_to_log(PNPUTIL_STANDIN_LOG, arguments);
  return 0;
}

// Random package folders for installer and random argument lists for
// install, against the model. For this suite ctest sets
// WINEDLLOVERRIDES=msiexec.exe=n and the test puts the stand-in in place of
// system32's msiexec.exe, so the exact msiexec line is logged.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "machine.h"
#include "model.h"
#include "programs.h"
#include "random_settings.h"

namespace {

using namespace testsupport;

const wchar_t kPackageDrive[] = L"r:";

// The stand-in in place of msiexec.exe for the test's duration.
class MsiexecStandIn {
 public:
  MsiexecStandIn()
      : msiexec_(system_folder() + L"\\msiexec.exe"),
        saved_(system_folder() + L"\\msiexec.exe.saved") {
    CopyFileW(msiexec_.c_str(), saved_.c_str(), FALSE);
    plant_standin(msiexec_);
  }
  ~MsiexecStandIn() {
    CopyFileW(saved_.c_str(), msiexec_.c_str(), FALSE);
    DeleteFileW(saved_.c_str());
  }

 private:
  std::wstring msiexec_;
  std::wstring saved_;
};

std::string utf8(const std::wstring& text) {
  int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(),
                                  static_cast<int>(text.size()), nullptr, 0,
                                  nullptr, nullptr);
  std::string out(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                      &out[0], bytes, nullptr, nullptr);
  return out;
}

std::wstring random_name(std::mt19937& random, size_t length) {
  static const wchar_t kChars[] =
      L"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 "
      L"-_()\xe9\x0142";
  std::wstring name;
  for (size_t i = 0; i < length; ++i) {
    name += kChars[std::uniform_int_distribution<size_t>(
        0, wcslen(kChars) - 1)(random)];
  }
  // Windows drops trailing blanks and dots from names.
  while (!name.empty() && name.back() == L' ') name.back() = L'x';
  return name;
}

// The first entry Windows lists in folder whose name ends in ".msi".
std::wstring first_msi(const std::wstring& folder) {
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &data);
  std::wstring found;
  if (search == INVALID_HANDLE_VALUE) return found;
  do {
    std::wstring name = data.cFileName;
    std::wstring tail = name.size() >= 4 ? name.substr(name.size() - 4) : L"";
    for (wchar_t& c : tail) c = towlower(c);
    if (tail == L".msi") {
      found = name;
      break;
    }
  } while (FindNextFileW(search, &data));
  FindClose(search);
  return found;
}

bool wait_for_calls(size_t count) {
  // installer does not wait for msiexec; on a busy machine it may take a
  // while to start.
  for (int i = 0; i < 600; ++i) {
    if (pnputil_calls().size() >= count) return true;
    Sleep(50);
  }
  return false;
}

TEST(RandomMachines, InstallerHandsOverWhatTheModelSays) {
  MsiexecStandIn stand_in;
  const unsigned seed = randomized::seed();
  const int count = randomized::machines(300) / 3;
  std::mt19937 random(seed);
  static const char* const kArguments[] = {"",   "/s",    "/S", "/q",  "/s x",
                                           "-s", "/S /S", "s",  "/s/s"};
  int launched = 0, refused = 0, empty = 0;
  for (int m = 0; m < count; ++m) {
    const std::string where = "seed " + std::to_string(seed) +
                              ", package folder " + std::to_string(m);
    const bool at_root = std::uniform_int_distribution<int>(0, 4)(random) == 0;
    std::wstring folder = at_root ? std::wstring(kPackageDrive)
                                  : L"c:\\tarvex-tests\\pkg " +
                                        random_name(random, 1 + random() % 40);
    std::wstring listing = at_root ? folder + L"\\" : folder;
    if (at_root) {
      remove_tree(L"r:\\pkg");  // the root itself stays; its entries go
      WIN32_FIND_DATAW data;
      HANDLE search = FindFirstFileW(L"r:\\*", &data);
      if (search != INVALID_HANDLE_VALUE) {
        do {
          std::wstring name = data.cFileName;
          if (name != L"." && name != L"..") remove_tree(L"r:\\" + name);
        } while (FindNextFileW(search, &data));
        FindClose(search);
      }
    } else {
      remove_tree(folder);
      make_folders(folder);
    }
    const int files = static_cast<int>(random() % 5);
    for (int f = 0; f < files; ++f) {
      // Long names, up to what a path can hold, reach the 239/250 limit.
      const size_t room = 254 - listing.size();
      size_t length = 1 + random() % room;
      std::wstring name = random_name(random, length);
      // Wine keeps names as UTF-8 in a Linux file system, whose names hold at
      // most 255 bytes.
      while (utf8(name + L".msi").size() > 255) name.pop_back();
      switch (random() % 5) {
        case 0:
          make_folders(listing + L"\\" + name +
                       L".msi");  // a folder named .msi
          break;
        case 1:
          write_file(listing + L"\\" + name + L".txt", "text");
          break;
        case 2:  // found by *.msi only through its 8.3 short name
          if (name.size() > 1) name.pop_back();  // one more character
          while (utf8(name + L".msix").size() > 255) name.pop_back();
          write_file(listing + L"\\" + name + L".msix", "not a package");
          break;
        default:
          write_file(
              listing + L"\\" + name + (random() % 2 ? L".msi" : L".MSI"),
              "package");
      }
    }
    const std::string arguments = kArguments[random() % 9];
    std::vector<std::string> argv;
    for (size_t at = 0; at < arguments.size();) {
      size_t end = arguments.find(' ', at);
      if (end == std::string::npos) end = arguments.size();
      argv.push_back(arguments.substr(at, end - at));
      at = end + 1;
    }

    const std::wstring msi = first_msi(listing);
    const bool quiet = model::quiet(argv);
    const std::wstring line = model::msiexec_line(msi, quiet);
    clear_pnputil_calls();
    RunResult run =
        run_program(program_path(L"installer.exe"),
                    std::wstring(arguments.begin(), arguments.end()),
                    at_root ? folder + L"\\" : folder);
    if (msi.empty()) {
      ++empty;
      EXPECT_EQ(run.exit_code, 1u) << where;
      EXPECT_EQ(run.output, "FindFirstFile failed (2)\r\n") << where;
      EXPECT_TRUE(pnputil_calls().empty()) << where;
    } else if (line.size() > 255) {
      ++refused;
      EXPECT_EQ(run.exit_code, 1u) << where;
      EXPECT_EQ(
          run.output,
          "The MSI file name is too long for the msiexec command line\r\n")
          << where;
      EXPECT_TRUE(pnputil_calls().empty()) << where;
    } else {
      ++launched;
      EXPECT_EQ(run.exit_code, 0u) << where;
      EXPECT_EQ(run.output, quiet ? "" : model::echo(line)) << where;
      EXPECT_TRUE(wait_for_calls(1)) << where;
      EXPECT_EQ(pnputil_calls(), std::vector<std::string>{utf8(line)}) << where;
    }
    if (!at_root) remove_tree(folder);
    if (HasFailure()) break;
  }
  clear_pnputil_calls();
  std::printf(
      "%d package folders (seed %u): %d handed over, %d names refused "
      "as too long, %d without an MSI\n",
      count, seed, launched, refused, empty);
}

// A command line that the C runtime splits back into exactly these words.
std::wstring command_line(const std::vector<std::string>& words) {
  std::wstring line;
  for (const std::string& word : words) {
    if (!line.empty()) line += L' ';
    std::wstring wide(word.begin(), word.end());
    line += word.find(' ') != std::string::npos ? L"\"" + wide + L"\"" : wide;
  }
  return line;
}

TEST(RandomMachines, InstallPassesExactlyTheJoinedWords) {
  const unsigned seed = randomized::seed();
  const int count = randomized::machines(300) / 3;
  std::mt19937 random(seed);
  static const char kChars[] = "abcXYZ019/:.-_\\ ";
  int passed = 0, refused = 0, usage = 0;
  for (int m = 0; m < count; ++m) {
    const std::string where =
        "seed " + std::to_string(seed) + ", argument list " + std::to_string(m);
    std::vector<std::string> words(random() % 6);
    const size_t longest = random() % 3 == 0 ? 200 : 30;
    for (std::string& word : words) {
      size_t length = 1 + random() % longest;
      for (size_t i = 0; i < length; ++i)
        word += kChars[random() % (sizeof kChars - 1)];
      // Keep the runtime's quoting rules out of it: no blank at the ends,
      // no backslash before a closing quote.
      word.front() = 'w';
      word.back() = 'w';
    }
    std::string joined;
    for (const std::string& word : words)
      joined += (joined.empty() ? "" : " ") + word;

    clear_pnputil_calls();
    RunResult run =
        run_program(program_path(L"install.exe"), command_line(words));
    EXPECT_EQ(run.exit_code, 1u) << where;
    if (words.empty()) {
      ++usage;
      EXPECT_EQ(run.output, "Usage: install <pnputil arguments>\r\n") << where;
      EXPECT_TRUE(pnputil_calls().empty()) << where;
    } else if (joined.size() > 511) {
      ++refused;
      EXPECT_TRUE(pnputil_calls().empty()) << where;
    } else {
      ++passed;
      EXPECT_EQ(run.output, "") << where;
      EXPECT_EQ(pnputil_calls(), std::vector<std::string>{joined}) << where;
    }
    if (HasFailure()) break;
  }
  clear_pnputil_calls();
  std::printf(
      "%d argument lists (seed %u): %d passed on, %d refused as too "
      "long, %d empty\n",
      count, seed, passed, refused, usage);
}

}  // namespace

// The decisions of tarvex's three phases: which path, which key, which line.
#include <gtest/gtest.h>
#include <windows.h>

#include <iterator>
#include <string>

#include "driver_store.h"
#include "installation.h"
#include "outcome.h"
#include "program_folder.h"
#include "registration.h"
#include "stayed_report.h"
#include "system_folders.h"
#include "tree_removal.h"

namespace {

using testsupport::built;
using testsupport::kNone;
using testsupport::outcome;

std::string inf_path(const wchar_t* found_name, size_t capacity = 512) {
  return built<char>(capacity, build_inf_path, found_name);
}
std::string delete_line(const std::string& inf_path) {
  return built<wchar_t>(512, build_delete_driver_arguments, inf_path.c_str());
}
std::string setup_ini(const std::string& name) {
  return built<char>(256, build_setup_ini_path, name.c_str());
}
std::string keys(const std::string& name, size_t capacity = 512) {
  char second[512] = "x";
  std::string first = outcome<char>(capacity, [&](char* key, size_t room) {
    return build_uninstall_keys(name.c_str(), key, second, room);
  });
  return first == kNone ? first + (second[0] == '\0' ? "" : " not emptied")
                        : first + " | " + second;
}
std::string parent(const std::string& path, size_t capacity = 256) {
  return built<char>(capacity, build_parent_path, path.c_str());
}
std::string leaf(const std::string& path, size_t capacity = 256) {
  return built<char>(capacity, build_leaf_name, path.c_str());
}

// A path is formed only from a whole name that opens itself; only long
// names of the form oem*.inf without splitters are used; the line is exact.
TEST(DriverStore, NamePathAndLineAreExactOrRefused) {
  const bool latin1 = GetACP() == 1252;
  EXPECT_EQ(inf_path(L"oem12.inf"), "c:\\Windows\\INF\\oem12.inf");
  // On code page 1252 a Latin-1 letter opens as itself; elsewhere the same
  // byte names another letter, and so another file.
  EXPECT_EQ(inf_path(L"oem\xe9.inf"),
            latin1 ? "c:\\Windows\\INF\\oem\xe9.inf" : kNone);
  // U+0080 narrows to the byte 0x80, which code page 1252 opens as the euro
  // sign: another file than the one found.
  EXPECT_EQ(inf_path(L"oem\x0080.inf"), kNone);
  EXPECT_EQ(inf_path(L"oem\x009f.inf"), kNone);
  EXPECT_EQ(inf_path(L"oem\x0142.inf"), kNone);  // no narrow form
  EXPECT_EQ(inf_path(L"oem1.inf", 16), kNone);   // would not fit
  // The name's form is FoundName's rule (oem9.infbak, OEM1.INF, ...).
  EXPECT_TRUE(usable_inf_name(L"oem12.inf"));
  EXPECT_FALSE(usable_inf_name(L"xoem1.inf"));
  // pnputil would split the unquoted line and take c:\...\oem6.inf.
  EXPECT_FALSE(usable_inf_name(L"oem6.inf x.inf"));
  EXPECT_FALSE(usable_inf_name(L"oem6.inf\tx.inf"));
  EXPECT_FALSE(usable_inf_name(L"oem\"6.inf"));
  EXPECT_EQ(delete_line("c:\\Windows\\INF\\oem12.inf"),
            "/delete-driver c:\\Windows\\INF\\oem12.inf /uninstall /force");
  EXPECT_EQ(delete_line(std::string(480, 'p')), kNone);
}

// Names that merely start with a dot are entries ("." and ".." are passed
// over: the machine tests); an entry's setup.ini path and its two key names
// are exact, whole or refused.
TEST(Registration, EntriesTheirSetupIniPathAndTheirKeyNames) {
  for (const char* name : {"...", ".x", "{GUID}"})
    EXPECT_FALSE(is_dot_entry(name)) << name;
  const char* guid = "{1E8B9C2A-0000-4000-8000-00000000ABCD}";
  EXPECT_EQ(setup_ini(guid),
            std::string("c:\\Program Files (x86)\\InstallShield Installation "
                        "Information\\") +
                guid + "\\setup.ini");
  EXPECT_EQ(keys(guid),
            std::string("SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\"
                        "CurrentVersion\\Uninstall\\InstallShield_") +
                guid + " | SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\" +
                "Uninstall\\" + guid);
  EXPECT_EQ(keys(guid, 90), kNone);  // the first key would not fit
  // Names of at most 59 bytes fit the entry-name buffer, and the longest
  // candidate path and key names stay within their buffers.
  EXPECT_NE(setup_ini(std::string(59, 'n')), kNone);
  EXPECT_NE(keys(std::string(59, 'n')), kNone);
  EXPECT_EQ(setup_ini(std::string(200, 'n')), kNone);
}

// The candidates are the tests' own (the machine tests lay them out), in
// order; each is removed by its name in its parent, without a trailing
// separator, and the maker's folder, the parent of the first four, is tested
// for a link.
TEST(ProgramFolder, CandidatesTheirNamesAndTheirParentsInOrder) {
  ASSERT_EQ(kCandidateCount, std::size(testsupport::kCandidates));
  for (size_t i = 0; i < kCandidateCount; ++i) {
    const std::string path = built<char>(256, build_candidate_path, i);
    SCOPED_TRACE(path);
    const std::string folder =
        testsupport::bytes_of(testsupport::kCandidates[i]);
    EXPECT_EQ(path, i < 4 ? folder : folder + "\\");
    EXPECT_EQ(leaf(path), folder.substr(folder.find_last_of('\\') + 1));
    EXPECT_EQ(parent(path), folder.substr(0, folder.find_last_of('\\')));
    EXPECT_EQ(parent_is_tested(i), i < 4);
  }
  EXPECT_EQ(built<char>(256, build_candidate_path, kCandidateCount), kNone);
  EXPECT_FALSE(parent_is_tested(kCandidateCount));
  EXPECT_EQ(parent("c:\\a\\\\b\\"), "c:\\a");
  EXPECT_EQ(parent("c:\\a"), kNone);  // the drive itself is no folder to hold
  EXPECT_EQ(parent("a"), kNone);
  EXPECT_EQ(parent("c:\\abc\\d", 6), kNone);
  EXPECT_EQ(leaf("a"), kNone);
  EXPECT_EQ(leaf("c:\\abc\\defg", 4), kNone);
}

// Each fixed text on the system's folder: exactly the fixed text on a
// standard machine (any case, a trailing separator), built on the folder
// elsewhere (another drive, a root), and nothing where the system cannot
// say, the folder has no narrow form or the text would not fit.
TEST(SystemFolders, FixedTextsOnStandardMachinesAndBuiltOnTheSystemsElsewhere) {
  auto narrow = [](const wchar_t* system, const char* standard,
                   const char* literal, size_t capacity = 256) {
    return built<char>(capacity, [&](char* text, size_t room) {
      return build_on_folder(system, standard, literal, text, room);
    });
  };
  const char* const kWindows = kStandardWindowsFolder;
  const char* const kProgramFiles = kStandardProgramFilesX86;
  const char kInf[] = "c:\\Windows\\INF\\";
  const char kMaker[] = "c:\\Program Files (x86)\\Devedozudi\\";
  EXPECT_EQ(narrow(L"C:\\windows", kWindows, kInf), kInf);
  EXPECT_EQ(narrow(L"C:\\WINDOWS\\", kWindows, kInf), kInf);
  EXPECT_EQ(narrow(L"c:\\Program Files (x86)", kProgramFiles, kMaker), kMaker);
  EXPECT_EQ(narrow(L"D:\\Windows", kWindows, kInf), "D:\\Windows\\INF\\");
  EXPECT_EQ(narrow(L"D:\\", kWindows, kInf), "D:\\INF\\");
  EXPECT_EQ(narrow(L"D:\\Program Files (x86)", kProgramFiles, kMaker),
            "D:\\Program Files (x86)\\Devedozudi\\");
  EXPECT_EQ(narrow(L"C:\\Windows.old", kWindows, kInf),
            "C:\\Windows.old\\INF\\");
  EXPECT_EQ(narrow(nullptr, kWindows, kInf), kNone);
  EXPECT_EQ(narrow(L"", kWindows, kInf), kNone);
  EXPECT_EQ(narrow(L"D:\\\x0142", kWindows, kInf), kNone);
  EXPECT_EQ(narrow(L"D:\\Windows", kWindows, kInf, 16), "D:\\Windows\\INF\\");
  EXPECT_EQ(narrow(L"D:\\Windows", kWindows, kInf, 15), kNone);
  EXPECT_EQ(built<wchar_t>(64,
                           [](wchar_t* text, size_t room) {
                             return build_on_folder(
                                 L"E:\\Win", kStandardWindowsFolder,
                                 L"c:\\windows\\inf\\oem*.inf", text, room);
                           }),
            "E:\\Win\\inf\\oem*.inf");
}

// What stayed, one line each with the system's message; of more than the
// most, the last line says how many more.
TEST(StayedReport, OneLinePerEntryAndTheRestCounted) {
  auto message = [](DWORD error) { return L"error " + std::to_wstring(error); };
  const std::vector<StayedEntry> two = {{L"c:\\a\\b", 32}, {L"c:\\a", 145}};
  EXPECT_EQ(stayed_lines(two, 3, message),
            (std::vector<std::wstring>{L"c:\\a\\b - error 32",
                                       L"c:\\a - error 145"}));
  EXPECT_EQ(stayed_lines(two, 2, message).size(), 2u);
  EXPECT_EQ(
      stayed_lines({two[0], two[0], two[1]}, 2, message),
      (std::vector<std::wstring>{L"c:\\a\\b - error 32",
                                 L"2 more entries could not be removed."}));
  EXPECT_EQ(stayed_lines({}, 20, message), std::vector<std::wstring>{});
}

// Whether an entry's handle reached the entry itself: its final path is
// its parent's and its name, compared without regard to case.
TEST(TreeRemoval, AnEntryIsAtItsOwnPathOnlyUnderItsOwnName) {
  EXPECT_TRUE(is_own_path(L"\\\\?\\C:\\a", L"B c", L"\\\\?\\c:\\A\\b C"));
  EXPECT_TRUE(is_own_path(L"\\\\?\\C:\\", L"b", L"\\\\?\\C:\\b"));
  EXPECT_FALSE(is_own_path(L"\\\\?\\C:\\a", L"b", L"\\\\?\\C:\\x\\target"));
  EXPECT_FALSE(is_own_path(L"\\\\?\\C:\\a", L"b", L"\\\\?\\C:\\a\\bc"));
}

}  // namespace

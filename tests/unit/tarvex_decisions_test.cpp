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
#include "tree_removal.h"

namespace {

using testsupport::kNone;
using testsupport::outcome;

std::string inf_path(const wchar_t* found_name, size_t capacity = 512) {
  return outcome<char>(capacity, [&](char* path, size_t room) {
    return build_inf_path(found_name, path, room);
  });
}
std::string delete_line(const char* inf_path) {
  return outcome<wchar_t>(512, [&](wchar_t* line, size_t room) {
    return build_delete_driver_arguments(inf_path, line, room);
  });
}
std::string setup_ini(const char* name) {
  return outcome<char>(256, [&](char* path, size_t room) {
    return build_setup_ini_path(name, path, room);
  });
}
std::string keys(const char* name, size_t capacity = 512) {
  char second[512] = "x";
  std::string first = outcome<char>(capacity, [&](char* key, size_t room) {
    return build_uninstall_keys(name, key, second, room);
  });
  return first == kNone ? first + (second[0] == '\0' ? "" : " not emptied")
                        : first + " | " + second;
}
std::string candidate(size_t index) {
  return outcome<char>(256, [&](char* path, size_t room) {
    return build_candidate_path(index, path, room);
  });
}
std::string parent(const std::string& path, size_t capacity = 256) {
  return outcome<char>(capacity, [&](char* folder, size_t room) {
    return build_parent_path(path.c_str(), folder, room);
  });
}
std::string leaf(const std::string& path, size_t capacity = 256) {
  return outcome<char>(capacity, [&](char* name, size_t room) {
    return build_leaf_name(path.c_str(), name, room);
  });
}

TEST(DriverStore, InfPathIsFormedOnlyFromAWholeNameThatOpensItself) {
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
}

TEST(DriverStore, OnlyLongNamesOfTheFormOemInfWithoutSplittersAreUsed) {
  // The name's form is FoundName's rule (oem9.infbak, OEM1.INF, ...).
  EXPECT_TRUE(usable_inf_name(L"oem12.inf"));
  EXPECT_FALSE(usable_inf_name(L"xoem1.inf"));
  // pnputil would split the unquoted line and take c:\...\oem6.inf.
  EXPECT_FALSE(usable_inf_name(L"oem6.inf x.inf"));
  EXPECT_FALSE(usable_inf_name(L"oem6.inf\tx.inf"));
  EXPECT_FALSE(usable_inf_name(L"oem\"6.inf"));
}

TEST(DriverStore, DeleteDriverLineIsExact) {
  EXPECT_EQ(delete_line("c:\\Windows\\INF\\oem12.inf"),
            "/delete-driver c:\\Windows\\INF\\oem12.inf /uninstall /force");
  EXPECT_EQ(delete_line(std::string(480, 'p').c_str()), kNone);
}

TEST(Registration, DotEntriesArePassedOverAndNothingElse) {
  EXPECT_TRUE(is_dot_entry("."));
  EXPECT_TRUE(is_dot_entry(".."));
  EXPECT_FALSE(is_dot_entry("..."));
  EXPECT_FALSE(is_dot_entry(".x"));
  EXPECT_FALSE(is_dot_entry("{GUID}"));
}

TEST(Registration, SetupIniPathAndKeyNamesAreExact) {
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
  const std::string longest(kEntryNameBytes - 1, 'n');
  EXPECT_NE(setup_ini(longest.c_str()), kNone);
  EXPECT_NE(keys(longest.c_str()), kNone);
  EXPECT_EQ(setup_ini(std::string(200, 'n').c_str()), kNone);
}

// The candidates are the tests' own (the machine tests lay them out), in
// order; each is removed by its name in its parent, without a trailing
// separator, and the maker's folder, the parent of the first four, is tested
// for a link.
TEST(ProgramFolder, CandidatesTheirNamesAndTheirParentsInOrder) {
  ASSERT_EQ(kCandidateCount, std::size(testsupport::kCandidates));
  for (size_t i = 0; i < kCandidateCount; ++i) {
    const std::string path = candidate(i);
    SCOPED_TRACE(path);
    const std::string folder =
        testsupport::bytes_of(testsupport::kCandidates[i]);
    EXPECT_EQ(path, i < 4 ? folder : folder + "\\");
    EXPECT_EQ(leaf(path), folder.substr(folder.find_last_of('\\') + 1));
    EXPECT_EQ(parent(path), folder.substr(0, folder.find_last_of('\\')));
    EXPECT_EQ(parent_is_tested(i), i < 4);
  }
  EXPECT_EQ(candidate(kCandidateCount), kNone);
  EXPECT_FALSE(parent_is_tested(kCandidateCount));
  EXPECT_EQ(parent("c:\\a\\\\b\\"), "c:\\a");
  EXPECT_EQ(parent("c:\\a"), kNone);  // the drive itself is no folder to hold
  EXPECT_EQ(parent("a"), kNone);
  EXPECT_EQ(parent("c:\\abc\\d", 6), kNone);
  EXPECT_EQ(leaf("a"), kNone);
  EXPECT_EQ(leaf("c:\\abc\\defg", 4), kNone);
}

// Only a plain folder, reached through no link, is walked into; a link is
// deleted only where the handle holds the link itself.
TEST(TreeRemoval, EntryActionByTheListingTheHandleAndTheFinalPath) {
  const DWORD kDir = FILE_ATTRIBUTE_DIRECTORY;
  const DWORD kLink = FILE_ATTRIBUTE_REPARSE_POINT;
  struct Row {
    DWORD listed, opened;
    bool own;
    EntryAction action;
  } const rows[] = {
      {kDir, kDir, true, EntryAction::kDescend},
      {0, FILE_ATTRIBUTE_READONLY, true, EntryAction::kDelete},
      {kDir | kLink, kDir | kLink, true, EntryAction::kDelete},  // the link
      {kDir | kLink, kDir, true, EntryAction::kLeave},  // what it points to
      {0, 0, false, EntryAction::kLeave},               // a file link on Wine
      {kDir, kDir, false, EntryAction::kLeave},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(entry_action(row.listed, row.opened, row.own), row.action)
        << row.listed << " " << row.opened << " " << row.own;
  }
  EXPECT_TRUE(is_own_path(L"\\\\?\\C:\\a", L"B c", L"\\\\?\\c:\\A\\b C"));
  EXPECT_TRUE(is_own_path(L"\\\\?\\C:\\", L"b", L"\\\\?\\C:\\b"));
  EXPECT_FALSE(is_own_path(L"\\\\?\\C:\\a", L"b", L"\\\\?\\C:\\x\\target"));
  EXPECT_FALSE(is_own_path(L"\\\\?\\C:\\a", L"b", L"\\\\?\\C:\\a\\bc"));
}

}  // namespace

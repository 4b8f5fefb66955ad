// The decisions of tarvex's three phases: which path, which key, which line.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "driver_store.h"
#include "narrow_text.h"
#include "program_folder.h"
#include "registration.h"
#include "system_tool.h"

namespace {

// The path formed for a found name, or "(none)".
std::string inf_path(const wchar_t* found_name) {
  char path[512];
  return build_inf_path(found_name, path, sizeof path) ? path : "(none)";
}

TEST(DriverStore, InfPathIsFormedOnlyFromANameThatOpensItself) {
  const bool latin1 = GetACP() == 1252;
  EXPECT_EQ(inf_path(L"oem12.inf"), "c:\\Windows\\INF\\oem12.inf");
  // On code page 1252 a Latin-1 letter opens as itself; elsewhere the same
  // byte names another letter, and so another file.
  EXPECT_EQ(inf_path(L"oem\xe9.inf"),
            latin1 ? "c:\\Windows\\INF\\oem\xe9.inf" : "(none)");
  // U+0080 narrows to the byte 0x80, which code page 1252 opens as the euro
  // sign: another file than the one found.
  EXPECT_EQ(inf_path(L"oem\x0080.inf"), "(none)");
  EXPECT_EQ(inf_path(L"oem\x009f.inf"), "(none)");
}

TEST(DriverStore, OnlyLongNamesOfTheFormOemInfWithoutSplittersAreUsed) {
  struct Case {
    const wchar_t* name;
    bool usable;
  };
  const Case cases[] = {
      {L"oem12.inf", true},
      {L"OEM12.INF", true},
      {L"oem.inf", true},
      {L"oem9.infbak", false},  // found as OEM9~1.INF
      {L"xoem1.inf", false},
      {L"oem1.in", false},
      {L"oem6.inf x.inf", false},  // pnputil would take c:\...\oem6.inf
      {L"oem6.inf\tx.inf", false},
      {L"oem\"6.inf", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(usable_inf_name(c.name), c.usable)
        << testing::PrintToString(std::wstring(c.name));
  }
}

TEST(BoundedText, NarrowNameReadsBackOnlyWhenTheCodePageAgrees) {
  const bool latin1 = GetACP() == 1252;
  EXPECT_TRUE(reads_back_as("oem1.inf", L"oem1.inf"));
  EXPECT_FALSE(reads_back_as("OEM1~1.INF", L"oem1 long.inf"));
  EXPECT_FALSE(reads_back_as("?",
                             L"\x0166"
                             L"ber"));
  EXPECT_EQ(reads_back_as("caf\xe9", L"caf\xe9"), latin1);
  EXPECT_FALSE(reads_back_as("\x80", L"\x0080"));
  EXPECT_EQ(reads_back_as("\x80", L"\x20ac"), latin1);
  EXPECT_FALSE(reads_back_as(nullptr, L"x"));
  EXPECT_FALSE(reads_back_as("x", nullptr));
}

TEST(DriverStore, NameThatDoesNotNarrowGivesNoPath) {
  char path[512] = "stale";
  EXPECT_FALSE(build_inf_path(L"oem\x0142.inf", path, sizeof path));
  EXPECT_STREQ(path, "");
  EXPECT_FALSE(build_inf_path(L"oem1.inf", path, 16));  // would not fit
  EXPECT_STREQ(path, "");
}

TEST(DriverStore, DeleteDriverLineIsExact) {
  wchar_t line[512];
  ASSERT_TRUE(
      build_delete_driver_arguments("c:\\Windows\\INF\\oem12.inf", line, 512));
  EXPECT_STREQ(line,
               L"/delete-driver c:\\Windows\\INF\\oem12.inf /uninstall /force");
}

TEST(Registration, DotEntriesArePassedOverAndNothingElse) {
  EXPECT_TRUE(is_dot_entry("."));
  EXPECT_TRUE(is_dot_entry(".."));
  EXPECT_FALSE(is_dot_entry("..."));
  EXPECT_FALSE(is_dot_entry(".x"));
  EXPECT_FALSE(is_dot_entry("{GUID}"));
}

TEST(Registration, EntryNamesUpTo59BytesFitTheBuffer) {
  char name[kEntryNameBytes];
  std::string longest(59, 'n');
  EXPECT_TRUE(copy_text(name, sizeof name, longest.c_str()));
  EXPECT_EQ(longest, name);
  EXPECT_FALSE(copy_text(name, sizeof name, (longest + "n").c_str()));
  EXPECT_STREQ(name, "");  // never a shortened name
}

TEST(Registration, SetupIniPathAndKeyNamesAreExact) {
  const char* guid = "{1E8B9C2A-0000-4000-8000-00000000ABCD}";
  char path[256];
  ASSERT_TRUE(build_setup_ini_path(guid, path, sizeof path));
  EXPECT_EQ(std::string(path),
            std::string("c:\\Program Files (x86)\\InstallShield Installation "
                        "Information\\") +
                guid + "\\setup.ini");

  char first[512];
  char second[512];
  ASSERT_TRUE(build_uninstall_keys(guid, first, second, 512));
  EXPECT_EQ(std::string(first),
            std::string("SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\"
                        "CurrentVersion\\Uninstall\\InstallShield_") +
                guid);
  EXPECT_EQ(std::string(second),
            std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\"
                        "Uninstall\\") +
                guid);
}

TEST(ProgramFolder, CandidatesAndTheirCommandsInOrder) {
  const char* const paths[] = {
      "c:\\Program Files (x86)\\Devedozudi\\PX3",
      "c:\\Program Files (x86)\\Devedozudi\\ZR410",
      "c:\\Program Files (x86)\\Devedozudi\\ZR420",
      "c:\\Program Files (x86)\\Devedozudi\\ZR430",
      "c:\\Program Files (x86)\\Nelvora KR516 SCR Driver\\"};
  const char* const commands[] = {
      "rmdir /s /q \"c:\\Program Files (x86)\\Devedozudi\\PX3\"",
      "rmdir /s /q \"c:\\Program Files (x86)\\Devedozudi\\ZR410\"",
      "rmdir /s /q \"c:\\Program Files (x86)\\Devedozudi\\ZR420\"",
      "rmdir /s /q \"c:\\Program Files (x86)\\Devedozudi\\ZR430\"",
      "rmdir /s /q \"c:\\Program Files (x86)\\Nelvora KR516 SCR Driver\""};
  ASSERT_EQ(kCandidateCount, 5u);
  for (size_t i = 0; i < kCandidateCount; ++i) {
    char path[256];
    ASSERT_TRUE(build_candidate_path(i, path, sizeof path));
    EXPECT_STREQ(path, paths[i]);
    EXPECT_STREQ(candidate_command(i), commands[i]);
  }
  char path[256];
  EXPECT_FALSE(build_candidate_path(kCandidateCount, path, sizeof path));
  EXPECT_EQ(candidate_command(kCandidateCount), nullptr);
}

TEST(ProgramFolder, InterpreterGetsTheCommandAfterSlashDSlashC) {
  wchar_t line[1024];
  ASSERT_TRUE(build_interpreter_line(L"C:\\windows\\system32\\cmd.exe",
                                     candidate_command(1), line, 1024));
  EXPECT_STREQ(line,
               L"\"C:\\windows\\system32\\cmd.exe\" /d /c rmdir /s /q "
               L"\"c:\\Program Files (x86)\\Devedozudi\\ZR410\"");
  EXPECT_FALSE(build_interpreter_line(L"C:\\windows\\system32\\cmd.exe",
                                      candidate_command(1), line, 40));
  EXPECT_STREQ(line, L"");
}

TEST(SystemTool, FullPathInTheSystemFolderOrNothing) {
  wchar_t path[260];
  ASSERT_TRUE(build_system_tool_path(L"C:\\windows\\system32", 19,
                                     L"pnputil.exe", path, 260));
  EXPECT_STREQ(path, L"C:\\windows\\system32\\pnputil.exe");
  EXPECT_FALSE(build_system_tool_path(L"", 0, L"pnputil.exe", path, 260));
  EXPECT_STREQ(path, L"");
  ASSERT_TRUE(system_tool_path(L"cmd.exe", path, 260));
  EXPECT_EQ(std::wstring(path).substr(std::wstring(path).size() - 8),
            L"\\cmd.exe");
}

TEST(BoundedText, RefusesInsteadOfCuttingShortOrAborting) {
  char narrow[8] = "x";
  EXPECT_FALSE(narrow_text(L"12345678", narrow, sizeof narrow));
  EXPECT_STREQ(narrow, "");
  size_t converted = 0;
  EXPECT_TRUE(narrow_text(L"1234567", narrow, sizeof narrow, &converted));
  EXPECT_EQ(converted, 8u);
  EXPECT_FALSE(narrow_text(L"\x0100", narrow, sizeof narrow));

  wchar_t wide[4];
  EXPECT_FALSE(widen_text("abcd", wide, 4));
  EXPECT_TRUE(widen_text("\xe9\xff", wide, 4));
  EXPECT_STREQ(wide, L"\xe9\xff");

  char text[6] = "ab";
  EXPECT_FALSE(append_text(text, sizeof text, "cdef"));
  EXPECT_STREQ(text, "ab");
  EXPECT_TRUE(append_text(text, sizeof text, "cde"));
  EXPECT_STREQ(text, "abcde");
}

}  // namespace

// The decisions of tarvex's three phases: which path, which key, which line.
#include <gtest/gtest.h>

#include <string>

#include "driver_store.h"
#include "narrow_text.h"
#include "program_folder.h"
#include "registration.h"
#include "system_tool.h"

namespace {

TEST(DriverStore, InfPathIsFormedFromTheWholeNarrowedName) {
  char path[512];
  ASSERT_TRUE(build_inf_path(L"oem12.inf", path, sizeof path));
  EXPECT_STREQ(path, "c:\\Windows\\INF\\oem12.inf");
  ASSERT_TRUE(build_inf_path(L"oem\xe9.inf", path, sizeof path));
  EXPECT_STREQ(path, "c:\\Windows\\INF\\oem\xe9.inf");
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

TEST(ProgramFolder, InterpreterGetsTheCommandAfterSlashC) {
  wchar_t line[1024];
  ASSERT_TRUE(build_interpreter_line(L"C:\\windows\\system32\\cmd.exe",
                                     candidate_command(1), line, 1024));
  EXPECT_STREQ(line,
               L"\"C:\\windows\\system32\\cmd.exe\" /c rmdir /s /q "
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

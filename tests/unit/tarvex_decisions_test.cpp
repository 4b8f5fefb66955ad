// The decisions of tarvex's three phases: which path, which key, which line.
#include <gtest/gtest.h>
#include <windows.h>

#include <string.h>

#include <string>

#include "driver_store.h"
#include "program_folder.h"
#include "registration.h"

namespace {

const char kNone[] = "(none)";
const char kNotEmptied[] = "(refused, but not left empty)";

// What a builder wrote, or kNone when it refused and left its target empty.
template <typename Char>
std::basic_string<Char> result(bool built, const Char* text) {
  if (built) return text;
  const char* shown = text[0] == 0 ? kNone : kNotEmptied;
  return std::basic_string<Char>(shown, shown + strlen(shown));
}

std::string inf_path(const wchar_t* found_name, size_t capacity = 512) {
  char path[512] = "stale";
  return result(build_inf_path(found_name, path, capacity), path);
}

std::wstring delete_line(const char* inf_path) {
  wchar_t line[512];
  return result(build_delete_driver_arguments(inf_path, line, 512), line);
}

std::string setup_ini(const char* name) {
  char path[256];
  return build_setup_ini_path(name, path, sizeof path) ? path : kNone;
}

std::string keys(const char* name, size_t capacity = 512) {
  char first[512];
  char second[512];
  if (!build_uninstall_keys(name, first, second, capacity)) return kNone;
  return std::string(first) + " | " + second;
}

std::string candidate(size_t index) {
  char path[256] = "";
  return result(build_candidate_path(index, path, sizeof path), path);
}

std::wstring interpreter_line(size_t index, size_t capacity = 1024) {
  wchar_t line[1024] = L"stale";
  return result(
      build_interpreter_line(L"C:\\windows\\system32\\cmd.exe",
                             candidate_command(index), line, capacity),
      line);
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
  EXPECT_TRUE(usable_inf_name(L"oem12.inf"));
  EXPECT_TRUE(usable_inf_name(L"OEM12.INF"));
  EXPECT_TRUE(usable_inf_name(L"oem.inf"));
  EXPECT_FALSE(usable_inf_name(L"oem9.infbak"));  // found as OEM9~1.INF
  EXPECT_FALSE(usable_inf_name(L"xoem1.inf"));
  EXPECT_FALSE(usable_inf_name(L"oem1.in"));
  // pnputil would split the unquoted line and take c:\...\oem6.inf.
  EXPECT_FALSE(usable_inf_name(L"oem6.inf x.inf"));
  EXPECT_FALSE(usable_inf_name(L"oem6.inf\tx.inf"));
  EXPECT_FALSE(usable_inf_name(L"oem\"6.inf"));
}

TEST(DriverStore, DeleteDriverLineIsExact) {
  EXPECT_EQ(delete_line("c:\\Windows\\INF\\oem12.inf"),
            L"/delete-driver c:\\Windows\\INF\\oem12.inf /uninstall /force");
  EXPECT_EQ(delete_line(std::string(480, 'p').c_str()), L"(none)");
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

TEST(ProgramFolder, CandidatesAndTheirCommandsInOrder) {
  ASSERT_EQ(kCandidateCount, 5u);
  EXPECT_EQ(candidate(0), "c:\\Program Files (x86)\\Devedozudi\\PX3");
  EXPECT_EQ(candidate(1), "c:\\Program Files (x86)\\Devedozudi\\ZR410");
  EXPECT_EQ(candidate(2), "c:\\Program Files (x86)\\Devedozudi\\ZR420");
  EXPECT_EQ(candidate(3), "c:\\Program Files (x86)\\Devedozudi\\ZR430");
  EXPECT_EQ(candidate(4),
            "c:\\Program Files (x86)\\Nelvora KR516 SCR Driver\\");
  EXPECT_EQ(candidate(5), kNone);
  EXPECT_STREQ(candidate_command(0),
               "rmdir /s /q \"c:\\Program Files (x86)\\Devedozudi\\PX3\"");
  EXPECT_STREQ(candidate_command(1),
               "rmdir /s /q \"c:\\Program Files (x86)\\Devedozudi\\ZR410\"");
  EXPECT_STREQ(candidate_command(2),
               "rmdir /s /q \"c:\\Program Files (x86)\\Devedozudi\\ZR420\"");
  EXPECT_STREQ(candidate_command(3),
               "rmdir /s /q \"c:\\Program Files (x86)\\Devedozudi\\ZR430\"");
  EXPECT_STREQ(
      candidate_command(4),
      "rmdir /s /q \"c:\\Program Files (x86)\\Nelvora KR516 SCR Driver\"");
  EXPECT_EQ(candidate_command(5), nullptr);
}

TEST(ProgramFolder, InterpreterGetsTheCommandAfterSlashDSlashC) {
  // /d: no AutoRun commands from the registry.
  EXPECT_EQ(interpreter_line(1),
            L"\"C:\\windows\\system32\\cmd.exe\" /d /c rmdir /s /q "
            L"\"c:\\Program Files (x86)\\Devedozudi\\ZR410\"");
  EXPECT_EQ(interpreter_line(1, 40), L"(none)");
}

}  // namespace

#include "launch_plan.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const size_t kDirectoryChars = 512;
const size_t kArgumentChars = 256;

TEST(QuietMode, OnlyASingleSlashSRunsQuiet) {
  const char* upper[] = {"installer", "/S"};
  const char* lower[] = {"installer", "/s"};
  const char* other[] = {"installer", "/q"};
  const char* two[] = {"installer", "/s", "x"};
  const char* none[] = {"installer"};
  const char* dash[] = {"installer", "-s"};
  EXPECT_TRUE(is_quiet_mode(2, upper));
  EXPECT_TRUE(is_quiet_mode(2, lower));
  EXPECT_FALSE(is_quiet_mode(2, other));
  EXPECT_FALSE(is_quiet_mode(3, two));
  EXPECT_FALSE(is_quiet_mode(1, none));
  EXPECT_FALSE(is_quiet_mode(2, dash));
}

TEST(MsiPattern, AppendsPatternUnchangedEvenAtADriveRoot) {
  wchar_t pattern[kDirectoryChars];
  ASSERT_TRUE(build_msi_pattern(L"c:\\pkg", 6, pattern, kDirectoryChars));
  EXPECT_STREQ(pattern, L"c:\\pkg\\*.msi");
  ASSERT_TRUE(build_msi_pattern(L"c:\\", 3, pattern, kDirectoryChars));
  EXPECT_STREQ(pattern, L"c:\\\\*.msi");
}

TEST(MsiPattern, DirectoryOf505FitsAndLongerIsRefused) {
  std::wstring fits(505, L'd');
  wchar_t pattern[kDirectoryChars];
  ASSERT_TRUE(
      build_msi_pattern(fits.c_str(), fits.size(), pattern, kDirectoryChars));
  EXPECT_EQ(std::wstring(pattern), fits + L"\\*.msi");

  std::wstring too_long(506, L'd');
  EXPECT_FALSE(build_msi_pattern(too_long.c_str(), too_long.size(), pattern,
                                 kDirectoryChars));
  // A directory the platform could not read reports the size it needs, and
  // a failed read reports 0: neither is searched.
  EXPECT_FALSE(build_msi_pattern(L"", 600, pattern, kDirectoryChars));
  EXPECT_FALSE(build_msi_pattern(L"", 0, pattern, kDirectoryChars));
}

TEST(MsiexecArguments, QuotesTheNameAndAddsQuietOptions) {
  wchar_t line[kArgumentChars];
  ASSERT_TRUE(
      build_msiexec_arguments(L"Setup.msi", false, line, kArgumentChars));
  EXPECT_STREQ(line, L"/i \"Setup.msi\"");
  ASSERT_TRUE(build_msiexec_arguments(L"My Driver Package.msi", true, line,
                                      kArgumentChars));
  EXPECT_STREQ(line, L"/i \"My Driver Package.msi\" /quiet /qn");
}

TEST(MsiexecArguments, LongestNamesFitAndLongerAreRefusedNotCut) {
  wchar_t line[kArgumentChars];
  std::wstring quiet_max(239, L'q');
  std::wstring visible_max(250, L'v');
  EXPECT_TRUE(
      build_msiexec_arguments(quiet_max.c_str(), true, line, kArgumentChars));
  EXPECT_EQ(std::wstring(line).size(), 255u);
  EXPECT_TRUE(build_msiexec_arguments(visible_max.c_str(), false, line,
                                      kArgumentChars));
  EXPECT_EQ(std::wstring(line).size(), 255u);

  EXPECT_FALSE(build_msiexec_arguments((quiet_max + L"q").c_str(), true, line,
                                       kArgumentChars));
  EXPECT_STREQ(line, L"");
  EXPECT_FALSE(build_msiexec_arguments((visible_max + L"v").c_str(), false,
                                       line, kArgumentChars));
  EXPECT_STREQ(line, L"");
}

TEST(SystemToolPath, JoinsFolderAndToolOrRefuses) {
  wchar_t path[260];
  ASSERT_TRUE(build_system_tool_path(L"C:\\windows\\system32", 19,
                                     L"msiexec.exe", path, 260));
  EXPECT_STREQ(path, L"C:\\windows\\system32\\msiexec.exe");
  EXPECT_FALSE(build_system_tool_path(L"", 0, L"msiexec.exe", path, 260));
  EXPECT_FALSE(
      build_system_tool_path(L"C:\\windows", 10, L"msiexec.exe", path, 16));
}

}  // namespace

namespace {

// The echo of a line as the redirected output carries it, or "(none)".
std::string echo(const std::wstring& line) {
  char text[kArgumentChars + 2];
  return build_echo_text(line.c_str(), text, sizeof text) ? text : "(none)";
}

TEST(MsiName, OnlyALongNameEndingInDotMsiCounts) {
  EXPECT_TRUE(is_msi_name(L"Setup.msi"));
  EXPECT_TRUE(is_msi_name(L"SETUP.MSI"));
  EXPECT_TRUE(is_msi_name(L".msi"));
  EXPECT_FALSE(is_msi_name(L"x.msix"));  // found as X~1.MSI
  EXPECT_FALSE(is_msi_name(L"x.msi.txt"));
  EXPECT_FALSE(is_msi_name(L"msi"));
}

TEST(Echo, TheWholeLineWithUncarriedCharactersAsQuestionMarks) {
  EXPECT_EQ(echo(L"/i \"Setup.msi\""), "\n/i \"Setup.msi\"\n");
  EXPECT_EQ(echo(L"/i \"Treiber \xe9.msi\""), "\n/i \"Treiber \xe9.msi\"\n");
  EXPECT_EQ(echo(L"/i \"Treiber \x0166\x20ac.msi\""),
            "\n/i \"Treiber ??.msi\"\n");
  EXPECT_EQ(echo(L"/i \"\xd83d\xde00.msi\""), "\n/i \"?.msi\"\n");
  const std::wstring longest = L"/i \"" + std::wstring(250, L'\x0142') + L"\"";
  EXPECT_EQ(echo(longest), "\n/i \"" + std::string(250, '?') + "\"\n");
}

TEST(LaunchFailure, SystemErrorFirstThenTheReturnedValue) {
  EXPECT_EQ(launch_failure_code(1223, 5), 1223);  // the user said no
  EXPECT_EQ(launch_failure_code(0, 2), 2);        // SE_ERR_FNF, nothing set
  EXPECT_EQ(launch_failure_code(0, 0), 0);
}

}  // namespace

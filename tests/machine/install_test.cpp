// install.exe, built, run in the Wine prefix against the pnputil stand-in.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "programs.h"

namespace {

using namespace testsupport;

class Install : public NeedsPnputilStandIn {};

TEST_F(Install, ArgumentsReachPnputilAsOneLineAfterItHasFinished) {
  PnputilLog log;
  RunResult run = run_program(program_path(L"install.exe"), L"a b c");
  EXPECT_EQ(run.exit_code, 1u);
  // The stand-in logs only after a pause: the line being there already shows
  // that install waited for it.
  EXPECT_EQ(pnputil_calls(), std::vector<std::string>{"a b c"});
  EXPECT_EQ(run.output, "");
}

TEST_F(Install, QuotedWordsArriveAsSeparateWords) {
  PnputilLog log;
  RunResult run =
      run_program(program_path(L"install.exe"),
                  L"/add-driver \"c:\\my drivers\\x.inf\" /install");
  EXPECT_EQ(run.exit_code, 1u);
  EXPECT_EQ(pnputil_calls(), std::vector<std::string>{
                                 "/add-driver c:\\my drivers\\x.inf /install"});
}

TEST_F(Install, NoArgumentPrintsUsageAndStartsNothing) {
  PnputilLog log;
  RunResult run = run_program(program_path(L"install.exe"), L"");
  EXPECT_EQ(run.exit_code, 1u);
  EXPECT_EQ(run.output, "Usage: install <pnputil arguments>\r\n");
  EXPECT_TRUE(pnputil_stays_unasked());
}

TEST_F(Install, LineLongerThan511IsRefusedWhole) {
  PnputilLog log;
  std::wstring fits(300, L'a');
  fits += L" " + std::wstring(210, L'b');  // 511 characters
  RunResult run = run_program(program_path(L"install.exe"), fits);
  EXPECT_EQ(run.exit_code, 1u);
  ASSERT_EQ(pnputil_calls().size(), 1u);
  EXPECT_EQ(pnputil_calls()[0].size(), 511u);

  clear_pnputil_calls();
  run = run_program(program_path(L"install.exe"), fits + L"b");
  EXPECT_EQ(run.exit_code, 1u);
  EXPECT_EQ(run.output,
            "install: the argument line is longer than 511 characters; "
            "nothing was started\r\n");
  EXPECT_TRUE(pnputil_stays_unasked());
}

}  // namespace

// install.exe, built, run in the Wine prefix against the pnputil stand-in.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "programs.h"
#include "text.h"

namespace {

using namespace testsupport;

class Install : public NeedsPnputilStandIn {};

// pnputil gets the caller's words joined by single blanks, every character as
// written, after which install exits 1; or, with no word or a line over 511
// characters, nothing is started and install says why. The stand-in logs only
// after a pause: a line being there already shows that install waited.
TEST_F(Install, PnputilGetsTheCallersWordsJoinedOrNothingAtAll) {
  const std::wstring fits =
      std::wstring(300, L'a') + L" " + std::wstring(210, L'b');  // 511
  struct Row {
    std::wstring arguments;
    std::vector<std::string> calls;
    std::string output;
  };
  const Row rows[] = {
      {L"a b c", {"a b c"}, ""},
      // The quotes that grouped words are not restored.
      {L"/add-driver \"c:\\my drivers\\x.inf\" /install",
       {"/add-driver c:\\my drivers\\x.inf /install"},
       ""},
      // Characters no ANSI code page holds, or holds as another: the euro
      // sign (0x80 on 1252), CJK (would be "?", a wildcard), a Polish letter
      // (would lose its accent), a full-width quote (would become a quote).
      {L"/add-driver c:\\Drivers\\a\x20ac"
       L"b\x9a71\x52a8\x0142\xff02.inf /install",
       {"/add-driver c:\\Drivers\\a\xe2\x82\xac"
        "b\xe9\xa9\xb1\xe5\x8a\xa8\xc5\x82"
        "\xef\xbc\x82.inf /install"},
       ""},
      {fits, {utf8(fits)}, ""},
      {fits + L"b",
       {},
       "install: the argument line is longer than 511 characters; nothing "
       "was started\r\n"},
      {L"", {}, "Usage: install <pnputil arguments>\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(utf8(row.arguments.substr(0, 60)));
    PnputilLog log;
    RunResult run = run_program(program_path(L"install.exe"), row.arguments);
    EXPECT_EQ(run.exit_code, 1u);
    EXPECT_EQ(run.output, row.output);
    if (row.calls.empty()) {
      EXPECT_TRUE(pnputil_stays_unasked());
    } else {
      EXPECT_EQ(pnputil_calls(), row.calls);
    }
  }
}

}  // namespace

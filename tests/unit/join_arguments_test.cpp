#include "join_arguments.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const size_t kLineBytes = 512;

TEST(JoinArguments, JoinsWithSingleBlanksInOrder) {
  const char* argv[] = {"install", "/add-driver", "x.inf", "/install"};
  char line[kLineBytes];
  ASSERT_EQ(join_arguments(4, argv, line, sizeof line), JoinResult::kOk);
  EXPECT_STREQ(line, "/add-driver x.inf /install");
}

TEST(JoinArguments, QuotedWordsAreNotRequoted) {
  // The runtime has already split "a b" into one argument; its blank stays,
  // the quotes that grouped it are gone.
  const char* argv[] = {"install", "a b", "c"};
  char line[kLineBytes];
  ASSERT_EQ(join_arguments(3, argv, line, sizeof line), JoinResult::kOk);
  EXPECT_STREQ(line, "a b c");
}

TEST(JoinArguments, NoArgumentIsReportedAndLeavesLineEmpty) {
  const char* argv[] = {"install"};
  char line[kLineBytes] = "stale";
  EXPECT_EQ(join_arguments(1, argv, line, sizeof line),
            JoinResult::kNoArguments);
  EXPECT_STREQ(line, "");
}

TEST(JoinArguments, LineOf511FitsAnd512IsRefusedWhole) {
  std::string first(300, 'a');
  std::string second(210, 'b');  // 300 + 1 + 210 = 511
  const char* argv[] = {"install", first.c_str(), second.c_str()};
  char line[kLineBytes + 8];
  line[kLineBytes] = 'X';  // a guard byte just past the buffer
  ASSERT_EQ(join_arguments(3, argv, line, kLineBytes), JoinResult::kOk);
  EXPECT_EQ(std::string(line).size(), 511u);

  std::string longer(211, 'b');  // one past the limit
  const char* too_long[] = {"install", first.c_str(), longer.c_str()};
  EXPECT_EQ(join_arguments(3, too_long, line, kLineBytes),
            JoinResult::kTooLong);
  EXPECT_STREQ(line, "");
  EXPECT_EQ(line[kLineBytes], 'X');
}

}  // namespace

// The decisions of installer and install: which mode, which pattern, which
// argument line, which echo.
#include <gtest/gtest.h>

#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "join_arguments.h"
#include "launch_plan.h"
#include "outcome.h"
#include "package_guard.h"
#include "random_settings.h"

namespace {

const size_t kDirectoryChars = 512;
const size_t kArgumentChars = 256;
const size_t kLineChars = 512;
using testsupport::built;
using testsupport::kNone;
using testsupport::outcome;
using testsupport::utf8;

bool quiet(std::vector<const char*> arguments) {
  arguments.insert(arguments.begin(), "installer");
  return is_quiet_mode(static_cast<int>(arguments.size()), arguments.data());
}

std::string pattern(const std::wstring& directory, size_t length) {
  return built<wchar_t>(kDirectoryChars, build_msi_pattern, directory.c_str(),
                        length);
}
std::string pattern(const std::wstring& directory) {
  return pattern(directory, directory.size());
}
std::string arguments(const std::wstring& msi_name, bool quiet) {
  return built<wchar_t>(kArgumentChars, build_msiexec_arguments,
                        msi_name.c_str(), quiet);
}
// The echo of a line as the redirected output carries it (bytes, shown as
// they are: each is one character of 8-bit text).
std::string echo(const std::wstring& line) {
  return built<char>(kArgumentChars + 2, build_echo_text, line.c_str());
}
// install's line for these words, or why it was refused.
std::string joined(const std::vector<std::wstring>& words) {
  std::vector<const wchar_t*> argv = {L"install"};
  for (const std::wstring& word : words) argv.push_back(word.c_str());
  JoinResult result = JoinResult::kOk;
  std::string line =
      outcome<wchar_t>(kLineChars, [&](wchar_t* text, size_t room) {
        result = join_arguments(static_cast<int>(argv.size()), argv.data(),
                                text, room);
        return result == JoinResult::kOk;
      });
  if (result == JoinResult::kNoArguments) return "(no arguments): " + line;
  return line;
}

TEST(QuietMode, OnlyASingleSlashSRunsQuiet) {
  EXPECT_TRUE(quiet({"/S"}));
  EXPECT_TRUE(quiet({"/s"}));
  EXPECT_FALSE(quiet({"/q"}));
  EXPECT_FALSE(quiet({"/s", "x"}));
  EXPECT_FALSE(quiet({}));
  EXPECT_FALSE(quiet({"-s"}));
}

// The pattern is appended unchanged, even at a drive's root; a directory
// of 505 characters fits and a longer one is refused.
TEST(MsiPattern, AppendedUnchangedToADirectoryThatFits) {
  EXPECT_EQ(pattern(L"c:\\pkg"), "c:\\pkg\\*.msi");
  EXPECT_EQ(pattern(L"c:\\"), "c:\\\\*.msi");
  EXPECT_EQ(pattern(std::wstring(505, L'd')),
            std::string(505, 'd') + "\\*.msi");
  EXPECT_EQ(pattern(std::wstring(506, L'd')), kNone);
  // A directory the platform could not read reports the size it needs, and
  // a failed read reports 0: neither is searched.
  EXPECT_EQ(pattern(L"", 600), kNone);
  EXPECT_EQ(pattern(L"", 0), kNone);
}

// The name quoted, the quiet options added; the longest names fit and
// longer ones are refused, never cut.
TEST(MsiexecArguments, QuotedNameAndQuietOptionsWholeOrRefused) {
  EXPECT_EQ(arguments(L"Setup.msi", false), "/i \"Setup.msi\"");
  EXPECT_EQ(arguments(L"My Driver Package.msi", true),
            "/i \"My Driver Package.msi\" /quiet /qn");
  EXPECT_EQ(arguments(std::wstring(239, L'q'), true).size(), 255u);
  EXPECT_EQ(arguments(std::wstring(250, L'v'), false).size(), 255u);
  EXPECT_EQ(arguments(std::wstring(240, L'q'), true), kNone);
  EXPECT_EQ(arguments(std::wstring(251, L'v'), false), kNone);
}

TEST(MsiName, OnlyALongNameEndingInDotMsiCounts) {
  EXPECT_TRUE(is_msi_name(L"Setup.msi"));
  EXPECT_TRUE(is_msi_name(L".msi"));
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

// The verdict by the package's facts, in the order they are read: what the
// chain says of trust does not matter once the content has verified (the
// key decides), anything the verifier could not settle refuses, and only a
// plain file is checked at all.
TEST(PackageGuard, TheBuiltInKeyDecidesOnceTheContentVerifies) {
  const LONG kBadDigest = static_cast<LONG>(0x80096010);
  const LONG kNoSignature = static_cast<LONG>(0x800B0100);
  const LONG kUnknownForm = static_cast<LONG>(0x800B0003);
  const LONG kUntrustedRoot = static_cast<LONG>(0x800B0109);
  const LONG kExpired = static_cast<LONG>(0x800B0101);
  const LONG kRevoked = static_cast<LONG>(0x800B010C);
  using V = PackageVerdict;
  struct Row {
    PackageFacts facts;
    PackageVerdict verdict;
  } const rows[] = {
      {{true, true, true, 0, true, true}, V::kHandOver},
      {{true, true, true, kUntrustedRoot, true, true}, V::kHandOver},
      {{true, true, true, kExpired, true, true}, V::kHandOver},
      {{true, true, true, kUntrustedRoot, true, false}, V::kOtherKey},
      {{true, true, true, 0, true, false}, V::kOtherKey},
      {{true, true, true, kBadDigest, true, true}, V::kNotIntact},
      {{true, true, true, kNoSignature, false, false}, V::kUnsigned},
      {{true, true, true, kUnknownForm, false, false}, V::kUnknownForm},
      {{true, true, true, kRevoked, true, true}, V::kNotVerified},
      {{true, true, true, 0, false, false}, V::kNotVerified},
      {{true, true, false, 0, false, false}, V::kNoVerifier},
      {{true, false, true, 0, true, true}, V::kNotPlainFile},
      {{false, true, true, 0, true, true}, V::kUnreadable},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(judge_package(row.facts), row.verdict)
        << std::hex << row.facts.trust;
  }
}

// The folder msiexec starts in, from the package's final path: a drive's
// and a share's, a root keeping its separator; nothing from a path that
// names no file or a folder too long to be a current one.
TEST(PackageFolder, TheFinalPathsFolderAsACurrentFolderIsGiven) {
  auto folder = [](const std::wstring& final_path) {
    std::wstring found;
    return folder_of_final_path(final_path, &found) ? utf8(found) : kNone;
  };
  EXPECT_EQ(folder(L"\\\\?\\C:\\Users\\me\\Downloads\\a.msi"),
            "C:\\Users\\me\\Downloads");
  EXPECT_EQ(folder(L"\\\\?\\C:\\a.msi"), "C:\\");
  EXPECT_EQ(folder(L"\\\\?\\UNC\\server\\share\\a.msi"), "\\\\server\\share\\");
  EXPECT_EQ(folder(L"\\\\?\\UNC\\server\\share\\p\\a.msi"),
            "\\\\server\\share\\p");
  EXPECT_EQ(folder(L"C:\\p\\a.msi"), kNone);
  EXPECT_EQ(folder(L"\\\\?\\C:\\p\\"), kNone);
  EXPECT_EQ(folder(L"\\\\?\\C:\\" + std::wstring(255, L'p') + L"\\a.msi"),
            "C:\\" + std::string(255, 'p'));
  EXPECT_EQ(folder(L"\\\\?\\C:\\" + std::wstring(256, L'p') + L"\\a.msi"),
            kNone);
}

TEST(JoinArguments, JoinsWithSingleBlanksInOrderAndRefusesWhole) {
  EXPECT_EQ(joined({L"/add-driver", L"x.inf", L"/install"}),
            "/add-driver x.inf /install");
  // The runtime has already split "a b" into one argument; its blank stays,
  // the quotes that grouped it are gone.
  EXPECT_EQ(joined({L"a b", L"c"}), "a b c");
  // Every character as the caller wrote it: none narrowed to "?" (a
  // wildcard), to a look-alike letter or to another character of the code
  // page; a full-width quote stays what it is.
  EXPECT_EQ(joined({L"c:\\Drivers\\a\x20ac"
                    L"b.inf",
                    L"\x9a71\x52a8.inf", L"\x0142\x00f3d\x017a",
                    L"\xff02x\xff02", L"\xd83d\xde00"}),
            utf8(L"c:\\Drivers\\a\x20ac"
                 L"b.inf \x9a71\x52a8.inf "
                 L"\x0142\x00f3d\x017a \xff02x\xff02 \xd83d\xde00"));
  EXPECT_EQ(joined({}), "(no arguments): (none)");
  // 511 characters fit, counted as characters, not bytes of any encoding.
  const std::wstring first(300, L'\x0142');  // 300 + 1 + 210 = 511
  EXPECT_EQ(joined({first, std::wstring(210, L'b')}),
            utf8(first + L" " + std::wstring(210, L'b')));
  EXPECT_EQ(joined({first, std::wstring(211, L'b')}), kNone);
}

// install's join is a pure function: proven here on thousands of random
// argument lists (any characters, blanks and quotes among them) against the
// plain rule, the words and a blank between each two; the end-to-end tests
// show the wiring around it.
TEST(RandomJoin, InstallJoinsExactlyTheWordsOrRefusesWhole) {
  const unsigned seed = randomized::seed();
  const int count = randomized::machines(300) * 20;
  randomized::Dice dice(seed);
  static const wchar_t kChars[] =
      L"abcXYZ019/:.-_\\ \"\xe9\x80\x20ac\x0142\x9a71\xff02";
  int passed = 0, refused = 0, usage = 0;
  for (int m = 0; m < count && !HasFailure(); ++m) {
    std::vector<std::wstring> words(static_cast<size_t>(dice.below(7)));
    const int longest = dice.chance(0.3) ? 200 : 30;
    std::wstring expected;
    for (std::wstring& word : words) {
      for (int i = dice.below(longest + 1); i >= 0; --i)
        word += kChars[dice.below(std::size(kChars) - 1)];
      expected += (&word == &words.front() ? L"" : L" ") + word;
    }
    const std::string where =
        "seed " + std::to_string(seed) + ", argument list " + std::to_string(m);
    if (words.empty()) {
      ++usage;
      EXPECT_EQ(joined(words), "(no arguments): (none)") << where;
    } else if (expected.size() > 511) {
      ++refused;
      EXPECT_EQ(joined(words), kNone) << where;
    } else {
      ++passed;
      EXPECT_EQ(joined(words), utf8(expected)) << where;
    }
  }
  std::printf(
      "%d argument lists (seed %u): %d joined, %d refused as too long, %d "
      "empty\n",
      count, seed, passed, refused, usage);
}

}  // namespace

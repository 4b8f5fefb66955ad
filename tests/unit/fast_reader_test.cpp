// The fast INF reader must give the answer the C runtime's own reading
// gives (fopen "r" + fgetws pieces of 255 + wcsstr) on any file. Random files
// are made of the bytes that matter: CR, LF, Ctrl-Z, null, bytes above 0x7F,
// and the markers (whole, in the wrong case, and cut short) placed near the
// 255-character piece boundaries.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "machine.h"
#include "piece_scanner.h"
#include "random_settings.h"
#include "text_mode.h"
#include "vendor_text.h"

namespace {

using testsupport::ScratchFolder;
using testsupport::write_file;

const wchar_t* const* const kMarkers = kVendorMarkers;

std::string random_text(std::mt19937& random) {
  static const std::string kPieces[] = {"DevedoZudi",
                                        "Nelvora",
                                        "devedozudi",
                                        "Devedo",
                                        "Zudi",
                                        "Nelv",
                                        "ora",
                                        "\r\n",
                                        "\n",
                                        "\r",
                                        "\x1a",
                                        "\xe9\xff",
                                        "[Version]",
                                        " ; x ",
                                        "\r\r\n",
                                        "\n\r",
                                        std::string(1, '\0')};
  const size_t count = sizeof kPieces / sizeof kPieces[0];
  std::string text;
  const size_t target = std::uniform_int_distribution<size_t>(0, 900)(random);
  while (text.size() < target) {
    if (std::uniform_int_distribution<int>(0, 4)(random) == 0) {
      // Filler that pushes the next piece near a 255-character boundary.
      text.append(std::uniform_int_distribution<size_t>(1, 260)(random), 'x');
    } else {
      text +=
          kPieces[std::uniform_int_distribution<size_t>(0, count - 1)(random)];
    }
  }
  return text;
}

TEST(FastReader, AgreesWithTheRuntimesReadingOnRandomFiles) {
  ScratchFolder scratch(L"fast-reader");
  const unsigned seed = randomized::seed();
  std::mt19937 random(seed);
  const std::string path_text =
      std::string(scratch.path().begin(), scratch.path().end()) + "\\f.inf";
  int found = 0;
  for (int round = 0; round < 400; ++round) {
    std::string text = random_text(random);
    write_file(std::wstring(path_text.begin(), path_text.end()), text);
    const bool reference =
        file_contains_any(path_text.c_str(), "r", kMarkers, 2);
    const bool fast = narrow_file_contains_any(path_text.c_str(), kMarkers, 2);
    ASSERT_EQ(fast, reference) << "seed " << seed << ", round " << round;
    found += reference ? 1 : 0;
  }
  // Both outcomes must have been tried for the comparison to mean much.
  EXPECT_GT(found, 40);
  EXPECT_LT(found, 360);
}

TEST(FastReader, BlocksMayCutAnywhere) {
  // Fed one byte at a time, the scanner finds what it finds in one go.
  const std::string text = std::string(240, 'x') + "DevedoZudi" +
                           std::string(10, 'y') + "\nNelvora\n";
  PieceScanner whole(kMarkers, 2);
  PieceScanner bytewise(kMarkers, 2);
  bool found = false;
  for (char byte : text) found = found || bytewise.feed(&byte, 1);
  EXPECT_EQ(found, whole.feed(text.data(), text.size()));
  EXPECT_TRUE(found);

  TextModeDecoder decoder;
  char out[8];
  std::string decoded;
  for (char byte : std::string("a\r\r\nb\r")) {
    decoded.append(out, decoder.decode(&byte, 1, out));
  }
  decoded.append(out, decoder.finish(out));
  EXPECT_EQ(decoded, "a\r\nb\r");
}

TEST(FastReader, MarkersThatCannotBeNarrowNeverMatch) {
  const wchar_t* const wide_only[] = {L"\x0100x"};
  PieceScanner scanner(wide_only, 1);
  EXPECT_FALSE(scanner.feed("x\x00x\n", 4));
}

}  // namespace

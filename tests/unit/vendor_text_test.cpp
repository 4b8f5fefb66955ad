// Reading text files in pieces and matching the vendor markers, on real
// files read through the C runtime exactly as tarvex reads them, and by the
// fast reader tarvex uses for INFs, which must agree: on the cases below,
// and on random files made of the bytes that matter (CR, LF, Ctrl-Z, null,
// bytes above 0x7F, and the markers whole, in the wrong case and cut short,
// placed near the 255-character piece boundaries).
#include "vendor_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "machine.h"
#include "piece_scanner.h"
#include "random_settings.h"
#include "text.h"
#include "text_mode.h"

namespace {

using namespace testsupport;

const wchar_t* const* const kBoth = kVendorMarkers;
const wchar_t* const* const kMakerOnly = &kVendorMarkers[0];

// The fast reader's answer for the file at path, with both markers.
bool fast_read(const std::string& path) {
  PieceScanner scanner(kBoth, kVendorMarkerCount);
  return narrow_file_contains_any(path.c_str(), &scanner);
}

// "match" or "none" for a file of these bytes, read with mode; for an INF
// ("r") the fast reader must give the same answer, else "disagree".
std::string read_as(const std::string& bytes, const char* mode,
                    const wchar_t* const* markers, size_t count) {
  ScratchFolder scratch(L"vendor-text");
  const std::wstring path = scratch.path() + L"\\file.txt";
  write_file(path, bytes);
  const bool found =
      file_contains_any(bytes_of(path).c_str(), mode, markers, count);
  if (std::string(mode) == "r" && fast_read(bytes_of(path)) != found)
    return "disagree";
  return found ? "match" : "none";
}
std::string inf(const std::string& bytes) {
  return read_as(bytes, "r", kBoth, 2);
}
std::string setup_ini(const std::string& bytes, const wchar_t* const* marker) {
  return read_as(bytes, "r, ccs=UTF-8", marker, 1);
}

// Either marker, on any line, case-sensitively; but not split across two
// pieces (a read returns at most 255 characters: the marker ends at
// character 255 in the first row with 245 x's and straddles the boundary in
// the next), nor behind a Ctrl-Z, nor in UTF-16.
TEST(VendorText, AnInfNamesAVendorWhereARuntimeReadHoldsAMarkerWhole) {
  const std::pair<std::string, const char*> rows[] = {
      {"[Version]\r\nProvider=DevedoZudi\r\n", "match"},
      {"x\ny\n; Nelvora KR516\n", "match"},
      {"DevedoZudi and Nelvora\r\n", "match"},
      {"no newline at end: Nelvora", "match"},
      {"Provider=devedozudi\r\nNELVORA\r\n", "none"},
      {"Provider=Devedozudi\r\n", "none"},
      {"", "none"},
      {std::string(245, 'x') + "DevedoZudi\n", "match"},
      {std::string(250, 'x') + "DevedoZudi\n", "none"},
      {std::string(255, 'x') + "Nelvora\n", "match"},
      // Across the fast reader's 64 KB reads it is one piece all the same.
      {std::string(65529, 'x') + "\nDevedoZudi", "match"},
      {"[Version]\r\n\x1a Provider=DevedoZudi\r\n", "none"},
      {"Provider=DevedoZudi\r\n\x1a trailing\r\n", "match"},
      {"\xff\xfe" + utf16le(L"DevedoZudi\r\n"), "none"},
      {utf16le(L"Nelvora\r\nDevedoZudi\r\n"), "none"}};
  for (const auto& [bytes, expected] : rows)
    EXPECT_EQ(inf(bytes), expected) << bytes.substr(0, 60);
}

// A setup.ini names a vendor in UTF-16 with a byte-order mark and in UTF-8
// either way; a missing file names none, read either way.
TEST(VendorText, SetupIniMatchesInUtf16WithBomAndUtf8AndNoFileNever) {
  const std::wstring text = L"[Startup]\r\nCompany=DevedoZudi\r\n";
  EXPECT_EQ(setup_ini("\xff\xfe" + utf16le(text), kMakerOnly), "match");
  EXPECT_EQ(setup_ini("\xef\xbb\xbf" + utf8(text), kMakerOnly), "match");
  EXPECT_EQ(setup_ini(utf8(text), kMakerOnly), "match");
  EXPECT_EQ(setup_ini(utf16le(text), kMakerOnly), "none");
  EXPECT_EQ(setup_ini(utf8(text), &kVendorMarkers[1]), "none");
  EXPECT_FALSE(
      file_contains_any("c:\\tarvex-tests\\no-such-file.inf", "r", kBoth, 2));
  EXPECT_FALSE(fast_read("c:\\tarvex-tests\\no-such-file.inf"));
}

// ---- the fast reader against the runtime's reading ----

std::string random_text(std::mt19937& random) {
  // The pieces, each ending in "|" (one of them a null byte).
  static const std::vector<std::string> kPieces = testsupport::split(
      std::string("DevedoZudi|Nelvora|devedozudi|Devedo|Zudi|Nelv|ora|\r\n|\n|"
                  "\r|\x1a|\xe9\xff|[Version]| ; x |\r\r\n|\n\r|\0|",
                  88),
      "|");
  const size_t count = kPieces.size();
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
  const std::wstring path = scratch.path() + L"\\f.inf";
  const std::string path_text = bytes_of(path);
  int found = 0;
  for (int round = 0; round < 400; ++round) {
    std::string text = random_text(random);
    write_file(path, text);
    const bool reference =
        file_contains_any(path_text.c_str(), "r", kBoth, kVendorMarkerCount);
    const bool fast = fast_read(path_text);
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
  PieceScanner whole(kBoth, kVendorMarkerCount);
  PieceScanner bytewise(kBoth, kVendorMarkerCount);
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

}  // namespace

// Reading text files in pieces and matching the vendor markers, on real
// files read through the C runtime exactly as tarvex reads them, and by the
// fast reader tarvex uses for INFs, which must agree.
#include "vendor_text.h"

#include <gtest/gtest.h>

#include <string>

#include "machine.h"
#include "text.h"

namespace {

using namespace testsupport;

const wchar_t* const* const kBoth = kVendorMarkers;
const wchar_t* const* const kMakerOnly = &kVendorMarkers[0];
const wchar_t* const* const kEarlierOnly = &kVendorMarkers[1];

// "match" or "none" for a file of these bytes, read with mode; for an INF
// ("r") the fast reader must give the same answer, else "disagree".
std::string read_as(const std::string& bytes, const char* mode,
                    const wchar_t* const* markers, size_t count) {
  ScratchFolder scratch(L"vendor-text");
  const std::wstring path = scratch.path() + L"\\file.txt";
  write_file(path, bytes);
  const bool found =
      file_contains_any(bytes_of(path).c_str(), mode, markers, count);
  if (std::string(mode) == "r" &&
      narrow_file_contains_any(bytes_of(path).c_str(), markers, count) != found)
    return "disagree";
  return found ? "match" : "none";
}
std::string inf(const std::string& bytes) {
  return read_as(bytes, "r", kBoth, 2);
}
std::string setup_ini(const std::string& bytes, const wchar_t* const* marker) {
  return read_as(bytes, "r, ccs=UTF-8", marker, 1);
}

TEST(VendorText, EitherMarkerOnAnyLineMatchesCaseSensitively) {
  EXPECT_EQ(inf("[Version]\r\nProvider=DevedoZudi\r\n"), "match");
  EXPECT_EQ(inf("x\ny\n; Nelvora KR516\n"), "match");
  EXPECT_EQ(inf("DevedoZudi and Nelvora\r\n"), "match");
  EXPECT_EQ(inf("no newline at end: Nelvora"), "match");
  EXPECT_EQ(inf("Provider=devedozudi\r\nNELVORA\r\n"), "none");
  EXPECT_EQ(inf("Provider=Devedozudi\r\n"), "none");
  EXPECT_EQ(inf(""), "none");
}

TEST(VendorText, MarkerSplitAcrossTwoPiecesIsNotFound) {
  // A read returns at most 255 characters: the marker ends at character 255
  // in the first line and straddles the boundary in the second.
  EXPECT_EQ(inf(std::string(245, 'x') + "DevedoZudi\n"), "match");
  EXPECT_EQ(inf(std::string(250, 'x') + "DevedoZudi\n"), "none");
  EXPECT_EQ(inf(std::string(255, 'x') + "Nelvora\n"), "match");
}

TEST(VendorText, CtrlZEndsTheTextOfAnInfAndUtf16NeverMatches) {
  EXPECT_EQ(inf("[Version]\r\n\x1a Provider=DevedoZudi\r\n"), "none");
  EXPECT_EQ(inf("Provider=DevedoZudi\r\n\x1a trailing\r\n"), "match");
  EXPECT_EQ(inf("\xff\xfe" + utf16le(L"DevedoZudi\r\n")), "none");
  EXPECT_EQ(inf(utf16le(L"Nelvora\r\nDevedoZudi\r\n")), "none");
}

TEST(VendorText, SetupIniMatchesInUtf16WithBomAndUtf8EitherWay) {
  const std::wstring text = L"[Startup]\r\nCompany=DevedoZudi\r\n";
  EXPECT_EQ(setup_ini("\xff\xfe" + utf16le(text), kMakerOnly), "match");
  EXPECT_EQ(setup_ini("\xef\xbb\xbf" + utf8(text), kMakerOnly), "match");
  EXPECT_EQ(setup_ini(utf8(text), kMakerOnly), "match");
  EXPECT_EQ(setup_ini(utf16le(text), kMakerOnly), "none");
  EXPECT_EQ(setup_ini(utf8(text), kEarlierOnly), "none");
}

TEST(VendorText, MissingFileIsNoMatch) {
  EXPECT_FALSE(
      file_contains_any("c:\\tarvex-tests\\no-such-file.inf", "r", kBoth, 2));
  EXPECT_FALSE(
      narrow_file_contains_any("c:\\tarvex-tests\\no-such-file.inf", kBoth, 2));
}

}  // namespace

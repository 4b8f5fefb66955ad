// Reading text files in pieces and matching the vendor markers, on real
// files read through the C runtime exactly as tarvex reads them.
#include "vendor_text.h"

#include <gtest/gtest.h>

#include <string>

#include "machine.h"

namespace {

using testsupport::ScratchFolder;
using testsupport::write_file;

const char kInfMode[] = "r";
const char kSetupIniMode[] = "r, ccs=UTF-8";
const wchar_t* const kBoth[] = {kMakerMarker, kEarlierVendorMarker};
const wchar_t* const kMakerOnly[] = {kMakerMarker};
const wchar_t* const kEarlierOnly[] = {kEarlierVendorMarker};

// UTF-16 little-endian bytes of ASCII text.
std::string utf16le(const std::string& ascii) {
  std::string bytes;
  for (char c : ascii) {
    bytes += c;
    bytes += '\0';
  }
  return bytes;
}

class VendorText : public ::testing::Test {
 protected:
  VendorText() : scratch_(L"vendor-text-" + test_name()) {}

  static std::wstring test_name() {
    std::string name =
        ::testing::UnitTest::GetInstance()->current_test_info()->name();
    return std::wstring(name.begin(), name.end());
  }

  // Writes bytes to a file of the scratch folder and returns its narrow path.
  std::string file(const std::string& bytes) {
    std::wstring path = scratch_.path() + L"\\f" + std::to_wstring(count_++);
    write_file(path, bytes);
    return std::string(path.begin(), path.end());
  }

  bool inf_names_vendor(const std::string& bytes) {
    return file_contains_any(file(bytes).c_str(), kInfMode, kBoth, 2);
  }

  bool setup_ini_has(const std::string& bytes, const wchar_t* const* marker) {
    return file_contains_any(file(bytes).c_str(), kSetupIniMode, marker, 1);
  }

 private:
  ScratchFolder scratch_;
  int count_ = 0;
};

TEST_F(VendorText, EitherMarkerOnAnyLineMatchesCaseSensitively) {
  EXPECT_TRUE(inf_names_vendor("[Version]\r\nProvider=DevedoZudi\r\n"));
  EXPECT_TRUE(inf_names_vendor("x\ny\n; Nelvora KR516\n"));
  EXPECT_TRUE(inf_names_vendor("DevedoZudi and Nelvora\r\n"));
  EXPECT_TRUE(inf_names_vendor("no newline at end: Nelvora"));
  EXPECT_FALSE(inf_names_vendor("Provider=devedozudi\r\nNELVORA\r\n"));
  EXPECT_FALSE(inf_names_vendor("Provider=Devedozudi\r\n"));
  EXPECT_FALSE(inf_names_vendor(""));
}

TEST_F(VendorText, MarkerSplitAcrossTwoPiecesIsNotFound) {
  // A read returns at most 255 characters: the marker ends at character 255
  // in the first line and straddles the boundary in the second.
  std::string whole = std::string(245, 'x') + "DevedoZudi\n";
  std::string split = std::string(250, 'x') + "DevedoZudi\n";
  std::string second_piece = std::string(255, 'x') + "Nelvora\n";
  EXPECT_TRUE(inf_names_vendor(whole));
  EXPECT_FALSE(inf_names_vendor(split));
  EXPECT_TRUE(inf_names_vendor(second_piece));
}

TEST_F(VendorText, CtrlZEndsTheTextOfAnInf) {
  EXPECT_FALSE(inf_names_vendor("[Version]\r\n\x1a Provider=DevedoZudi\r\n"));
  EXPECT_TRUE(inf_names_vendor("Provider=DevedoZudi\r\n\x1a trailing\r\n"));
}

TEST_F(VendorText, Utf16InfNeverMatches) {
  EXPECT_FALSE(inf_names_vendor("\xff\xfe" + utf16le("DevedoZudi\r\n")));
  EXPECT_FALSE(inf_names_vendor(utf16le("Nelvora\r\nDevedoZudi\r\n")));
}

TEST_F(VendorText, SetupIniMatchesInUtf16WithBomAndUtf8EitherWay) {
  std::string text = "[Startup]\r\nCompany=DevedoZudi\r\n";
  EXPECT_TRUE(setup_ini_has("\xff\xfe" + utf16le(text), kMakerOnly));
  EXPECT_TRUE(setup_ini_has("\xef\xbb\xbf" + text, kMakerOnly));
  EXPECT_TRUE(setup_ini_has(text, kMakerOnly));
  EXPECT_FALSE(setup_ini_has(utf16le(text), kMakerOnly));
  EXPECT_FALSE(setup_ini_has(text, kEarlierOnly));
}

TEST_F(VendorText, MissingFileIsNoMatch) {
  EXPECT_FALSE(file_contains_any("c:\\tarvex-tests\\no-such-file.inf", kInfMode,
                                 kBoth, 2));
}

}  // namespace

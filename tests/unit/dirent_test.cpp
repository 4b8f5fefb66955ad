// The directory stream on the prefix's real file system.
#include "dirent.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <string>

#include "machine.h"
#include "text.h"
#include "wide_stream.h"

namespace {

using namespace testsupport;

// Every entry of the folder in the order read, "name type" each (and, where
// d_name is not the long name, "=long name"), or "errno N" when it does not
// open. Each record is checked on the way.
std::string listing(const char* path) {
  _set_errno(0);
  DIR* dir = opendir(path);
  if (dir == nullptr) return "errno " + std::to_string(errno);
  std::string text;
  while (dirent* entry = readdir(dir)) {
    EXPECT_EQ(entry, &dir->entry);  // one record, reused by every read
    EXPECT_EQ(entry->d_ino, 0);
    EXPECT_EQ(entry->d_namlen, strlen(entry->d_name));
    EXPECT_EQ(entry->d_reclen,
              entry->d_type == DT_UNKNOWN ? 0 : sizeof(dirent));
    text += std::string(text.empty() ? "" : ", ") + entry->d_name + " " +
            std::to_string(entry->d_type);
    const std::wstring long_name = readdir_long_name(dir);
    if (widened(entry->d_name) != long_name) text += "=" + utf8(long_name);
  }
  EXPECT_EQ(readdir(dir), nullptr);  // still the end, not a crash
  EXPECT_EQ(closedir(dir), 0);       // after the end: releases the rest
  return text;
}
std::string listing(const std::wstring& path) {
  return listing(bytes_of(path).c_str());
}

// The search pattern a stream was started with.
std::wstring pattern_of(const std::string& path) {
  DIR* dir = opendir(path.c_str());
  if (dir == nullptr) return L"(not opened)";
  std::wstring pattern = dir->wide_stream->pattern;
  closedir(dir);
  return pattern;
}

std::wstring finished_pattern(const wchar_t* path) {
  wchar_t buffer[32];
  wcscpy_s(buffer, path);
  finish_search_pattern(buffer, wcslen(path));
  return buffer;
}

// A folder lists its dot entries, files and folders with their types, by
// any form of its path (one separator added, a relative path made absolute
// against the current folder); a file, a missing or empty path, null and
// an overlong path do not open.
TEST(Dirent, ListsAFolderByAnyFormOfItsPathAndNothingElse) {
  ScratchFolder scratch(L"dirent");
  write_file(scratch.path() + L"\\setup.ini", "x");
  make_folders(scratch.path() + L"\\{GUID-1}");
  EXPECT_EQ(listing(scratch.path()),
            ". 16384, .. 16384, setup.ini 32768, {GUID-1} 16384");
  const std::string base = bytes_of(scratch.path());
  EXPECT_EQ(pattern_of(base), scratch.path() + L"\\*");
  EXPECT_EQ(pattern_of(base + "\\"), scratch.path() + L"\\*");
  EXPECT_EQ(pattern_of(base + "/"), scratch.path() + L"\\*");
  wchar_t previous[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryW(scratch.path().c_str()));
  const std::wstring relative = pattern_of("{GUID-1}");
  SetCurrentDirectoryW(previous);
  EXPECT_EQ(relative, scratch.path() + L"\\{GUID-1}\\*");
  EXPECT_EQ(finished_pattern(L"c:\\dir"), L"c:\\dir\\*");
  EXPECT_EQ(finished_pattern(L"c:\\dir\\"), L"c:\\dir\\*");
  EXPECT_EQ(finished_pattern(L"c:/dir/"), L"c:/dir/*");
  EXPECT_EQ(finished_pattern(L"c:"), L"c:*");

  EXPECT_EQ(listing(scratch.path() + L"\\setup.ini"), "errno 2");
  EXPECT_EQ(listing(scratch.path() + L"\\absent"), "errno 2");
  EXPECT_EQ(listing(""), "errno 2");
  EXPECT_EQ(listing(static_cast<const char*>(nullptr)), "errno 2");
  // 260 characters or more do not convert into the 260-character buffer.
  EXPECT_EQ(opendir(("c:\\" + std::string(257, 'p')).c_str()), nullptr);
  // The Wine fixture maps q: to an empty folder: a root yields no "." or "..".
  if (running_under_wine()) {
    EXPECT_EQ(listing("q:\\"), "errno 2");
  }
}

TEST(Dirent, NameAboveLatin1ComesBackAsItsShortNameBesideItsLongName) {
  ScratchFolder scratch(L"dirent-short");
  const std::wstring file = L"caf\x0113 driver.inf";
  const std::wstring folder = L"\x0100ltes Produkt";
  write_file(scratch.path() + L"\\" + file, "x");
  make_folders(scratch.path() + L"\\" + folder);
  // A Latin-1 name narrows byte for byte, in any code page.
  write_file(scratch.path() + L"\\r\xe9sum\xe9.txt", "x");
  const std::string short_file =
      bytes_of(short_name(scratch.path() + L"\\" + file));
  const std::string short_folder =
      bytes_of(short_name(scratch.path() + L"\\" + folder));

  const std::string entries = listing(scratch.path());
  EXPECT_NE(entries.find(short_file + " 32768=" + utf8(file)),
            std::string::npos)
      << entries;
  EXPECT_NE(entries.find(short_folder + " 16384=" + utf8(folder)),
            std::string::npos)
      << entries;
  EXPECT_NE(entries.find("r\xe9sum\xe9.txt 32768"), std::string::npos);
  EXPECT_EQ(entries.find("?"), std::string::npos);
  EXPECT_EQ(std::count(entries.begin(), entries.end(), ','), 4);
  EXPECT_EQ(readdir_long_name(nullptr), nullptr);
}

TEST(Dirent, ClosingNullOrHalfBuiltStreamFailsWithEbadf) {
  _set_errno(0);
  EXPECT_EQ(closedir(nullptr), -1);
  EXPECT_EQ(errno, EBADF);

  DIR* half_built = static_cast<DIR*>(malloc(sizeof(DIR)));
  half_built->wide_stream = nullptr;
  _set_errno(0);
  EXPECT_EQ(closedir(half_built), -1);
  EXPECT_EQ(errno, EBADF);
}

}  // namespace

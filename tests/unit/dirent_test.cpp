// The directory stream on the prefix's real file system.
#include "dirent.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <map>
#include <string>

#include "machine.h"
#include "wide_stream.h"

namespace {

using testsupport::make_folders;
using testsupport::ScratchFolder;
using testsupport::write_file;

std::string narrow(const std::wstring& text) {
  return std::string(text.begin(), text.end());  // ASCII paths only
}

// Every entry of the folder, by name, with its type.
std::map<std::string, int> list_entries(const std::string& path) {
  std::map<std::string, int> entries;
  DIR* dir = opendir(path.c_str());
  if (dir == nullptr) return entries;
  while (dirent* entry = readdir(dir)) {
    EXPECT_EQ(entry->d_ino, 0);
    EXPECT_EQ(entry->d_namlen, strlen(entry->d_name));
    entries[entry->d_name] = entry->d_type;
  }
  EXPECT_EQ(closedir(dir), 0);
  return entries;
}

TEST(Dirent, ListsDotEntriesFilesAndFoldersWithTheirTypes) {
  ScratchFolder scratch(L"dirent-list");
  write_file(scratch.path() + L"\\setup.ini", "x");
  make_folders(scratch.path() + L"\\{GUID-1}");

  std::map<std::string, int> expected = {{".", DT_DIR},
                                         {"..", DT_DIR},
                                         {"setup.ini", DT_REG},
                                         {"{GUID-1}", DT_DIR}};
  EXPECT_EQ(list_entries(narrow(scratch.path())), expected);
}

TEST(Dirent, EntryRecordCarriesItsSizeAndIsReusedByEachRead) {
  ScratchFolder scratch(L"dirent-record");
  DIR* dir = opendir(narrow(scratch.path()).c_str());
  ASSERT_NE(dir, nullptr);
  dirent* first = readdir(dir);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->d_reclen, sizeof(dirent));
  dirent* second = readdir(dir);
  EXPECT_EQ(first, second);
  EXPECT_EQ(second, &dir->entry);
  EXPECT_EQ(readdir(dir), nullptr);
  EXPECT_EQ(readdir(dir), nullptr);  // still the end, not a crash
  EXPECT_EQ(closedir(dir), 0);       // after the end: releases the rest
}

TEST(Dirent, TrailingBackslashOrSlashGivesTheSamePattern) {
  ScratchFolder scratch(L"dirent-pattern");
  std::string base = narrow(scratch.path());
  for (const std::string& path : {base, base + "\\", base + "/"}) {
    DIR* dir = opendir(path.c_str());
    ASSERT_NE(dir, nullptr) << path;
    EXPECT_EQ(std::wstring(dir->wide_stream->pattern), scratch.path() + L"\\*")
        << path;
    closedir(dir);
  }
}

TEST(Dirent, RelativePathIsMadeAbsoluteAgainstTheCurrentFolder) {
  ScratchFolder scratch(L"dirent-relative");
  make_folders(scratch.path() + L"\\inner");
  wchar_t previous[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryW(scratch.path().c_str()));
  DIR* dir = opendir("inner");
  SetCurrentDirectoryW(previous);
  ASSERT_NE(dir, nullptr);
  EXPECT_EQ(std::wstring(dir->wide_stream->pattern),
            scratch.path() + L"\\inner\\*");
  closedir(dir);
}

TEST(Dirent, FileMissingNullAndEmptyPathsFailWithEnoent) {
  ScratchFolder scratch(L"dirent-fail");
  write_file(scratch.path() + L"\\plain.txt", "x");
  std::string file = narrow(scratch.path() + L"\\plain.txt");
  std::string missing = narrow(scratch.path() + L"\\absent");
  for (const char* path : {file.c_str(), missing.c_str(), "", (const char*)0}) {
    _set_errno(0);
    EXPECT_EQ(opendir(path), nullptr) << (path ? path : "(null)");
    EXPECT_EQ(errno, ENOENT) << (path ? path : "(null)");
  }
}

TEST(Dirent, EmptyDriveRootFailsToOpen) {
  // The Wine fixture maps q: to an empty folder: a root yields no "." or "..".
  if (!testsupport::running_under_wine())
    GTEST_SKIP() << "needs the Wine fixture's empty drive q:";
  _set_errno(0);
  EXPECT_EQ(opendir("q:\\"), nullptr);
  EXPECT_EQ(errno, ENOENT);
}

TEST(Dirent, PathOf260CharactersOrMoreIsRefused) {
  std::string path = "c:\\" + std::string(257, 'p');
  EXPECT_EQ(opendir(path.c_str()), nullptr);
}

TEST(Dirent, NameAboveLatin1ComesBackAsItsShortName) {
  ScratchFolder scratch(L"dirent-short");
  const std::wstring file = scratch.path() + L"\\caf\x0113 driver.inf";
  const std::wstring folder = scratch.path() + L"\\\x0100ltes Produkt";
  write_file(file, "x");
  make_folders(folder);
  // A Latin-1 name narrows byte for byte.
  write_file(scratch.path() + L"\\r\xe9sum\xe9.txt", "x");

  wchar_t short_file[MAX_PATH];
  wchar_t short_folder[MAX_PATH];
  ASSERT_NE(GetShortPathNameW(file.c_str(), short_file, MAX_PATH), 0u);
  ASSERT_NE(GetShortPathNameW(folder.c_str(), short_folder, MAX_PATH), 0u);
  auto leaf = [](const std::wstring& path) {
    return narrow(path.substr(path.find_last_of(L'\\') + 1));
  };

  std::map<std::string, int> entries = list_entries(narrow(scratch.path()));
  // Beside each entry, its own long name: a caller tells the two apart.
  DIR* dir = opendir(narrow(scratch.path()).c_str());
  ASSERT_NE(dir, nullptr);
  std::map<std::string, std::wstring> long_names;
  while (dirent* entry = readdir(dir)) {
    long_names[entry->d_name] = readdir_long_name(dir);
  }
  closedir(dir);
  EXPECT_EQ(long_names[leaf(short_file)], file.substr(file.rfind(L'\\') + 1));
  EXPECT_EQ(long_names[leaf(short_folder)],
            folder.substr(folder.rfind(L'\\') + 1));
  EXPECT_EQ(long_names["r\xe9sum\xe9.txt"], L"r\xe9sum\xe9.txt");
  EXPECT_EQ(readdir_long_name(nullptr), nullptr);

  EXPECT_EQ(entries[leaf(short_file)], DT_REG);
  EXPECT_EQ(entries[leaf(short_folder)], DT_DIR);
  EXPECT_EQ(entries["r\xe9sum\xe9.txt"], DT_REG);
  EXPECT_EQ(entries.count("?"), 0u);
  EXPECT_EQ(entries.size(), 5u);
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

TEST(SearchPattern, AddsASeparatorOnlyWhereNoneEnds) {
  struct Case {
    const wchar_t* path;
    const wchar_t* pattern;
  };
  const Case cases[] = {{L"c:\\dir", L"c:\\dir\\*"},
                        {L"c:\\dir\\", L"c:\\dir\\*"},
                        {L"c:/dir/", L"c:/dir/*"},
                        {L"c:", L"c:*"}};
  for (const Case& c : cases) {
    wchar_t buffer[32];
    wcscpy_s(buffer, c.path);
    finish_search_pattern(buffer, wcslen(c.path));
    EXPECT_STREQ(buffer, c.pattern);
  }
}

}  // namespace

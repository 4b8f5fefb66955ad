// The tree removal called directly on scratch trees, so that it runs
// natively on Windows too (real junctions, real POSIX-semantics deletion),
// with nothing of the machine's fixed paths touched.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>

#include "machine.h"
#include "text.h"
#include "tree_removal.h"
#include "unique_resource.h"

namespace {

using namespace testsupport;

enum Kind {
  kFile,
  kReadOnlyFile,
  kFolder,
  kFolderLink,
  kFileLink,
  kReadOnlyHardLink,  // a second name of a read-only file outside
  kHeldFolder,        // another's current folder: no delete sharing
  kFileHeldForAMoment,
  kFileLockedForAMoment,  // held without delete sharing, let go in a moment
  kFileLockedForGood      // held without delete sharing all along
};
struct Entry {
  std::wstring name;
  Kind kind;
};

const DWORD kMomentMilliseconds = 1000;
// The removal's retries may cost a few seconds; far more is a hang.
const DWORD kLongestRemovalMilliseconds = 10000;

std::wstring up(const std::wstring& path) {
  return path.substr(0, path.rfind(L'\\'));
}

// A scratch folder holding "tree" (laid out from entries, with what its
// links and hard links point to outside it), held as tarvex holds a
// candidate's parent; and the handles others hold inside the tree.
class ScratchTree {
 public:
  explicit ScratchTree(const std::vector<Entry>& entries)
      : outside_(L"behind links"), scratch_(L"tree removal") {
    make_folders(in(L""));
    for (const Entry& entry : entries) lay_out(entry);
    parent_.reset(CreateFileW(
        scratch_.path().c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  }
  std::wstring in(const std::wstring& name) const {
    return scratch_.path() + L"\\tree" + (name.empty() ? L"" : L"\\" + name);
  }
  // What a link or a hard link named name points to: holds "mine".
  std::wstring kept(const Entry& entry) const {
    return outside_.path() + L"\\" + entry.name +
           (entry.kind == kFolderLink ? L"\\mine.txt" : L"");
  }
  // Removes the tree as tarvex does, its path shown as "T"; true if it was
  // taken for a folder. A file held for a moment is let go a moment after
  // the removal starts.
  bool remove() {
    std::thread letting_go([this] {
      Sleep(kMomentMilliseconds);
      if (for_a_moment_.valid()) for_a_moment_.reset();
    });
    const ULONGLONG started = GetTickCount64();
    const bool removed =
        remove_folder_tree(parent_.get(), L"tree", L"T", &stayed_);
    elapsed_ = GetTickCount64() - started;
    letting_go.join();
    return removed;
  }
  ULONGLONG elapsed() const { return elapsed_; }
  // What the removal said stayed: each path and error code, as one text.
  std::vector<std::wstring> stayed() const {
    std::vector<std::wstring> named;
    for (const StayedEntry& entry : stayed_)
      named.push_back(entry.path + L" " + std::to_wstring(entry.error));
    return named;
  }

 private:
  void lay_out(const Entry& entry) {
    const std::wstring path = in(entry.name);
    const bool folder = entry.kind == kFolder || entry.kind == kHeldFolder;
    make_folders(folder ? path : up(path));
    if (entry.kind == kFolderLink || entry.kind == kFileLink ||
        entry.kind == kReadOnlyHardLink) {
      make_folders(up(kept(entry)));
      write_file(kept(entry), "mine");
      if (entry.kind == kReadOnlyHardLink) {
        SetFileAttributesW(kept(entry).c_str(), FILE_ATTRIBUTE_READONLY);
        ASSERT_TRUE(
            CreateHardLinkW(path.c_str(), kept(entry).c_str(), nullptr));
      } else {
        make_link(path, outside_.path() + L"\\" + entry.name);
      }
    } else if (entry.kind == kHeldFolder) {
      write_file(path + L"\\file.txt", "x");
      make_folders(path + L"\\sub");
      write_file(path + L"\\sub\\x.txt", "x");
      held_.emplace_back(CreateFileW(path.c_str(), FILE_TRAVERSE | SYNCHRONIZE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS, nullptr));
      ASSERT_TRUE(held_.back().valid());
    } else if (!folder) {
      write_file(path, "x");
      if (entry.kind == kReadOnlyFile)
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
      // As a virus scanner or an indexer opens what it reads, sharing
      // deletion or not.
      const DWORD share =
          entry.kind == kFileHeldForAMoment
              ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE
              : FILE_SHARE_READ;
      if (entry.kind >= kFileHeldForAMoment) {
        FileHandle& holder =
            entry.kind == kFileLockedForGood ? for_good_ : for_a_moment_;
        holder.reset(CreateFileW(path.c_str(), GENERIC_READ, share, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder.valid());
      }
    }
  }

  // Destroyed last to first: the handles before the folders, and links
  // before what they point to (a link whose target is gone cannot be seen
  // under Wine, and so not taken away).
  ScratchFolder outside_;
  ScratchFolder scratch_;
  FileHandle parent_;
  std::vector<FileHandle> held_;
  FileHandle for_a_moment_;
  FileHandle for_good_;
  ULONGLONG elapsed_ = 0;
  std::vector<StayedEntry> stayed_;
};

// Inside the tree, links to a folder at depth 1 and 3, to a file, and a
// second name of a read-only file, each outside: nothing behind them is
// touched, and the rest of the tree goes, a read-only file and empty
// folders with it. A link itself goes (Windows), or stays a link where the
// platform cannot open the link itself (Wine); the second name
// goes where the platform can ignore the read-only attribute, and
// otherwise stays, its attribute shared and kept.
TEST(TreeRemoval, TreeGoesWithoutFollowingAnyLinkInside) {
  const std::vector<Entry> entries = {{L"driver.sys", kFile},
                                      {L"bin\\setup.dll", kReadOnlyFile},
                                      {L"bin", kFolder},
                                      {L"a\\b\\empty", kFolder},
                                      {L"linked", kFolderLink},
                                      {L"a\\b\\c\\linked", kFolderLink},
                                      {L"docs\\linked.txt", kFileLink},
                                      {L"docs\\shared.txt", kReadOnlyHardLink}};
  ScratchTree tree(entries);
  EXPECT_TRUE(tree.remove());
  for (const Entry& entry : entries) {
    SCOPED_TRACE(utf8(entry.name));
    if (entry.kind < kFolderLink) {
      EXPECT_FALSE(path_exists(tree.in(entry.name)));
      continue;
    }
    EXPECT_EQ(read_file(tree.kept(entry)), "mine");
    if (entry.kind == kReadOnlyHardLink) {
      EXPECT_NE(GetFileAttributesW(tree.kept(entry).c_str()) &
                    FILE_ATTRIBUTE_READONLY,
                0u);
    } else {
      // Windows holds and deletes the link itself; Wine opens only what it
      // points to, and so the link stays, a link still.
      EXPECT_EQ(path_exists(tree.in(entry.name)), running_under_wine());
      EXPECT_EQ(is_link(tree.in(entry.name)), running_under_wine());
    }
  }
}

// A folder somebody holds as their current folder is emptied and stays, as
// rd /s leaves it; a file somebody holds, sharing deletion or not, and lets
// go of within a second leaves nothing behind; one held for good stays.
// What stays is named with its error code, each folder above it too, and
// none of it costs more than a few seconds.
TEST(TreeRemoval, TreeInUseIsEmptiedAsFarAsOthersLet) {
  const std::wstring kInUse = std::to_wstring(ERROR_SHARING_VIOLATION);
  const std::wstring kNotEmpty = std::to_wstring(ERROR_DIR_NOT_EMPTY);
  struct Row {
    Entry entry;
    std::vector<std::wstring> stayed;  // empty: the whole tree goes
  };
  const std::vector<Row> rows = {
      {{L"a\\cwd", kHeldFolder},
       {L"T\\a\\cwd " + kInUse, L"T\\a " + kNotEmpty, L"T " + kNotEmpty}},
      {{L"bin\\deep\\scan.dat", kFileHeldForAMoment}, {}},
      {{L"bin\\deep\\scan.dat", kFileLockedForAMoment}, {}},
      {{L"bin\\deep\\scan.dat", kFileLockedForGood},
       {L"T\\bin\\deep\\scan.dat " + kInUse, L"T\\bin\\deep " + kNotEmpty,
        L"T\\bin " + kNotEmpty, L"T " + kNotEmpty}}};
  for (const Row& row : rows) {
    SCOPED_TRACE(utf8(row.entry.name));
    ScratchTree tree({row.entry, {L"other.txt", kFile}});
    EXPECT_TRUE(tree.remove());
    EXPECT_LT(tree.elapsed(), kLongestRemovalMilliseconds);
    EXPECT_FALSE(path_exists(tree.in(L"other.txt")));
    EXPECT_EQ(path_exists(tree.in(L"")), !row.stayed.empty());
    EXPECT_EQ(tree.stayed(), row.stayed);
    if (row.entry.kind == kHeldFolder) {
      EXPECT_EQ(listed(tree.in(row.entry.name) + L"\\*"),
                std::vector<std::wstring>{});
    }
  }
}

// What the platform answers about the extended disposition steps the
// deletion down for good; what it answers about one entry does not.
TEST(TreeRemoval, DeletionStepsDownOnlyWhereThePlatformHasNoSuchDeletion) {
  using M = DeletionMode;
  EXPECT_EQ(mode_after(M::kPosixIgnoringReadOnly, ERROR_INVALID_PARAMETER),
            M::kPosix);  // Wine 8, Windows before 1809
  EXPECT_EQ(mode_after(M::kPosix, ERROR_NOT_SUPPORTED), M::kClassic);  // FAT
  EXPECT_EQ(mode_after(M::kPosix, ERROR_ACCESS_DENIED), M::kPosix);
  EXPECT_EQ(mode_after(M::kPosixIgnoringReadOnly, ERROR_SHARING_VIOLATION),
            M::kPosixIgnoringReadOnly);
  EXPECT_EQ(mode_after(M::kClassic, ERROR_INVALID_PARAMETER), M::kClassic);
}

}  // namespace

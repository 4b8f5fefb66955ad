#include "program_folder.h"

#include <string.h>
#include <wchar.h>
#include <windows.h>

#include "bounded_text.h"
#include "stayed_report.h"
#include "system_folders.h"
#include "tree_removal.h"
#include "unique_resource.h"

namespace {

const char kMakerFolderPrefix[] = "c:\\Program Files (x86)\\Devedozudi\\";
const char kEarlierVendorFolder[] =
    "c:\\Program Files (x86)\\Nelvora KR516 SCR Driver\\";

// Each candidate's test path, built as prefix + product. The maker's
// candidates come first; their parent, the maker's folder, must not be a
// link.
struct Candidate {
  const char* prefix;
  const char* product;
};
const Candidate kCandidates[kCandidateCount] = {
    {kMakerFolderPrefix, "PX3"},   {kMakerFolderPrefix, "ZR410"},
    {kMakerFolderPrefix, "ZR420"}, {kMakerFolderPrefix, "ZR430"},
    {kEarlierVendorFolder, ""},
};

const size_t kTestPathBytes = 256;
const wchar_t kSeparator[] = L"\\";

bool is_separator(char c) { return c == '\\' || c == '/'; }

// Where the last name of a path starts and ends, trailing separators
// ignored: the candidate's name in its parent, after the parent's path.
struct NameSpan {
  size_t start;
  size_t end;
};
NameSpan last_name(const char* path) {
  size_t end = strlen(path);
  while (end > 0 && is_separator(path[end - 1])) --end;
  size_t start = end;
  while (start > 0 && !is_separator(path[start - 1])) --start;
  return {start, end};
}

// Copies the length bytes at source into target (capacity bytes) and ends
// the text, only if they are some and all fit; false leaves target empty.
bool copy_part(const char* source, size_t length, char* target,
               size_t capacity) {
  if (length == 0 || length >= capacity) return refuse_text(target, capacity);
  memcpy(target, source, length);
  target[length] = '\0';
  return true;
}

// True when the folder at path is a link (a junction or a symbolic link):
// asked without a trailing separator, so that the link itself answers, not
// the folder it points to.
bool path_is_link(const char* path) {
  char own[kTestPathBytes];
  if (!copy_text(own, sizeof own, path)) return false;
  size_t length = strlen(own);
  while (length > 1 && is_separator(own[length - 1])) own[--length] = '\0';
  DWORD attributes = GetFileAttributesA(own);
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Opens the folder at path to hold it while its child is tested and removed:
// with listing access, so that the handle takes part in sharing (one with
// attribute access only does not), and without delete sharing, so that the
// folder can be neither renamed nor deleted, and so not swapped for a link,
// while it is held. A folder that is tested is opened as itself, so that a
// link answers as the link; one that is not (Program Files (x86), which a
// machine may keep on another drive through a junction) is opened through
// any link, so that its children are the ones its path shows.
FileHandle hold_folder(const char* path, bool as_itself) {
  return FileHandle(
      CreateFileA(path, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS |
                      (as_itself ? FILE_FLAG_OPEN_REPARSE_POINT : 0),
                  nullptr));
}

// True unless the held folder at path is a plain folder. The handle answers
// for what is held; the path is asked too, because Wine opens the target of
// a symbolic link even when asked for the link, and reports the link only
// by its path.
bool held_folder_is_link(HANDLE held, const char* path) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(held, &info)) return true;
  return (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
         (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
         path_is_link(path);
}

}  // namespace

bool build_candidate_path(size_t index, char* path, size_t capacity) {
  char prefix[kTestPathBytes];
  if (index >= kCandidateCount ||
      !build_on_folder(system_program_files_x86(), kStandardProgramFilesX86,
                       kCandidates[index].prefix, prefix, sizeof prefix))
    return refuse_text(path, capacity);
  return compose_text(
      path, capacity,
      {static_cast<const char*>(prefix), kCandidates[index].product});
}

bool build_parent_path(const char* path, char* parent, size_t capacity) {
  size_t length = last_name(path).start;
  while (length > 0 && is_separator(path[length - 1])) --length;
  // "c:" alone is no folder to hold: the drive's current folder.
  if (length == 0 || path[length - 1] == ':')
    return refuse_text(parent, capacity);
  return copy_part(path, length, parent, capacity);
}

bool parent_is_tested(size_t index) {
  return index < kCandidateCount &&
         kCandidates[index].prefix == kMakerFolderPrefix;
}

bool build_leaf_name(const char* path, char* leaf, size_t capacity) {
  const NameSpan name = last_name(path);
  // A name outside any folder has no parent to remove it from.
  if (name.start == 0) return refuse_text(leaf, capacity);
  return copy_part(path + name.start, name.end - name.start, leaf, capacity);
}

void remove_program_folder() {
  for (size_t i = 0; i < kCandidateCount; ++i) {
    char path[kTestPathBytes];
    char parent[kTestPathBytes];
    char leaf[kTestPathBytes];
    wchar_t wide_leaf[kTestPathBytes];
    wchar_t wide_parent[kTestPathBytes];
    if (!build_candidate_path(i, path, sizeof path) ||
        !build_parent_path(path, parent, sizeof parent) ||
        !build_leaf_name(path, leaf, sizeof leaf) ||
        !widen_text(leaf, wide_leaf, kTestPathBytes) ||
        !widen_text(parent, wide_parent, kTestPathBytes)) {
      continue;
    }
    // Held from its test until the removal has ended: the folder tested is
    // the folder the candidate is removed from, through this very handle. A
    // link on the way would take the removal outside Program Files (on
    // Windows a junction in the middle of a path is followed); Program
    // Files (x86) itself may be a junction to another drive, and is not
    // tested.
    const bool tested = parent_is_tested(i);
    FileHandle held(hold_folder(parent, tested));
    if (!held.valid()) continue;
    if (tested && held_folder_is_link(held.get(), parent)) continue;
    // The candidate exists when it is a plain folder by the rule the removal
    // holds every entry to: a file, or a link, is no leftover program
    // folder, and what a link points to is not ours to remove.
    // What stays is named as tarvex names the candidate, its trailing
    // separator aside.
    std::vector<StayedEntry> stayed;
    const std::wstring shown =
        std::wstring(wide_parent) + kSeparator + wide_leaf;
    if (remove_folder_tree(held.get(), wide_leaf, shown, &stayed)) {
      report_stayed(stayed);
      return;
    }
  }
}

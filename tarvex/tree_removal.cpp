#include "tree_removal.h"

#include <stddef.h>
#include <string.h>
#include <winternl.h>

#include <algorithm>
#include <iterator>
#include <utility>
#include <vector>

#include "unique_resource.h"

// The native answers used here live in ntstatus.h, which cannot be included
// beside windows.h as it is; each is defined as ntstatus.h defines it.
#ifndef STATUS_OBJECT_NAME_NOT_FOUND
#define STATUS_OBJECT_NAME_NOT_FOUND ((NTSTATUS)0xC0000034L)
#endif
#ifndef STATUS_OBJECT_PATH_NOT_FOUND
#define STATUS_OBJECT_PATH_NOT_FOUND ((NTSTATUS)0xC000003AL)
#endif
#ifndef STATUS_SHARING_VIOLATION
#define STATUS_SHARING_VIOLATION ((NTSTATUS)0xC0000043L)
#endif
#ifndef STATUS_DELETE_PENDING
#define STATUS_DELETE_PENDING ((NTSTATUS)0xC0000056L)
#endif
// minwinbase.h's: mingw-w64 offers it only where _WIN32_WINNT, a 16-bit
// version, is at least a 32-bit one, which it never is.
#if defined(__MINGW32__) && _WIN32_WINNT < 0x0A000002
const FILE_INFO_BY_HANDLE_CLASS FileDispositionInfoEx =
    static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
#endif
// winternl.h's, where an older one lacks it.
#ifndef OBJ_DONT_REPARSE
#define OBJ_DONT_REPARSE 0x00001000L
#endif

namespace {

// Win32 opens by path only; the native open takes a folder handle and a
// name relative to it. ntdll is in every process from its first
// instruction, so finding it loads nothing.
const wchar_t kNtdll[] = L"ntdll.dll";
const char kNtCreateFile[] = "NtCreateFile";
const char kRtlNtStatusToDosError[] = "RtlNtStatusToDosError";
const wchar_t kSeparator[] = L"\\";

// What the native open answers for an entry that is no longer there.
const NTSTATUS kGoneAnswers[] = {STATUS_OBJECT_NAME_NOT_FOUND,
                                 STATUS_OBJECT_PATH_NOT_FOUND,
                                 STATUS_DELETE_PENDING};
// A UNICODE_STRING counts bytes in 16 bits, and whole characters.
const size_t kLongestNameBytes = 0xFFFE;

// Final paths, as the walk compares them: with the volume's device, which
// names every volume exactly and costs no question to the mount manager, as
// a drive letter or a volume name would; those only where the device's
// form cannot be had.
const DWORD kPathForms[] = {FILE_NAME_NORMALIZED | VOLUME_NAME_NT,
                            FILE_NAME_NORMALIZED | VOLUME_NAME_DOS,
                            FILE_NAME_NORMALIZED | VOLUME_NAME_GUID};
const DWORD kNoPath = 0xFFFFFFFF;

// A file somebody else releases within about a second must not keep its
// folders; a tree that can never go must not keep tarvex long.
const DWORD kRetryBudgetMilliseconds = 3000;
const DWORD kFirstRetryPause = 10;
const DWORD kLongestRetryPause = 250;

const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
const DWORD kListingBytes = 64 * 1024;
const wchar_t kThisFolder[] = L".";
const wchar_t kUpFolder[] = L"..";

// What each step opens an entry for, and nothing more. A folder is listed
// through a handle that refuses delete sharing, so that nobody can rename
// it away (or delete it) while the walk is inside it; asking no delete
// access itself, it still opens when somebody else holds the folder (as
// their current folder) without sharing deletion.
struct OpenRequest {
  ACCESS_MASK access;
  ULONG share;
  ULONG options;
};
const OpenRequest kToList = {
    FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
    FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_DIRECTORY_FILE};
const OpenRequest kToDelete = {DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                               kShareAll, 0};
const OpenRequest kToClearReadOnly = {
    DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE,
    kShareAll, 0};

typedef LONG(NTAPI* NativeOpenFunction)(PHANDLE, ACCESS_MASK,
                                        POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                        PLARGE_INTEGER, ULONG, ULONG, ULONG,
                                        ULONG, PVOID, ULONG);

struct ListedEntry {
  std::wstring name;
  DWORD attributes;
};

// An entry opened and asked what it is.
struct Opened {
  FileHandle handle;
  BY_HANDLE_FILE_INFORMATION info;
  std::wstring path;  // its final path, in the walk's form
};

// A folder being emptied: its listing handle, where it is, what its
// listing held, and how far the walk has come.
struct OpenFolder {
  FileHandle handle;
  HANDLE parent;
  std::wstring name;
  BY_HANDLE_FILE_INFORMATION info;
  std::wstring final_path;
  std::vector<ListedEntry> entries;
  size_t next;
  std::wstring shown;
};

struct Walk {
  DWORD path_form;
  DeletionMode mode;
  DWORD retry_budget;
  std::vector<OpenFolder> folders;
  std::vector<StayedEntry>* stayed;
};

// The native open, found once; and whether it takes the flag that refuses
// any link on the way (older systems answer it with an invalid parameter).
struct NativeOpen {
  NativeOpenFunction function;
  bool refuses_links;
};

NativeOpen& native_open() {
  static NativeOpen open = [] {
    HMODULE layer = GetModuleHandleW(kNtdll);
    FARPROC found =
        layer == nullptr ? nullptr : GetProcAddress(layer, kNtCreateFile);
    return NativeOpen{
        reinterpret_cast<NativeOpenFunction>(reinterpret_cast<void*>(found)),
        true};
  }();
  return open;
}

// Opens name in the folder held by parent, as itself: a link is opened as
// the link, where the platform can. *status is the native answer.
FileHandle open_relative(HANDLE parent, const std::wstring& name,
                         const OpenRequest& request, LONG* status) {
  NativeOpen& open = native_open();
  const size_t bytes = name.size() * sizeof(wchar_t);
  *status = static_cast<NTSTATUS>(STATUS_INVALID_PARAMETER);
  if (open.function == nullptr || bytes == 0 || bytes > kLongestNameBytes)
    return FileHandle();
  UNICODE_STRING object_name;
  object_name.Buffer = const_cast<PWSTR>(name.c_str());
  object_name.Length = static_cast<USHORT>(bytes);
  object_name.MaximumLength = static_cast<USHORT>(bytes);
  OBJECT_ATTRIBUTES attributes = {};
  attributes.Length = sizeof attributes;
  attributes.RootDirectory = parent;
  attributes.ObjectName = &object_name;
  for (;;) {
    attributes.Attributes =
        OBJ_CASE_INSENSITIVE | (open.refuses_links ? OBJ_DONT_REPARSE : 0);
    IO_STATUS_BLOCK status_block = {};
    HANDLE opened = INVALID_HANDLE_VALUE;
    *status = open.function(&opened, request.access, &attributes, &status_block,
                            nullptr, 0, request.share, FILE_OPEN,
                            FILE_SYNCHRONOUS_IO_NONALERT |
                                FILE_OPEN_REPARSE_POINT | request.options,
                            nullptr, 0);
    if (*status >= 0) return FileHandle(opened);
    if (*status != static_cast<NTSTATUS>(STATUS_INVALID_PARAMETER) ||
        !open.refuses_links)
      return FileHandle();
    open.refuses_links = false;
  }
}

// The first form the folder's final path can be had in: a volume mounted
// without a drive letter has none in DOS form.
DWORD path_form_of(HANDLE folder) {
  for (DWORD form : kPathForms) {
    if (!final_path(folder, form).empty()) return form;
  }
  return kPathForms[0];
}

bool same_file(const BY_HANDLE_FILE_INFORMATION& a,
               const BY_HANDLE_FILE_INFORMATION& b) {
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
         a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

bool is_gone(LONG status) {
  return std::find(std::begin(kGoneAnswers), std::end(kGoneAnswers), status) !=
         std::end(kGoneAnswers);
}

// The system's error code for a native answer, for the message shown.
DWORD win32_error(LONG status) {
  using Convert = ULONG(NTAPI*)(LONG);
  static const Convert convert = [] {
    HMODULE layer = GetModuleHandleW(kNtdll);
    return reinterpret_cast<Convert>(reinterpret_cast<void*>(
        layer == nullptr ? nullptr
                         : GetProcAddress(layer, kRtlNtStatusToDosError)));
  }();
  return convert == nullptr ? ERROR_ACCESS_DENIED : convert(status);
}

void note_stayed(Walk* walk, const std::wstring& shown, DWORD error) {
  if (walk->stayed != nullptr) walk->stayed->push_back({shown, error});
}

// Waits before the next try of something that may work a moment later,
// while the walk's budget lasts; false once it is spent.
bool pause_for_retry(Walk* walk, DWORD* pause) {
  if (walk->retry_budget == 0) return false;
  const DWORD wait = std::min(*pause, walk->retry_budget);
  Sleep(wait);
  walk->retry_budget -= wait;
  *pause = std::min(*pause * 2, kLongestRetryPause);
  return true;
}

// Opens name in folder for request and asks the handle what it holds, and
// where (in path_form; kNoPath asks nothing).
bool open_inspected(HANDLE folder, const std::wstring& name,
                    const OpenRequest& request, DWORD path_form, Opened* opened,
                    LONG* status) {
  opened->handle = open_relative(folder, name, request, status);
  if (!opened->handle.valid() ||
      !GetFileInformationByHandle(opened->handle.get(), &opened->info))
    return false;
  if (path_form != kNoPath)
    opened->path = final_path(opened->handle.get(), path_form);
  return true;
}

// Opens name in folder again, for request, only if it is still the object
// seen before as was.
bool reopen(HANDLE folder, const std::wstring& name, const OpenRequest& request,
            const BY_HANDLE_FILE_INFORMATION& was, Opened* opened,
            LONG* status) {
  return open_inspected(folder, name, request, kNoPath, opened, status) &&
         same_file(opened->info, was);
}

// The records are read field by field: nothing promises their alignment.
std::vector<ListedEntry> list_folder(HANDLE folder) {
  std::vector<ListedEntry> entries;
  std::vector<BYTE> buffer(kListingBytes);
  const size_t name_at = offsetof(FILE_ID_BOTH_DIR_INFO, FileName);
  while (GetFileInformationByHandleEx(folder, FileIdBothDirectoryInfo,
                                      buffer.data(), kListingBytes)) {
    size_t at = 0;
    for (;;) {
      if (at + name_at > buffer.size()) break;
      DWORD next = 0, attributes = 0, name_bytes = 0;
      const BYTE* record = buffer.data() + at;
      memcpy(&next, record + offsetof(FILE_ID_BOTH_DIR_INFO, NextEntryOffset),
             sizeof next);
      memcpy(&attributes,
             record + offsetof(FILE_ID_BOTH_DIR_INFO, FileAttributes),
             sizeof attributes);
      memcpy(&name_bytes,
             record + offsetof(FILE_ID_BOTH_DIR_INFO, FileNameLength),
             sizeof name_bytes);
      if (at + name_at + name_bytes > buffer.size()) break;
      std::wstring name(name_bytes / sizeof(wchar_t), L'\0');
      if (!name.empty()) memcpy(&name[0], record + name_at, name.size() * 2);
      if (name != kThisFolder && name != kUpFolder)
        entries.push_back({std::move(name), attributes});
      if (next == 0) break;
      at += next;
    }
  }
  return entries;
}

bool is_plain_folder(DWORD attributes) {
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
         (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

// One request to delete what handle holds, the way mode says.
bool mark_for_deletion(HANDLE handle, DeletionMode mode) {
  if (mode == DeletionMode::kClassic) {
    FILE_DISPOSITION_INFO disposition = {TRUE};
    return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                      sizeof disposition) != 0;
  }
  FILE_DISPOSITION_INFO_EX disposition = {
      FILE_DISPOSITION_FLAG_DELETE | FILE_DISPOSITION_FLAG_POSIX_SEMANTICS};
  if (mode == DeletionMode::kPosixIgnoringReadOnly)
    disposition.Flags |= FILE_DISPOSITION_FLAG_IGNORE_READONLY_ATTRIBUTE;
  return SetFileInformationByHandle(handle, FileDispositionInfoEx, &disposition,
                                    sizeof disposition) != 0;
}

// Deletes what handle holds in the walk's mode, stepping down to the next
// mode for good where the platform says it has none.
bool mark_stepping_down(Walk* walk, HANDLE handle) {
  for (;;) {
    if (mark_for_deletion(handle, walk->mode)) return true;
    const DWORD error = GetLastError();
    const DeletionMode next = mode_after(walk->mode, error);
    if (next == walk->mode) return false;
    walk->mode = next;
  }
}

bool set_attributes(HANDLE handle, DWORD attributes) {
  FILE_BASIC_INFO basic = {};
  basic.FileAttributes =
      attributes & ~(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT);
  if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  return SetFileInformationByHandle(handle, FileBasicInfo, &basic,
                                    sizeof basic) != 0;
}

// Deletes opened (name in folder, opened with delete access). A read-only
// entry goes without its attribute being touched where the platform can
// ignore it; elsewhere its attribute is cleared first, as rmdir /s does,
// and put back if it still does not go, but not on one of several hard
// links, whose attribute the other names share: that one stays.
bool delete_opened(Walk* walk, HANDLE folder, const std::wstring& name,
                   const Opened& opened) {
  const DWORD attributes = opened.info.dwFileAttributes;
  if (mark_stepping_down(walk, opened.handle.get())) return true;
  const DWORD error = GetLastError();
  // Where the platform took the flag to ignore the attribute but refused
  // all the same, the attribute is cleared as on a platform without it.
  if ((attributes & FILE_ATTRIBUTE_READONLY) == 0 ||
      opened.info.nNumberOfLinks > 1) {
    SetLastError(error);
    return false;
  }
  Opened writable;
  LONG status;
  if (!reopen(folder, name, kToClearReadOnly, opened.info, &writable,
              &status) ||
      !set_attributes(writable.handle.get(),
                      attributes & ~FILE_ATTRIBUTE_READONLY)) {
    SetLastError(error);
    return false;
  }
  if (mark_stepping_down(walk, writable.handle.get())) return true;
  const DWORD still = GetLastError();
  set_attributes(writable.handle.get(), attributes);
  SetLastError(still);
  return false;
}

// Deletes the entry name of folder seen before as was, through a handle
// opened for that, retried while it may go a moment later and the walk's
// budget lasts. ERROR_SUCCESS once it is gone, or no longer what was seen
// (left, as not ours); else the system's error code for why it stayed.
DWORD delete_entry(Walk* walk, HANDLE folder, const std::wstring& name,
                   const BY_HANDLE_FILE_INFORMATION& was) {
  DWORD pause = kFirstRetryPause;
  for (;;) {
    Opened opened;
    LONG status = 0;
    DWORD error = ERROR_SUCCESS;
    if (reopen(folder, name, kToDelete, was, &opened, &status)) {
      if (delete_opened(walk, folder, name, opened)) return ERROR_SUCCESS;
      error = GetLastError();
    } else if (status >= 0 || is_gone(status)) {
      return ERROR_SUCCESS;
    } else {
      error = win32_error(status);
    }
    if (!worth_retrying(error) || !pause_for_retry(walk, &pause)) return error;
  }
}

// Opens name in folder for request and asks what it is, as open_inspected
// does; tried again while somebody holds it without sharing for a moment
// and the walk's budget lasts.
bool open_retrying(Walk* walk, HANDLE folder, const std::wstring& name,
                   const OpenRequest& request, Opened* opened, LONG* status) {
  DWORD pause = kFirstRetryPause;
  for (;;) {
    if (open_inspected(folder, name, request, walk->path_form, opened, status))
      return true;
    if (*status != STATUS_SHARING_VIOLATION || !pause_for_retry(walk, &pause))
      return false;
  }
}

// Opens entry of folder (its final path given; shown, the entry's path as
// shown) as the walk's rule says and acts on it: deletes it, or, if it is a
// plain folder, adds it to the walk and returns true; leaves it otherwise,
// and anything but a plain folder when folders_only (the candidate, which
// is absent unless it opens at once). Only an entry the listing calls a
// plain folder is opened for listing; anything else is opened for deletion.
bool visit(Walk* walk, HANDLE folder, const std::wstring& folder_path,
           const ListedEntry& entry, const std::wstring& shown,
           bool folders_only) {
  const bool as_folder = is_plain_folder(entry.attributes);
  const OpenRequest& request = as_folder ? kToList : kToDelete;
  Opened opened;
  LONG status = 0;
  const bool open =
      folders_only
          ? open_inspected(folder, entry.name, request, walk->path_form,
                           &opened, &status)
          : open_retrying(walk, folder, entry.name, request, &opened, &status);
  if (!open) {
    if (!folders_only && !is_gone(status))
      note_stayed(walk, shown,
                  status < 0 ? win32_error(status) : GetLastError());
    return false;
  }
  const bool own = !folder_path.empty() && !opened.path.empty() &&
                   is_own_path(folder_path, entry.name, opened.path);
  const EntryAction action =
      entry_action(entry.attributes, opened.info.dwFileAttributes, own);
  if (folders_only && action != EntryAction::kDescend) return false;
  DWORD error = ERROR_SUCCESS;
  switch (action) {
    case EntryAction::kDescend:
      // Listed as no folder, a folder now: it changed under the walk.
      if (!as_folder) return false;
      {
        std::vector<ListedEntry> entries = list_folder(opened.handle.get());
        walk->folders.push_back({std::move(opened.handle), folder, entry.name,
                                 opened.info, std::move(opened.path),
                                 std::move(entries), 0, shown});
      }
      return true;
    case EntryAction::kDelete:
      // A link held as itself was opened for listing, and goes through a
      // handle of its own; so does an entry that may go a moment later.
      if (!as_folder) {
        if (delete_opened(walk, folder, entry.name, opened)) return false;
        error = GetLastError();
      }
      if (as_folder || worth_retrying(error)) {
        const BY_HANDLE_FILE_INFORMATION was = opened.info;
        opened.handle.reset();
        error = delete_entry(walk, folder, entry.name, was);
      }
      if (error != ERROR_SUCCESS) note_stayed(walk, shown, error);
      return false;
    case EntryAction::kLeave:
      return false;
  }
  return false;
}

}  // namespace

DeletionMode mode_after(DeletionMode mode, DWORD error) {
  // What a system, or a file system, without the extended disposition or
  // one of its flags answers.
  const bool unsupported = error == ERROR_INVALID_PARAMETER ||
                           error == ERROR_NOT_SUPPORTED ||
                           error == ERROR_INVALID_FUNCTION;
  if (!unsupported || mode == DeletionMode::kClassic) return mode;
  return mode == DeletionMode::kPosixIgnoringReadOnly ? DeletionMode::kPosix
                                                      : DeletionMode::kClassic;
}

bool worth_retrying(DWORD error) {
  return error == ERROR_DIR_NOT_EMPTY || error == ERROR_SHARING_VIOLATION;
}

bool remove_folder_tree(HANDLE parent, const wchar_t* name,
                        const std::wstring& shown,
                        std::vector<StayedEntry>* stayed) {
  Walk walk = {path_form_of(parent),
               DeletionMode::kPosixIgnoringReadOnly,
               kRetryBudgetMilliseconds,
               {},
               stayed};
  // The candidate is asked for as a folder, by the rule its entries meet;
  // a link in its place is not ours, and stays.
  if (!visit(&walk, parent, final_path(parent, walk.path_form),
             {name, FILE_ATTRIBUTE_DIRECTORY}, shown, true))
    return false;
  while (!walk.folders.empty()) {
    OpenFolder& folder = walk.folders.back();
    if (folder.next < folder.entries.size()) {
      // Copies: a push onto the walk may move the folder.
      const ListedEntry entry = folder.entries[folder.next++];
      const HANDLE handle = folder.handle.get();
      const std::wstring path = folder.final_path;
      const std::wstring entry_shown = folder.shown + kSeparator + entry.name;
      visit(&walk, handle, path, entry, entry_shown, false);
      continue;
    }
    // Emptied as far as it could be. The listing handle refuses deletion,
    // so it is let go, and the folder is deleted through a handle opened
    // for that, relative to its parent, only if it is still this folder.
    const HANDLE in = folder.parent;
    const std::wstring name_in = folder.name;
    const BY_HANDLE_FILE_INFORMATION was = folder.info;
    const std::wstring shown_in = folder.shown;
    walk.folders.pop_back();
    const DWORD error = delete_entry(&walk, in, name_in, was);
    if (error != ERROR_SUCCESS) note_stayed(&walk, shown_in, error);
  }
  return true;
}

#include "tree_removal.h"

#include <winternl.h>

#include <utility>
#include <vector>

#include "unique_resource.h"

namespace {

// Win32 opens by path only; the native open takes a folder handle and a
// name relative to it. ntdll is in every process from its first
// instruction, so finding it loads nothing.
const wchar_t kNativeLayer[] = L"ntdll.dll";
const char kNativeOpen[] = "NtCreateFile";
const wchar_t kSeparator = L'\\';

// The native open's values, under names of our own: the runtime headers
// define some of them and not others.
const ULONG kOpenExisting = 1;              // FILE_OPEN
const ULONG kSynchronousIo = 0x00000020;    // FILE_SYNCHRONOUS_IO_NONALERT
const ULONG kOpenAsItself = 0x00200000;     // FILE_OPEN_REPARSE_POINT
const ULONG kNamesIgnoreCase = 0x00000040;  // OBJ_CASE_INSENSITIVE
const DWORD kEntryAccess =
    DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE;
const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
const DWORD kListingBytes = 64 * 1024;
const wchar_t kThisFolder[] = L".";
const wchar_t kUpFolder[] = L"..";

typedef LONG(NTAPI* NativeOpenFunction)(PHANDLE, ACCESS_MASK,
                                        POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                        PLARGE_INTEGER, ULONG, ULONG, ULONG,
                                        ULONG, PVOID, ULONG);

struct ListedEntry {
  std::wstring name;
  DWORD attributes;
};

// A folder being emptied: its handle, what its listing held, and how far
// the walk has come.
struct OpenFolder {
  FileHandle handle;
  std::wstring final_path;
  std::vector<ListedEntry> entries;
  size_t next = 0;
};

NativeOpenFunction native_open() {
  HMODULE layer = GetModuleHandleW(kNativeLayer);
  if (layer == nullptr) return nullptr;
  return reinterpret_cast<NativeOpenFunction>(
      reinterpret_cast<void*>(GetProcAddress(layer, kNativeOpen)));
}

// Opens name in the folder held by parent, as itself: a link is opened as
// the link, where the platform can.
FileHandle open_relative(HANDLE parent, const std::wstring& name,
                         DWORD access) {
  NativeOpenFunction open = native_open();
  const size_t bytes = name.size() * sizeof(wchar_t);
  if (open == nullptr || bytes == 0 || bytes > 0xFFFF) return FileHandle();
  UNICODE_STRING object_name;
  object_name.Buffer = const_cast<PWSTR>(name.c_str());
  object_name.Length = static_cast<USHORT>(bytes);
  object_name.MaximumLength = static_cast<USHORT>(bytes);
  OBJECT_ATTRIBUTES attributes = {};
  attributes.Length = sizeof attributes;
  attributes.RootDirectory = parent;
  attributes.ObjectName = &object_name;
  attributes.Attributes = kNamesIgnoreCase;
  IO_STATUS_BLOCK status_block = {};
  HANDLE opened = INVALID_HANDLE_VALUE;
  const LONG status =
      open(&opened, access, &attributes, &status_block, nullptr, 0, kShareAll,
           kOpenExisting, kSynchronousIo | kOpenAsItself, nullptr, 0);
  return status >= 0 ? FileHandle(opened) : FileHandle();
}

// The entry opened for what may follow: listing, if it is a folder, and
// deletion. A file that others hold without read sharing is opened for
// deletion alone; it is no folder to list.
FileHandle open_entry(HANDLE parent, const std::wstring& name) {
  FileHandle entry =
      open_relative(parent, name, kEntryAccess | FILE_LIST_DIRECTORY);
  if (entry.valid()) return entry;
  return open_relative(parent, name, kEntryAccess);
}

// The path the handle's object has now, links resolved; empty if unknown.
std::wstring final_path(HANDLE handle) {
  const DWORD needed = GetFinalPathNameByHandleW(handle, nullptr, 0, 0);
  if (needed == 0) return std::wstring();
  std::wstring path(needed, L'\0');
  const DWORD length = GetFinalPathNameByHandleW(handle, &path[0], needed, 0);
  if (length == 0 || length >= needed) return std::wstring();
  path.resize(length);
  return path;
}

std::vector<ListedEntry> list_folder(HANDLE folder) {
  std::vector<ListedEntry> entries;
  // 8-byte aligned, as the records are.
  std::vector<LONGLONG> buffer(kListingBytes / sizeof(LONGLONG));
  while (GetFileInformationByHandleEx(folder, FileIdBothDirectoryInfo,
                                      buffer.data(), kListingBytes)) {
    const BYTE* at = reinterpret_cast<const BYTE*>(buffer.data());
    for (;;) {
      const auto* record = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(at);
      std::wstring name(record->FileName,
                        record->FileNameLength / sizeof(wchar_t));
      if (name != kThisFolder && name != kUpFolder)
        entries.push_back({std::move(name), record->FileAttributes});
      if (record->NextEntryOffset == 0) break;
      at += record->NextEntryOffset;
    }
  }
  return entries;
}

// Marks what handle holds for deletion when the handle is closed. A
// read-only entry goes too, as rmdir /s does with it, but only where its
// attribute is its own: one of several hard links shares it with the
// others, which stay.
void delete_by_handle(HANDLE handle, const BY_HANDLE_FILE_INFORMATION& info) {
  const DWORD attributes = info.dwFileAttributes;
  const bool read_only = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  if (read_only && info.nNumberOfLinks > 1) return;
  FILE_BASIC_INFO basic = {};
  if (read_only) {
    basic.FileAttributes =
        attributes & ~(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY |
                       FILE_ATTRIBUTE_REPARSE_POINT);
    if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    if (!SetFileInformationByHandle(handle, FileBasicInfo, &basic,
                                    sizeof basic))
      return;
  }
  FILE_DISPOSITION_INFO disposition = {TRUE};
  if (SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                 sizeof disposition) ||
      !read_only)
    return;
  // Not deleted after all: it stays as it was.
  basic.FileAttributes =
      attributes & ~(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT);
  SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic);
}

// Opens entry of the folder (handle, final path), and deletes it or, if it
// is a plain folder, adds it to the walk; leaves it otherwise.
void visit(HANDLE folder, const std::wstring& folder_path,
           const ListedEntry& entry, std::vector<OpenFolder>* walk) {
  FileHandle opened = open_entry(folder, entry.name);
  BY_HANDLE_FILE_INFORMATION info;
  if (!opened.valid() || !GetFileInformationByHandle(opened.get(), &info))
    return;
  std::wstring path = final_path(opened.get());
  const bool own = !folder_path.empty() && !path.empty() &&
                   is_own_path(folder_path, entry.name, path);
  switch (entry_action(entry.attributes, info.dwFileAttributes, own)) {
    case EntryAction::kDelete:
      delete_by_handle(opened.get(), info);
      return;
    case EntryAction::kDescend: {
      std::vector<ListedEntry> entries = list_folder(opened.get());
      walk->push_back(
          {std::move(opened), std::move(path), std::move(entries), 0});
      return;
    }
    case EntryAction::kLeave:
      return;
  }
}

}  // namespace

EntryAction entry_action(DWORD listed, DWORD opened, bool at_own_path) {
  if (!at_own_path) return EntryAction::kLeave;
  if ((opened & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return EntryAction::kDelete;
  if ((listed & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return EntryAction::kLeave;
  if ((opened & FILE_ATTRIBUTE_DIRECTORY) != 0) return EntryAction::kDescend;
  return EntryAction::kDelete;
}

bool is_own_path(const std::wstring& parent_final, const std::wstring& name,
                 const std::wstring& entry_final) {
  std::wstring expected = parent_final;
  if (expected.empty() || expected.back() != kSeparator) expected += kSeparator;
  expected += name;
  return CompareStringOrdinal(
             expected.c_str(), static_cast<int>(expected.size()),
             entry_final.c_str(), static_cast<int>(entry_final.size()),
             TRUE) == CSTR_EQUAL;
}

void remove_tree_below(HANDLE parent, const wchar_t* name) {
  std::vector<OpenFolder> walk;
  visit(parent, final_path(parent), {name, 0}, &walk);
  while (!walk.empty()) {
    OpenFolder& folder = walk.back();
    if (folder.next < folder.entries.size()) {
      // Copies: a push onto the walk may move the folder.
      const ListedEntry entry = folder.entries[folder.next++];
      const HANDLE handle = folder.handle.get();
      const std::wstring path = folder.final_path;
      visit(handle, path, entry, &walk);
      continue;
    }
    // Emptied as far as it could be: it goes too, unless something stayed
    // in it. Its entries' handles are closed already, so they are gone.
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(folder.handle.get(), &info))
      delete_by_handle(folder.handle.get(), info);
    walk.pop_back();
  }
}

#include "machine.h"

#include "programs.h"
#include "text.h"
#include "unique_resource.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace testsupport {

namespace {

const wchar_t kScratchRoot[] = L"c:\\tarvex-tests\\";
// Room for any path GetFinalPathNameByHandleW may report.
const DWORD kLongPathChars = 32768;
// How long what a Unix program did may take to show.
const unsigned long kUnixSettleMilliseconds = 2000;
const unsigned long kPollMilliseconds = 20;

std::runtime_error failure(const std::string& what, DWORD error) {
  return std::runtime_error(what + " failed with error " +
                            std::to_string(error));
}

typedef char*(CDECL* UnixFileNameFunction)(const wchar_t*);

// The Unix path Wine keeps a Windows path at.
std::wstring unix_path(const std::wstring& path) {
  auto convert = reinterpret_cast<UnixFileNameFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"),
                                             "wine_get_unix_file_name")));
  char* name = convert != nullptr ? convert(path.c_str()) : nullptr;
  if (name == nullptr) throw failure("wine_get_unix_file_name", GetLastError());
  const std::wstring unix_name = widened(name);
  HeapFree(GetProcessHeap(), 0, name);
  return unix_name;
}

// A Unix path quoted for a Unix program's command line, a double quote
// inside escaped, as the line is split.
std::wstring quoted(const std::wstring& unix_name) {
  std::wstring result = L"\"";
  for (wchar_t c : unix_name)
    result += c == L'"' ? std::wstring(L"\\\"") : std::wstring(1, c);
  return result + L"\"";
}

void run_unix(const std::wstring& program, const std::wstring& arguments) {
  run_program(L"Z:\\bin\\" + program, arguments);
}

void remove_link(const std::wstring& path) {
  // Wine's RemoveDirectoryW goes through a Unix link and removes the empty
  // folder it points to, leaving the link: rm removes the link itself and
  // never touches its target. Windows removes a junction itself.
  if (running_under_wine()) {
    run_unix(L"rm", L"-f " + quoted(unix_path(path)));
    eventually([&] { return !is_link(path); }, kUnixSettleMilliseconds);
  } else {
    RemoveDirectoryW(path.c_str());
  }
}

// name, and the running test's name: tests that run side by side never share
// a scratch folder.
std::wstring scratch_path(const std::wstring& name) {
  const ::testing::TestInfo* test =
      ::testing::UnitTest::GetInstance()->current_test_info();
  if (test == nullptr) return kScratchRoot + name;
  const std::string owner =
      std::string(test->test_suite_name()) + "." + test->name();
  return kScratchRoot + name + L" (" +
         std::wstring(owner.begin(), owner.end()) + L")";
}

}  // namespace

bool running_under_wine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr &&
         GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool eventually(const std::function<bool()>& condition,
                unsigned long milliseconds) {
  const ULONGLONG end = GetTickCount64() + milliseconds;
  while (!condition()) {
    if (GetTickCount64() >= end) return false;
    Sleep(kPollMilliseconds);
  }
  return true;
}

bool throwaway_machine() {
  const char* throwaway = getenv("DRIVER_TOOLS_THROWAWAY_MACHINE");
  return running_under_wine() ||
         (throwaway != nullptr && strcmp(throwaway, "1") == 0);
}

std::wstring system_folder() {
  wchar_t folder[MAX_PATH];
  UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  return std::wstring(folder, length < MAX_PATH ? length : 0);
}

void write_file(const std::wstring& path, const std::string& bytes) {
  std::ofstream file(std::filesystem::path(path), std::ios::binary);
  if (!file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()))
           .flush())
    throw std::runtime_error("writing " + utf8(path) + " failed");
}

std::string read_file(const std::wstring& path) {
  std::ifstream file(std::filesystem::path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

bool path_exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool is_link(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return true;
  // Wine shows a Unix link to a file as a plain file and opens its target
  // even when asked for the link: only the target's path tells.
  FileHandle opened(CreateFileW(
      path.c_str(), FILE_READ_ATTRIBUTES,
      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
      nullptr));
  wchar_t final_path[kLongPathChars];
  const DWORD length = opened.valid()
                           ? GetFinalPathNameByHandleW(opened.get(), final_path,
                                                       kLongPathChars, 0)
                           : 0;
  const std::wstring own = L"\\\\?\\" + path;
  return length > 0 && length < kLongPathChars &&
         CompareStringOrdinal(final_path, static_cast<int>(length), own.c_str(),
                              static_cast<int>(own.size()), TRUE) != CSTR_EQUAL;
}

bool is_directory(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::vector<std::wstring> listed(const std::wstring& pattern) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  SearchHandle search(FindFirstFileW(pattern.c_str(), &data));
  if (!search.valid()) return names;
  do {
    const std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(search.get(), &data));
  return names;
}

void make_folders(const std::wstring& path) {
  for (size_t at = path.find(L'\\', 3); at != std::wstring::npos;
       at = path.find(L'\\', at + 1)) {
    CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
  }
  CreateDirectoryW(path.c_str(), nullptr);
  if (!is_directory(path)) throw failure("CreateDirectoryW", GetLastError());
}

void remove_tree(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  // A link goes by itself; what it points to is not ours.
  if (is_link(path)) {
    remove_link(path);
    return;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    DeleteFileW(path.c_str());
    return;
  }
  for (const std::wstring& name : listed(path + L"\\*"))
    remove_tree(path + L"\\" + name);
  RemoveDirectoryW(path.c_str());
}

bool rename_in_unix(const std::wstring& folder, const std::wstring& from,
                    const std::wstring& to) {
  if (!running_under_wine()) return false;
  // Names Windows forbids have no Unix path of Wine's: the folder has.
  const std::wstring unix_folder = unix_path(folder) + L"/";
  run_unix(L"mv", quoted(unix_folder + from) + L" " + quoted(unix_folder + to));
  const std::wstring moved = folder + L"\\" + from;
  return eventually([&] { return !path_exists(moved); },
                    kUnixSettleMilliseconds);
}

void make_link(const std::wstring& link, const std::wstring& target) {
  if (!running_under_wine() && !is_directory(target)) {
    CreateSymbolicLinkW(link.c_str(), target.c_str(),
                        SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
    if (!is_link(link)) throw failure("CreateSymbolicLinkW", GetLastError());
    return;
  }
  if (!running_under_wine()) {
    // A junction: Windows makes one without any privilege.
    const std::wstring cmd = system_folder() + L"\\cmd.exe";
    run_program(cmd, L"/d /c mklink /J \"" + link + L"\" \"" + target + L"\"");
    if (!is_link(link)) throw failure("mklink /J", GetLastError());
    return;
  }
  // Wine 8 has no junctions and its CreateSymbolicLinkW does nothing, but it
  // reports a Unix symbolic link as a reparse point. -n: never a link inside
  // a folder that is already there.
  if (path_exists(link)) throw failure("make_link: already there", 0);
  run_unix(L"ln", L"-s -n " + quoted(unix_path(target)) + L" " +
                      quoted(unix_path(link)));
  if (!eventually([&] { return is_link(link); }, kUnixSettleMilliseconds))
    throw failure("ln -s", GetLastError());
}

ScopedPath::ScopedPath(std::wstring path, bool clear_first)
    : path_(std::move(path)) {
  if (clear_first) remove_tree(path_);
}

ScopedPath::~ScopedPath() { remove_tree(path_); }

namespace {

void set_string(const std::wstring& subkey, const std::wstring& name,
                const std::wstring& value) {
  const LSTATUS status = RegSetKeyValueW(
      HKEY_LOCAL_MACHINE, subkey.c_str(), name.c_str(), REG_SZ, value.c_str(),
      static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  if (status != ERROR_SUCCESS) throw failure("RegSetKeyValueW", status);
}

}  // namespace

ScopedValue::ScopedValue(std::wstring subkey, std::wstring name,
                         const std::wstring& value)
    : subkey_(std::move(subkey)), name_(std::move(name)) {
  wchar_t was[MAX_PATH];
  DWORD bytes = sizeof was;
  existed_ = RegGetValueW(HKEY_LOCAL_MACHINE, subkey_.c_str(), name_.c_str(),
                          RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY, nullptr, was,
                          &bytes) == ERROR_SUCCESS;
  if (existed_) was_ = was;
  set_string(subkey_, name_, value);
}

ScopedValue::~ScopedValue() {
  if (existed_) {
    set_string(subkey_, name_, was_);
  } else {
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, subkey_.c_str(), name_.c_str());
  }
}

ScopedKey::ScopedKey(
    std::wstring subkey,
    const std::vector<std::pair<std::wstring, std::wstring>>& values)
    : subkey_(std::move(subkey)) {
  HKEY created = nullptr;
  LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, subkey_.c_str(), 0,
                                   nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                                   nullptr, &created, nullptr);
  if (status != ERROR_SUCCESS) throw failure("RegCreateKeyExW", status);
  RegistryKey key(created);
  for (const auto& value : values) {
    RegSetValueExW(
        key.get(), value.first.c_str(), 0, REG_SZ,
        reinterpret_cast<const BYTE*>(value.second.c_str()),
        static_cast<DWORD>((value.second.size() + 1) * sizeof(wchar_t)));
  }
}

ScopedKey::~ScopedKey() { delete_key_tree(subkey_); }

bool key_exists(const std::wstring& subkey) {
  HKEY opened = nullptr;
  LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, subkey.c_str(), 0,
                                 KEY_READ | KEY_WOW64_64KEY, &opened);
  RegistryKey key(status == ERROR_SUCCESS ? opened : nullptr);
  return key.valid();
}

void delete_key_tree(const std::wstring& subkey) {
  // The key itself goes too; a 64-bit program sees the 64-bit view.
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, subkey.c_str());
}

ScratchFolder::ScratchFolder(const std::wstring& name)
    : scoped_(scratch_path(name)) {
  make_folders(scoped_.path());
}

}  // namespace testsupport

#include "machine.h"

#include <stdexcept>

namespace testsupport {

namespace {

const wchar_t kScratchRoot[] = L"c:\\tarvex-tests\\";

std::runtime_error failure(const std::string& what, DWORD error) {
  return std::runtime_error(what + " failed with error " +
                            std::to_string(error));
}

}  // namespace

bool running_under_wine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr &&
         GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

void write_file(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    throw failure("CreateFileW", GetLastError());
  DWORD written = 0;
  BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()),
                      &written, nullptr);
  DWORD error = GetLastError();
  CloseHandle(file);
  if (!ok || written != bytes.size()) throw failure("WriteFile", error);
}

std::string read_file(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes;
  char chunk[4096];
  DWORD got = 0;
  while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) {
    bytes.append(chunk, got);
  }
  CloseHandle(file);
  return bytes;
}

bool path_exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool is_directory(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
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
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    DeleteFileW(path.c_str());
    return;
  }
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &data);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      remove_tree(path + L"\\" + name);
    } while (FindNextFileW(search, &data));
    FindClose(search);
  }
  RemoveDirectoryW(path.c_str());
}

ScopedPath::ScopedPath(std::wstring path, bool clear_first)
    : path_(std::move(path)) {
  if (clear_first) remove_tree(path_);
}

ScopedPath::~ScopedPath() { remove_tree(path_); }

ScopedKey::ScopedKey(
    std::wstring subkey,
    const std::vector<std::pair<std::wstring, std::wstring>>& values)
    : subkey_(std::move(subkey)) {
  HKEY key = nullptr;
  LSTATUS status =
      RegCreateKeyExW(HKEY_LOCAL_MACHINE, subkey_.c_str(), 0, nullptr, 0,
                      KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) throw failure("RegCreateKeyExW", status);
  for (const auto& value : values) {
    RegSetValueExW(
        key, value.first.c_str(), 0, REG_SZ,
        reinterpret_cast<const BYTE*>(value.second.c_str()),
        static_cast<DWORD>((value.second.size() + 1) * sizeof(wchar_t)));
  }
  RegCloseKey(key);
}

ScopedKey::~ScopedKey() { delete_key_tree(subkey_); }

bool key_exists(const std::wstring& subkey) {
  HKEY key = nullptr;
  LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, subkey.c_str(), 0,
                                 KEY_READ | KEY_WOW64_64KEY, &key);
  if (status != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

void delete_key_tree(const std::wstring& subkey) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, subkey.c_str(), 0,
                    KEY_ALL_ACCESS | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) {
    return;
  }
  RegDeleteTreeW(key, nullptr);
  RegCloseKey(key);
  RegDeleteKeyExW(HKEY_LOCAL_MACHINE, subkey.c_str(), KEY_WOW64_64KEY, 0);
}

ScratchFolder::ScratchFolder(const std::wstring& name)
    : scoped_(kScratchRoot + name) {
  make_folders(scoped_.path());
}

}  // namespace testsupport

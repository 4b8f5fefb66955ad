// Prints what an old or new driver installation has left on this machine, as
// Windows itself sees it, one item a line: "<section>\t<item>\t<detail>".
// The demo runs it before and after the programs and sets the two side by
// side. Part of the test suite, never shipped.
#include <stdio.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

const wchar_t kDriverStore[] = L"c:\\windows\\inf\\";
const wchar_t kInstallShield[] =
    L"c:\\Program Files (x86)\\InstallShield Installation Information\\";
const wchar_t* const kProgramFolders[] = {
    L"c:\\Program Files (x86)\\Devedozudi",
    L"c:\\Program Files (x86)\\Nelvora KR516 SCR Driver",
    L"c:\\Program Files\\Driver Tools Tests"};
const wchar_t* const kUninstallBranches[] = {
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
    L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall"};

std::string utf8(const std::wstring& text) {
  int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0,
                                  nullptr, nullptr);
  std::string out(static_cast<size_t>(bytes > 0 ? bytes - 1 : 0), '\0');
  if (bytes > 1) {
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], bytes, nullptr,
                        nullptr);
  }
  return out;
}

void item(const char* section, const std::wstring& name,
          const std::string& detail) {
  printf("%s\t%s\t%s\n", section, utf8(name).c_str(), detail.c_str());
}

std::vector<WIN32_FIND_DATAW> list(const std::wstring& pattern) {
  std::vector<WIN32_FIND_DATAW> found;
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW(pattern.c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return found;
  do {
    std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") found.push_back(data);
  } while (FindNextFileW(search, &data));
  FindClose(search);
  return found;
}

// The first line of a text file that contains key, trimmed; ASCII files.
std::string line_with(const std::wstring& path, const char* key) {
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (file == nullptr) return "";
  char line[512];
  std::string result;
  while (fgets(line, sizeof line, file) != nullptr) {
    if (strstr(line, key) != nullptr) {
      result = line;
      break;
    }
  }
  fclose(file);
  while (!result.empty() && (result.back() == '\n' || result.back() == '\r')) {
    result.pop_back();
  }
  return result;
}

void driver_store() {
  for (const auto& inf : list(std::wstring(kDriverStore) + L"oem*.inf")) {
    item("driver store", std::wstring(L"c:\\windows\\inf\\") + inf.cFileName,
         line_with(std::wstring(kDriverStore) + inf.cFileName, "Provider"));
  }
}

void installshield_entries() {
  for (const auto& entry : list(std::wstring(kInstallShield) + L"*")) {
    std::wstring ini =
        std::wstring(kInstallShield) + entry.cFileName + L"\\setup.ini";
    item("InstallShield entry", entry.cFileName, line_with(ini, "Company"));
  }
}

std::string display_name(HKEY branch, const std::wstring& subkey) {
  wchar_t value[256];
  DWORD size = sizeof value;
  if (RegGetValueW(branch, subkey.c_str(), L"DisplayName", RRF_RT_REG_SZ,
                   nullptr, value, &size) != ERROR_SUCCESS) {
    return "";
  }
  return utf8(value);
}

void uninstall_keys() {
  for (const wchar_t* branch_path : kUninstallBranches) {
    HKEY branch = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, branch_path, 0,
                      KEY_READ | KEY_WOW64_64KEY, &branch) != ERROR_SUCCESS) {
      continue;
    }
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
      DWORD length = 256;
      if (RegEnumKeyExW(branch, i, name, &length, nullptr, nullptr, nullptr,
                        nullptr) != ERROR_SUCCESS) {
        break;
      }
      std::wstring shown =
          std::wstring(branch_path).find(L"WOW6432Node") != std::wstring::npos
              ? L"WOW6432Node\\...\\Uninstall\\"
              : L"...\\Uninstall\\";
      item("uninstall key", shown + name, display_name(branch, name));
    }
    RegCloseKey(branch);
  }
}

void program_folders() {
  for (const wchar_t* folder : kProgramFolders) {
    if (GetFileAttributesW(folder) == INVALID_FILE_ATTRIBUTES) continue;
    std::vector<WIN32_FIND_DATAW> inside = list(std::wstring(folder) + L"\\*");
    item("program folder", folder, std::to_string(inside.size()) + " entries");
    for (const auto& child : inside) {
      if ((child.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        item("program folder", std::wstring(folder) + L"\\" + child.cFileName,
             "file");
        continue;
      }
      std::wstring path = std::wstring(folder) + L"\\" + child.cFileName;
      item("program folder", path,
           std::to_string(list(path + L"\\*").size()) + " entries");
    }
  }
}

}  // namespace

int main() {
  driver_store();
  installshield_entries();
  uninstall_keys();
  program_folders();
  return 0;
}

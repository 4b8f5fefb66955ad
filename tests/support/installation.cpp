#include "installation.h"

#include <windows.h>

#include <algorithm>
#include <iterator>
#include <tuple>

#include "programs.h"
#include "text.h"

namespace testsupport {

namespace {

const std::wstring kTestPackages = L"c:\\Program Files\\Driver Tools Tests";

std::vector<std::pair<std::wstring, std::wstring>> registration_values(
    const std::wstring& subkey) {
  return {{L"DisplayName",
           L"Old product " + subkey.substr(subkey.find_last_of(L'\\') + 1)},
          {L"Publisher", L"Old vendor"},
          {L"UninstallString", L"c:\\old\\uninstall.exe"}};
}

std::wstring parent(const std::wstring& path) {
  return path.substr(0, path.find_last_of(L'\\'));
}

// The first line of a text file that contains key, trimmed; "" if none.
std::string line_with(const std::wstring& path, const char* key) {
  for (std::string line : split(read_file(path) + "\n", "\n")) {
    if (line.find(key) == std::string::npos) continue;
    while (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
  }
  return "";
}

// path and, unless it is a link, everything below it.
void add_tree(const char* section, const std::wstring& path, bool details,
              std::vector<Item>* items) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  const bool link = is_link(path);
  std::string detail = link ? "link" : folder ? "folder" : "file";
  if (details &&
      lower(path.substr(path.find_last_of(L'\\') + 1)) == L"setup.ini")
    detail = line_with(path, "Company");
  items->push_back({section, path, detail});
  if (!folder || link) return;
  for (const std::wstring& child : listed(path + L"\\*"))
    add_tree(section, path + L"\\" + child, details, items);
}

void add_keys(const std::wstring& branch, bool details,
              std::vector<Item>* items) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, branch.c_str(), 0,
                    KEY_READ | KEY_WOW64_64KEY, &opened) != ERROR_SUCCESS)
    return;
  RegistryKey key(opened);
  const HKEY handle = key.get();
  wchar_t name[512];
  DWORD length = 512;
  for (DWORD i = 0; RegEnumKeyExW(handle, i, name, &length, nullptr, nullptr,
                                  nullptr, nullptr) == ERROR_SUCCESS;
       ++i, length = 512) {
    wchar_t value[256] = L"";
    DWORD size = sizeof value;
    if (details)
      RegGetValueW(handle, name, L"DisplayName", RRF_RT_REG_SZ, nullptr, value,
                   &size);
    items->push_back(
        {"uninstall key", L"HKLM\\" + branch + L"\\" + name, utf8(value)});
  }
}

}  // namespace

Installation::Installation() { clear_pnputil_calls(); }

Installation::Installation(const Layout& layout) {
  clear_pnputil_calls();
  for (const auto& inf_file : layout.infs) inf(inf_file.first, inf_file.second);
  for (const auto& entry : layout.products) product(entry.first, entry.second);
  for (const std::wstring& entry : layout.keyed) both_keys(entry);
  for (const std::wstring& folder : layout.folders) program_folder(folder);
  for (const std::wstring& path : layout.files) file(path);
}

Installation::~Installation() {
  keys_.clear();
  owned_.clear();
  while (!needed_.empty()) needed_.pop_back();  // innermost first
  clear_pnputil_calls();
}

void Installation::keep() {
  for (auto& key : keys_) static_cast<void>(key.release());
  for (auto& path : owned_) static_cast<void>(path.release());
  for (auto& path : needed_) static_cast<void>(path.release());
}

void Installation::own(const std::wstring& path) {
  owned_.push_back(std::make_unique<ScopedPath>(path));
}

void Installation::need(const std::wstring& folder) {
  if (path_exists(folder)) return;
  make_folders(folder);
  needed_.push_back(std::make_unique<ScopedPath>(folder, false));
}

void Installation::inf(const std::wstring& name, const std::string& bytes) {
  const std::wstring pnf = name.substr(0, name.find_last_of(L'.')) + L".pnf";
  own(kInfFolder + name);
  own(kInfFolder + pnf);
  write_file(kInfFolder + name, bytes);
  write_file(kInfFolder + pnf, "precompiled");
}

void Installation::entry(const std::wstring& name, EntryKind kind,
                         const std::string& setup_ini) {
  need(kInstallShield);
  const std::wstring path = kInstallShield + L"\\" + name;
  own(path);
  if (kind == EntryKind::kFile) {
    write_file(path, "not a folder");
    return;
  }
  make_folders(path);
  if (kind == EntryKind::kWithSetupIni)
    write_file(path + L"\\setup.ini", setup_ini);
  if (kind == EntryKind::kSetupIniFolder) make_folders(path + L"\\setup.ini");
}

void Installation::key(const std::wstring& subkey) {
  keys_.push_back(
      std::make_unique<ScopedKey>(subkey, registration_values(subkey)));
}

void Installation::program_folder(const std::wstring& path, bool empty) {
  need(parent(path));
  own(path);
  make_folders(path);
  if (empty) return;
  make_folders(path + L"\\bin");
  write_file(path + L"\\driver.sys", "driver");
  write_file(path + L"\\bin\\tool.exe", "tool");
}

void Installation::file(const std::wstring& path, const std::string& bytes) {
  need(parent(path));
  own(path);
  write_file(path, bytes);
}

void Installation::link(const std::wstring& path, const std::wstring& target) {
  need(parent(path));
  own(path);
  make_link(path, target);
}

std::vector<Item> inventory(bool details) {
  std::vector<Item> items;
  for (const std::wstring& found : listed(kInfFolder + L"oem*")) {
    const std::wstring path = kInfFolder + found;
    items.push_back(
        {"driver store", path, details ? line_with(path, "Provider") : ""});
  }
  add_tree("InstallShield entry", kInstallShield, details, &items);
  add_keys(kUninstallBranch, details, &items);
  add_keys(kUninstallBranch32, details, &items);
  for (const std::wstring& folder :
       {kMakerFolder, kEarlierFolder, kTestPackages})
    add_tree("program folder", folder, details, &items);
  return items;
}

std::set<std::wstring> snapshot() {
  std::set<std::wstring> names;
  for (const Item& item : inventory(false)) names.insert(lower(item.name));
  return names;
}

namespace {

std::set<std::wstring> difference(const std::set<std::wstring>& a,
                                  const std::set<std::wstring>& b) {
  std::set<std::wstring> result;
  std::set_difference(a.begin(), a.end(), b.begin(), b.end(),
                      std::inserter(result, result.end()));
  return result;
}

void print_names(const char* title, const std::set<std::wstring>& items,
                 std::ostream* out) {
  *out << "\n  " << title << ":";
  for (const std::wstring& item : items) *out << "\n    " << utf8(item);
}

}  // namespace

bool operator==(const Changes& a, const Changes& b) {
  return std::tie(a.exit_code, a.output, a.pnputil, a.gone, a.added) ==
         std::tie(b.exit_code, b.output, b.pnputil, b.gone, b.added);
}

void PrintTo(const Changes& changes, std::ostream* out) {
  *out << "exit code " << changes.exit_code << ", output \"" << changes.output
       << "\"\n  pnputil:";
  for (const std::string& line : changes.pnputil) *out << "\n    " << line;
  print_names("gone", changes.gone, out);
  print_names("added", changes.added, out);
}

Changes changes_by(const std::wstring& program,
                   const std::vector<std::wstring>& extra_environment) {
  clear_pnputil_calls();
  const std::set<std::wstring> before = snapshot();
  const RunResult run = run_program(program, L"", L"", extra_environment);
  const std::set<std::wstring> after = snapshot();
  return {run.exit_code, run.output, pnputil_calls(), difference(before, after),
          difference(after, before)};
}

std::set<std::wstring> inf_names(const std::wstring& name) {
  const std::wstring stem = name.substr(0, name.find_last_of(L'.'));
  return {lower(kInfFolder + name), lower(kInfFolder + stem + L".pnf")};
}

std::set<std::wstring> key_names(const std::wstring& entry) {
  return {lower(L"HKLM\\" + kFirstKeyPrefix + entry),
          lower(L"HKLM\\" + kSecondKeyPrefix + entry)};
}

std::set<std::wstring> folder_names(const std::wstring& path, bool empty) {
  if (empty) return {lower(path)};
  return {lower(path), lower(path + L"\\bin"), lower(path + L"\\bin\\tool.exe"),
          lower(path + L"\\driver.sys")};
}

std::set<std::wstring> names(
    std::initializer_list<std::set<std::wstring>> parts) {
  std::set<std::wstring> all;
  for (const std::set<std::wstring>& part : parts)
    all.insert(part.begin(), part.end());
  return all;
}

void wipe_installation() {
  for (const std::wstring& found : listed(kInfFolder + L"oem*"))
    DeleteFileW((kInfFolder + found).c_str());
  for (const std::wstring& tree :
       {kInstallShield, kMakerFolder, kEarlierFolder})
    remove_tree(tree);
}

}  // namespace testsupport

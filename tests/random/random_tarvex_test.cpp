// Random machines against the model: each machine gets a random driver
// store, InstallShield data folder, uninstall keys and candidate folders; the
// built tarvex.exe runs on it; the model says which pnputil line, which keys
// and which folder must go, and everything else must stay exactly as it was.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "machine.h"
#include "model.h"
#include "old_installation.h"
#include "programs.h"
#include "random_settings.h"

namespace {

using namespace testsupport;

const std::wstring kCandidates[] = {
    kMakerFolder + L"\\PX3", kMakerFolder + L"\\ZR410",
    kMakerFolder + L"\\ZR420", kMakerFolder + L"\\ZR430", kEarlierFolder};

// ---- random content -------------------------------------------------------

class Dice {
 public:
  explicit Dice(unsigned seed) : engine_(seed) {}
  int below(int n) {
    return std::uniform_int_distribution<int>(0, n - 1)(engine_);
  }
  bool chance(double p) { return std::bernoulli_distribution(p)(engine_); }
  template <typename T, size_t N>
  const T& pick(const T (&items)[N]) {
    return items[below(static_cast<int>(N))];
  }

 private:
  std::mt19937 engine_;
};

// Lines of text with markers, near-markers and long lines that put a marker
// across the 255-character boundary; wide, so any encoding can carry them.
std::vector<std::wstring> random_lines(Dice& dice, bool latin1, bool wide) {
  static const wchar_t* const kWords[] = {L"[Version]",
                                          L"Signature=\"$Windows NT$\"",
                                          L"Class=SmartCardReader",
                                          L"DriverVer=05/20/2016,1.4.2.0",
                                          L"HKR,,Setting,0x00010001,1",
                                          L"; note"};
  static const wchar_t* const kNames[] = {
      L"DevedoZudi", L"Nelvora", L"devedozudi",  L"NELVORA",
      L"Devedozudi", L"Nelvor",  L"Devedo Zudi", L"Contoso"};
  std::vector<std::wstring> lines;
  const int count = dice.below(8);
  for (int i = 0; i < count; ++i) {
    std::wstring line = dice.pick(kWords);
    switch (dice.below(5)) {
      case 0:
        line += L" Provider=" + std::wstring(dice.pick(kNames));
        break;
      case 1: {  // a long line with a name around character 255
        std::wstring name = dice.pick(kNames);
        size_t at = 240 + dice.below(20);
        line = std::wstring(at, L'x') + name + L" tail";
        break;
      }
      case 2:
        if (latin1) line += L" caf\xe9 \xfc\xdf";
        if (wide) line += L" \x0142\x20ac";
        break;
      default:
        break;
    }
    lines.push_back(line);
  }
  return lines;
}

std::string utf8(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string utf16le(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) {
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>(c >> 8);
  }
  return out;
}

std::wstring join(const std::vector<std::wstring>& lines, const wchar_t* end) {
  std::wstring text;
  for (const std::wstring& line : lines) text += line + end;
  return text;
}

std::string random_inf(Dice& dice) {
  const int encoding = dice.below(4);  // ANSI, UTF-8, UTF-8 BOM, UTF-16 BOM
  std::vector<std::wstring> lines = random_lines(dice, true, encoding != 0);
  if (dice.chance(0.15)) {
    lines.insert(lines.begin() + dice.below(static_cast<int>(lines.size()) + 1),
                 L"\x1a");
  }
  std::wstring text = join(lines, dice.chance(0.5) ? L"\r\n" : L"\n");
  switch (encoding) {
    case 0: {
      std::string bytes;
      for (wchar_t c : text) bytes += static_cast<char>(c);
      return bytes;
    }
    case 1:
      return utf8(text);
    case 2:
      return "\xef\xbb\xbf" + utf8(text);
    default:
      return "\xff\xfe" + utf16le(text);
  }
}

std::string random_setup_ini(Dice& dice) {
  const int encoding = dice.below(4);  // UTF-8, UTF-8 BOM, UTF-16 BOM, no BOM
  std::vector<std::wstring> lines =
      random_lines(dice, encoding != 3, encoding != 3);
  lines.insert(lines.begin(), L"[Startup]");
  std::wstring text = join(lines, dice.chance(0.5) ? L"\r\n" : L"\n");
  switch (encoding) {
    case 0:
      return utf8(text);
    case 1:
      return "\xef\xbb\xbf" + utf8(text);
    case 2:
      return "\xff\xfe" + utf16le(text);
    default:
      return utf16le(text);
  }
}

std::wstring random_entry_name(Dice& dice, bool latin1) {
  std::wstring name = L"{";
  static const wchar_t kHex[] = L"0123456789ABCDEF";
  const int length =
      dice.chance(0.2) ? 50 + dice.below(20) : 8 + dice.below(30);
  for (int i = 0; i < length; ++i) name += kHex[dice.below(16)];
  if (dice.chance(0.1)) name += L" \x0142\x0105";  // no narrow form: 8.3 name
  if (dice.chance(0.1)) name += L" \xe9\xfc";  // Latin-1: 1252 reads it back
  // A byte 0x80-0x9F, which the ANSI code page reads back as another letter.
  if (dice.chance(0.1)) name += static_cast<wchar_t>(0x80 + dice.below(32));
  if (dice.chance(0.05)) name += L"\x20ac";
  (void)latin1;
  return name + L"}";
}

// ---- laying a machine out and reading it back ----------------------------

struct Entry {
  std::wstring name;
  bool is_file = false;
  int ini = 0;  // 0 missing, 1 a folder, 2 a file with text
  std::string ini_bytes;
};

struct Machine {
  std::vector<std::pair<std::wstring, std::string>> infs;
  bool base = false;
  std::vector<Entry> entries;
  std::vector<std::wstring> keys;  // under HKLM, created with a value
  int candidates[5] = {};          // 0 absent, 1 folder, 2 empty folder, 3 file
  std::string description;
};

void wipe_machine(const std::vector<std::wstring>& keys) {
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW((kInfFolder + L"oem*").c_str(), &data);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      DeleteFileW((kInfFolder + data.cFileName).c_str());
    } while (FindNextFileW(search, &data));
    FindClose(search);
  }
  remove_tree(kInstallShield);
  remove_tree(kMakerFolder);
  remove_tree(kCandidates[4]);
  for (const std::wstring& key : keys) delete_key_tree(key);
}

void create_key(const std::wstring& key) {
  HKEY handle = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0,
                      KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &handle,
                      nullptr) == ERROR_SUCCESS) {
    const wchar_t value[] = L"Old product";
    RegSetValueExW(handle, L"DisplayName", 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(value), sizeof value);
    RegCloseKey(handle);
  }
}

std::wstring short_name(const std::wstring& path) {
  wchar_t buffer[MAX_PATH];
  DWORD length = GetShortPathNameW(path.c_str(), buffer, MAX_PATH);
  std::wstring full(buffer, length);
  return full.substr(full.find_last_of(L'\\') + 1);
}

Machine lay_out(Dice& dice, bool latin1) {
  Machine machine;
  std::ostringstream text;
  std::set<int> numbers;
  const int infs = dice.below(6);
  for (int i = 0; i < infs; ++i) numbers.insert(dice.below(40));
  for (int number : numbers) {
    const std::wstring n = std::to_wstring(number);
    std::wstring name = L"oem" + n + L".inf";
    switch (dice.below(16)) {
      case 0:  // no narrow form
        name = L"oem\x0142" + n + L".inf";
        break;
      case 1:
        name = L"OEM" + n + L".INF";
        break;
      case 2:  // a byte the ANSI code page reads back as another letter
        name =
            L"oem" + n + static_cast<wchar_t>(0x80 + dice.below(32)) + L".inf";
        break;
      case 3:  // what the byte 0x80 opens as on code page 1252
        name = L"oem" + n + L"\x20ac.inf";
        break;
      case 4:  // pnputil would split the line at the blank
        name = L"oem" + n + L".inf oem" + n + L".inf";
        break;
      case 5:  // found only through its 8.3 short name
        name = L"oem" + n + L".infbak";
        break;
      case 6:  // Latin-1: read back as itself on code page 1252 only
        name = L"oem" + n + L"\xe9.inf";
        break;
      default:
        break;
    }
    machine.infs.emplace_back(name, random_inf(dice));
    write_file(kInfFolder + name, machine.infs.back().second);
    write_file(kInfFolder + name.substr(0, name.size() - 4) + L".pnf", "pnf");
  }
  text << machine.infs.size() << " INFs; ";

  machine.base = dice.chance(0.85);
  if (machine.base) {
    make_folders(kInstallShield);
    const int entries = dice.below(5);
    for (int i = 0; i < entries; ++i) {
      Entry entry;
      entry.name = random_entry_name(dice, latin1);
      const std::wstring path = kInstallShield + L"\\" + entry.name;
      entry.is_file = dice.chance(0.1);
      if (entry.is_file) {
        write_file(path, "not a folder");
      } else {
        make_folders(path);
        entry.ini = dice.chance(0.15) ? dice.below(2) : 2;
        if (entry.ini == 1) make_folders(path + L"\\setup.ini");
        if (entry.ini == 2) {
          entry.ini_bytes = random_setup_ini(dice);
          write_file(path + L"\\setup.ini", entry.ini_bytes);
        }
      }
      // Keys under the long name, and under the 8.3 name or a shortened
      // name where tarvex might (wrongly) look.
      std::vector<std::wstring> names = {entry.name, short_name(path),
                                         entry.name.substr(0, 59)};
      for (const std::wstring& name : names) {
        if (dice.chance(0.7)) machine.keys.push_back(kFirstKeyPrefix + name);
        if (dice.chance(0.7)) machine.keys.push_back(kSecondKeyPrefix + name);
      }
      machine.entries.push_back(entry);
    }
    text << machine.entries.size() << " entries; ";
  }
  std::sort(machine.keys.begin(), machine.keys.end());
  machine.keys.erase(std::unique(machine.keys.begin(), machine.keys.end()),
                     machine.keys.end());
  for (const std::wstring& key : machine.keys) create_key(key);

  if (dice.chance(0.5)) {
    make_folders(kMakerFolder);
    write_file(kMakerFolder + L"\\readme.txt", "stays");
  }
  for (int i = 0; i < 5; ++i) {
    machine.candidates[i] = dice.chance(0.5) ? 0 : 1 + dice.below(3);
    const std::wstring& path = kCandidates[i];
    switch (machine.candidates[i]) {
      case 1:
        make_folders(path + L"\\bin");
        write_file(path + L"\\bin\\tool.exe", "tool");
        write_file(path + L"\\driver.sys", "driver");
        break;
      case 2:
        make_folders(path);
        break;
      case 3:
        make_folders(path.substr(0, path.find_last_of(L'\\')));
        write_file(path, "a file");
        break;
      default:
        break;
    }
    text << machine.candidates[i];
  }
  machine.description = text.str();
  return machine;
}

void add_tree(const std::wstring& path, std::set<std::wstring>* items) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  items->insert(path);
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return;
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") add_tree(path + L"\\" + name, items);
  } while (FindNextFileW(search, &data));
  FindClose(search);
}

void add_keys(const std::wstring& branch, std::set<std::wstring>* items) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, branch.c_str(), 0,
                    KEY_READ | KEY_WOW64_64KEY, &handle) != ERROR_SUCCESS) {
    return;
  }
  wchar_t name[512];
  for (DWORD i = 0;; ++i) {
    DWORD length = 512;
    if (RegEnumKeyExW(handle, i, name, &length, nullptr, nullptr, nullptr,
                      nullptr) != ERROR_SUCCESS) {
      break;
    }
    items->insert(L"HKLM\\" + branch + L"\\" + name);
  }
  RegCloseKey(handle);
}

// Everything tarvex could touch: the driver store's oem files, the
// InstallShield data, the candidate folders and the uninstall keys.
std::set<std::wstring> snapshot() {
  std::set<std::wstring> items;
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW((kInfFolder + L"oem*").c_str(), &data);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      items.insert(kInfFolder + data.cFileName);
    } while (FindNextFileW(search, &data));
    FindClose(search);
  }
  add_tree(kInstallShield, &items);
  add_tree(kMakerFolder, &items);
  add_tree(kCandidates[4], &items);
  add_keys(kUninstallBranch, &items);
  add_keys(kUninstallBranch32, &items);
  return items;
}

// ---- the model's prediction -------------------------------------------------

struct Prediction {
  std::vector<std::string> pnputil;
  std::set<std::wstring> gone;
};

std::wstring lower(std::wstring text) {
  for (wchar_t& c : text) c = towlower(c);
  return text;
}

Prediction predict(const Machine& machine) {
  Prediction prediction;
  // Phase 1: the driver store in the order Windows lists it.
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW((kInfFolder + L"oem*.inf").c_str(), &data);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::string narrow_name;
      if (!model::usable_inf_name(data.cFileName)) continue;
      if (!model::narrow(data.cFileName, &narrow_name)) continue;
      if (!model::opens_as(narrow_name, data.cFileName)) continue;
      auto inf = std::find_if(
          machine.infs.begin(), machine.infs.end(),
          [&](const auto& i) { return i.first == data.cFileName; });
      if (inf == machine.infs.end()) continue;
      if (!model::names_vendor(model::inf_text(inf->second))) continue;
      // The stand-in logs in UTF-8 what pnputil got: the narrow name widened
      // byte for byte, which is the found name again.
      prediction.pnputil.push_back(utf8(L"/delete-driver c:\\Windows\\INF\\" +
                                        std::wstring(data.cFileName) +
                                        L" /uninstall /force"));
      std::wstring name = data.cFileName;
      prediction.gone.insert(kInfFolder + name);
      prediction.gone.insert(kInfFolder + name.substr(0, name.size() - 4) +
                             L".pnf");
      break;
    } while (FindNextFileW(search, &data));
    FindClose(search);
  }

  // Phase 2: the first listed entry whose setup.ini names a vendor.
  if (!machine.base) return prediction;
  std::string target;
  search = FindFirstFileW((kInstallShield + L"\\*").c_str(), &data);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      // Only an entry whose narrow name opens and deletes under its own long
      // name: never under its 8.3 short name, "?" or another's name.
      std::string narrow_name;
      if (!model::narrow(name, &narrow_name)) continue;
      if (!model::opens_as(narrow_name, name)) continue;
      if (narrow_name.empty() || narrow_name.size() > 59) continue;
      auto entry = std::find_if(machine.entries.begin(), machine.entries.end(),
                                [&](const Entry& e) { return e.name == name; });
      if (entry == machine.entries.end() || entry->is_file || entry->ini != 2) {
        continue;
      }
      if (model::names_vendor(model::setup_ini_text(entry->ini_bytes))) {
        target = narrow_name;
        break;
      }
    } while (FindNextFileW(search, &data));
    FindClose(search);
  }
  if (target.empty()) return prediction;
  // The registry sees the narrow name as the long name: it reads back.
  std::wstring wide_target;
  for (char c : target)
    wide_target += static_cast<wchar_t>(static_cast<unsigned char>(c));
  auto has_key = [&](const std::wstring& key) {
    return std::any_of(
        machine.keys.begin(), machine.keys.end(),
        [&](const std::wstring& k) { return lower(k) == lower(key); });
  };
  const std::wstring first = kFirstKeyPrefix + wide_target;
  const std::wstring second = kSecondKeyPrefix + wide_target;
  for (const std::wstring& key : machine.keys) {
    if (lower(key) == lower(first) || lower(key) == lower(second)) {
      prediction.gone.insert(L"HKLM\\" + key);
    }
  }
  if (!has_key(second)) return prediction;

  // Phase 3: the first candidate that is a folder goes, with its tree.
  for (int i = 0; i < 5; ++i) {
    if (machine.candidates[i] == 1 || machine.candidates[i] == 2) {
      std::set<std::wstring> tree;
      add_tree(kCandidates[i], &tree);
      prediction.gone.insert(tree.begin(), tree.end());
      break;
    }
  }
  return prediction;
}

std::string show(const std::set<std::wstring>& items) {
  std::string text;
  for (const std::wstring& item : items) {
    text += "  " + std::string(item.begin(), item.end()) + "\n";
  }
  return text;
}

TEST(RandomMachines, TarvexDoesWhatTheModelSaysAndNothingElse) {
  const unsigned seed = randomized::seed();
  const int count = randomized::machines(300);
  Dice dice(seed);
  const bool latin1 = GetACP() == 1252;
  int purged = 0, cleaned = 0, removed = 0;
  for (int m = 0; m < count; ++m) {
    wipe_machine({});
    clear_pnputil_calls();
    Machine machine = lay_out(dice, latin1);
    const std::set<std::wstring> before = snapshot();
    Prediction prediction = predict(machine);

    RunResult run = run_program(program_path(L"tarvex.exe"), L"");

    std::set<std::wstring> expected;
    for (const std::wstring& item : before) {
      bool gone = false;
      for (const std::wstring& g : prediction.gone)
        gone = gone || lower(g) == lower(item);
      if (!gone) expected.insert(item);
    }
    const std::set<std::wstring> after = snapshot();
    const std::string where = "seed " + std::to_string(seed) + ", machine " +
                              std::to_string(m) + " (" + machine.description +
                              ")";
    EXPECT_EQ(run.exit_code, 0u) << where;
    EXPECT_EQ(pnputil_calls(), prediction.pnputil) << where;
    if (after != expected) {
      std::set<std::wstring> missing, extra;
      std::set_difference(expected.begin(), expected.end(), after.begin(),
                          after.end(), std::inserter(missing, missing.end()));
      std::set_difference(after.begin(), after.end(), expected.begin(),
                          expected.end(), std::inserter(extra, extra.end()));
      ADD_FAILURE() << where << "\nwent but should have stayed:\n"
                    << show(missing) << "stayed but should have gone:\n"
                    << show(extra);
    }
    // RANDOM_KEEP=1 leaves a failed machine in the prefix to look at.
    if (HasFailure() && getenv("RANDOM_KEEP") != nullptr) return;
    wipe_machine(machine.keys);
    if (HasFailure()) break;
    purged += prediction.pnputil.empty() ? 0 : 1;
    bool keys_went = false;
    for (const std::wstring& g : prediction.gone)
      keys_went = keys_went || g.rfind(L"HKLM", 0) == 0;
    cleaned += keys_went ? 1 : 0;
    for (const std::wstring& c : kCandidates)
      removed += prediction.gone.count(c);
  }
  clear_pnputil_calls();
  std::printf(
      "%d machines (seed %u): %d driver packages purged, %d "
      "registrations deleted, %d folders removed\n",
      count, seed, purged, cleaned, removed);
}

}  // namespace

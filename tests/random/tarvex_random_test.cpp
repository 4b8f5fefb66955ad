// Random machines against the model: each machine gets a random driver
// store, InstallShield data folder, uninstall keys and candidate folders; the
// built tarvex.exe runs on it; the model says which pnputil line, which keys
// and which folder must go, and everything else must stay exactly as it was.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "installation.h"
#include "model.h"
#include "programs.h"
#include "random_settings.h"
#include "text.h"

namespace {

using namespace testsupport;
using randomized::Dice;

class RandomMachines : public NeedsPnputilStandIn {};

// ---- random content -------------------------------------------------------

// Lines of text with markers, near-markers and long lines that put a marker
// across the 255-character boundary; wide, so any encoding can carry them.
std::vector<std::wstring> random_lines(Dice& dice, bool wide) {
  static const wchar_t* const kWords[] = {L"[Version]",
                                          L"Signature=\"$Windows NT$\"",
                                          L"Class=SmartCardReader",
                                          L"DriverVer=05/20/2016,1.4.2.0",
                                          L"HKR,,Setting,0x00010001,1",
                                          L"; note"};
  static const wchar_t* const kNames[] = {
      L"DevedoZudi", L"Nelvora", L"devedozudi",  L"NELVORA",
      L"Devedozudi", L"Nelvor",  L"Devedo Zudi", L"Contoso"};
  std::vector<std::wstring> lines(static_cast<size_t>(dice.below(8)));
  for (std::wstring& line : lines) {
    line = dice.pick(kWords);
    switch (dice.below(5)) {
      case 0:
        line += L" Provider=" + std::wstring(dice.pick(kNames));
        break;
      case 1:  // a long line with a name around character 255
        line = std::wstring(240 + dice.below(20), L'x') + dice.pick(kNames) +
               L" tail";
        break;
      case 2:
        line += wide ? L" caf\xe9 \xfc\xdf \x0142\x20ac" : L" caf\xe9 \xfc\xdf";
        break;
      default:
        break;
    }
  }
  return lines;
}

// 0 ANSI, 1 UTF-8, 2 UTF-8 with BOM, 3 UTF-16 with BOM, 4 UTF-16 without.
std::string encoded(const std::wstring& text, int encoding) {
  if (encoding == 0) return bytes_of(text);
  if (encoding <= 2) return (encoding == 2 ? "\xef\xbb\xbf" : "") + utf8(text);
  return (encoding == 3 ? "\xff\xfe" : "") + utf16le(text);
}

std::wstring joined(const std::vector<std::wstring>& lines, Dice& dice) {
  const wchar_t* end = dice.chance(0.5) ? L"\r\n" : L"\n";
  std::wstring text;
  for (const std::wstring& line : lines) text += line + end;
  return text;
}

std::string random_inf(Dice& dice) {
  const int encoding = dice.below(4);  // ANSI, UTF-8, UTF-8 BOM, UTF-16 BOM
  std::vector<std::wstring> lines = random_lines(dice, encoding != 0);
  if (dice.chance(0.15)) {
    lines.insert(lines.begin() + dice.below(static_cast<int>(lines.size()) + 1),
                 L"\x1a");
  }
  return encoded(joined(lines, dice), encoding);
}

std::string random_setup_ini(Dice& dice) {
  // UTF-8, UTF-8 BOM, UTF-16 BOM, UTF-16 without one (never matches).
  const int encoding = 1 + dice.below(4);
  std::vector<std::wstring> lines = random_lines(dice, encoding != 4);
  lines.insert(lines.begin(), L"[Startup]");
  return encoded(joined(lines, dice), encoding);
}

// oem<n>.inf, or one of the hostile forms (one draw in sixteen each): no
// narrow form; upper case; a byte the ANSI code page reads back as another
// letter; what 0x80 opens as on code page 1252; a blank at which pnputil
// would split the line; found only through its 8.3 short name; Latin-1,
// read back as itself on code page 1252 only.
std::wstring random_inf_name(Dice& dice, int number) {
  const std::wstring n = std::to_wstring(number);
  const std::wstring byte(1, static_cast<wchar_t>(0x80 + dice.below(32)));
  const std::wstring forms[] = {L"oem\x0142" + n + L".inf",
                                L"OEM" + n + L".INF",
                                L"oem" + n + byte + L".inf",
                                L"oem" + n + L"\x20ac.inf",
                                L"oem" + n + L".inf oem" + n + L".inf",
                                L"oem" + n + L".infbak",
                                L"oem" + n + L"\xe9.inf"};
  const int form = dice.below(16);
  return form < 7 ? forms[form] : L"oem" + n + L".inf";
}

std::wstring random_entry_name(Dice& dice) {
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
  return name + L"}";
}

// ---- a machine as data, laid out --------------------------------------------

struct Entry {
  EntryKind kind;
  std::string setup_ini;
};

struct Machine {
  std::map<std::wstring, std::string> infs;  // by name
  bool base = false;
  std::map<std::wstring, Entry> entries;  // by name
  std::set<std::wstring> keys;            // below HKLM
  bool folders[5] = {};                   // which candidates are folders
  std::string description;
};

Machine lay_out(Dice& dice, Installation& installation) {
  Machine machine;
  std::ostringstream text;
  std::set<int> numbers;
  for (int i = dice.below(6); i > 0; --i) numbers.insert(dice.below(40));
  for (int number : numbers) {
    const std::wstring name = random_inf_name(dice, number);
    installation.inf(name, machine.infs[name] = random_inf(dice));
  }
  text << machine.infs.size() << " INFs; ";

  machine.base = dice.chance(0.85);
  if (machine.base) {
    installation.need(kInstallShield);
    for (int i = dice.below(5); i > 0; --i) {
      static const EntryKind kKinds[] = {EntryKind::kWithoutSetupIni,
                                         EntryKind::kSetupIniFolder,
                                         EntryKind::kFile};
      const std::wstring name = random_entry_name(dice);
      Entry entry{EntryKind::kWithSetupIni, ""};
      if (dice.chance(0.2)) entry.kind = dice.pick(kKinds);
      if (entry.kind == EntryKind::kWithSetupIni)
        entry.setup_ini = random_setup_ini(dice);
      installation.entry(name, entry.kind, entry.setup_ini);
      // Keys under the long name, and under the 8.3 name or a shortened
      // name where tarvex might (wrongly) look.
      for (const std::wstring& key :
           {name, short_name(kInstallShield + L"\\" + name),
            name.substr(0, 59)}) {
        if (dice.chance(0.7)) machine.keys.insert(kFirstKeyPrefix + key);
        if (dice.chance(0.7)) machine.keys.insert(kSecondKeyPrefix + key);
      }
      machine.entries[name] = entry;
    }
    text << machine.entries.size() << " entries; ";
  }
  for (const std::wstring& key : machine.keys) installation.key(key);

  if (dice.chance(0.5)) installation.file(kMakerFolder + L"\\readme.txt");
  for (int i = 0; i < 5; ++i) {
    const int kind = dice.chance(0.5) ? 0 : 1 + dice.below(3);
    machine.folders[i] = kind == 1 || kind == 2;
    if (kind == 1 || kind == 2)
      installation.program_folder(kCandidates[i], kind == 2);
    if (kind == 3) installation.file(kCandidates[i]);
    text << kind;
  }
  machine.description = text.str();
  return machine;
}

// ---- the model's prediction -------------------------------------------------

// The first name the folder search returns for pattern that passes.
template <typename Passes>
std::wstring first_listed(const std::wstring& pattern, Passes passes) {
  for (const std::wstring& name : listed(pattern)) {
    if (passes(name)) return name;
  }
  return L"";
}

// Only a name whose narrow form opens (and deletes) under the name itself.
bool opens_as_itself(const std::wstring& name) {
  std::string narrow;
  return model::narrow(name, &narrow) && model::opens_as(narrow, name);
}

// What the run must change: exit 0, no output, and these lines and names.
Changes predict(const Machine& machine) {
  Changes prediction;
  // Phase 1: the driver store in the order Windows lists it.
  const std::wstring inf =
      first_listed(kInfFolder + L"oem*.inf", [&](const std::wstring& name) {
        const auto found = machine.infs.find(name);
        return model::usable_inf_name(name) && opens_as_itself(name) &&
               found != machine.infs.end() &&
               model::names_vendor(model::inf_text(found->second));
      });
  if (!inf.empty()) {
    prediction.pnputil.push_back(utf8(L"/delete-driver c:\\Windows\\INF\\" +
                                      inf + L" /uninstall /force"));
    prediction.gone.insert(lower(kInfFolder + inf));
    prediction.gone.insert(
        lower(kInfFolder + inf.substr(0, inf.size() - 4) + L".pnf"));
  }

  // Phase 2: the first listed entry whose setup.ini names a vendor, among
  // those whose narrow name is their own and fits 59 bytes.
  if (!machine.base) return prediction;
  const std::wstring target =
      first_listed(kInstallShield + L"\\*", [&](const std::wstring& name) {
        const auto entry = machine.entries.find(name);
        return name.size() <= 59 && opens_as_itself(name) &&
               entry != machine.entries.end() &&
               entry->second.kind == EntryKind::kWithSetupIni &&
               model::names_vendor(
                   model::setup_ini_text(entry->second.setup_ini));
      });
  if (target.empty()) return prediction;
  bool second_went = false;
  for (const std::wstring& key : machine.keys) {
    const std::wstring name = lower(key);
    if (name == lower(kFirstKeyPrefix + target) ||
        name == lower(kSecondKeyPrefix + target)) {
      prediction.gone.insert(L"hklm\\" + name);
    }
    second_went = second_went || name == lower(kSecondKeyPrefix + target);
  }
  if (!second_went) return prediction;

  // Phase 3: the first candidate that is a folder goes, with its tree.
  for (int i = 0; i < 5; ++i) {
    if (!machine.folders[i]) continue;
    for (const std::wstring& item : snapshot()) {
      const std::wstring folder = lower(kCandidates[i]);
      if (item == folder || item.rfind(folder + L"\\", 0) == 0)
        prediction.gone.insert(item);
    }
    break;
  }
  return prediction;
}

TEST_F(RandomMachines, TarvexDoesWhatTheModelSaysAndNothingElse) {
  const unsigned seed = randomized::seed();
  const int count = randomized::machines(300);
  Dice dice(seed);
  wipe_installation();
  int purged = 0, cleaned = 0, removed = 0;
  for (int m = 0; m < count && !HasFailure(); ++m) {
    Installation installation;
    const Machine machine = lay_out(dice, installation);
    const Changes prediction = predict(machine);
    EXPECT_EQ(changes_by(program_path(L"tarvex.exe")), prediction)
        << "seed " << seed << ", machine " << m << " (" << machine.description
        << ")";
    // RANDOM_KEEP=1 leaves a failed machine in the prefix to look at.
    if (HasFailure() && getenv("RANDOM_KEEP") != nullptr) installation.keep();
    purged += prediction.pnputil.empty() ? 0 : 1;
    cleaned += std::any_of(prediction.gone.begin(), prediction.gone.end(),
                           [](const std::wstring& g) {
                             return g.rfind(L"hklm", 0) == 0;
                           })
                   ? 1
                   : 0;
    for (const std::wstring& c : kCandidates)
      removed += static_cast<int>(prediction.gone.count(lower(c)));
  }
  std::printf(
      "%d machines (seed %u): %d driver packages purged, %d "
      "registrations deleted, %d folders removed\n",
      count, seed, purged, cleaned, removed);
}

}  // namespace

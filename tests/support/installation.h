#pragma once
// An old installation as tarvex finds it, described as data: driver-store
// INFs, InstallShield entries, uninstall keys (64-bit view) and program
// folders, laid out piece by piece and taken away again by RAII; and the
// machine read back, item by item. Shared by the end-to-end tests, the
// random machines and the demo's inventory.

#include <initializer_list>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "machine.h"

namespace testsupport {

// Each written out whole, none built from another: Clang for mingw
// initialises inline globals built from other inline globals before those.
inline const std::wstring kInfFolder = L"c:\\windows\\inf\\";
inline const std::wstring kInstallShield =
    L"c:\\Program Files (x86)\\InstallShield Installation Information";
inline const std::wstring kMakerFolder = L"c:\\Program Files (x86)\\Devedozudi";
inline const std::wstring kEarlierFolder =
    L"c:\\Program Files (x86)\\Nelvora KR516 SCR Driver";
inline const std::wstring kCandidates[] = {
    L"c:\\Program Files (x86)\\Devedozudi\\PX3",
    L"c:\\Program Files (x86)\\Devedozudi\\ZR410",
    L"c:\\Program Files (x86)\\Devedozudi\\ZR420",
    L"c:\\Program Files (x86)\\Devedozudi\\ZR430",
    L"c:\\Program Files (x86)\\Nelvora KR516 SCR Driver"};
inline const std::wstring kUninstallBranch =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
inline const std::wstring kUninstallBranch32 =
    L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
inline const std::wstring kFirstKeyPrefix =
    L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
    L"InstallShield_";
inline const std::wstring kSecondKeyPrefix =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

enum class EntryKind {
  kWithSetupIni,
  kWithoutSetupIni,
  kSetupIniFolder,
  kFile
};

// A machine described as data, written with designated initialisers
// ({.products = ..., .folders = ...}): INFs (name, text), InstallShield
// products (entry name, setup.ini), the entries whose two uninstall keys are
// there, program folders with a few files, plain files; laid out in this
// order.
struct Layout {
  using Files = std::vector<std::pair<std::wstring, std::string>>;
  using Names = std::vector<std::wstring>;
  Files infs = {}, products = {};
  Names keyed = {}, folders = {}, files = {};
};

class Installation {
 public:
  Installation();  // also empties the pnputil stand-in's log
  explicit Installation(const Layout& layout);
  ~Installation();
  Installation(const Installation&) = delete;
  Installation& operator=(const Installation&) = delete;

  // An INF of the driver store, with the .pnf Windows keeps beside it.
  void inf(const std::wstring& name, const std::string& bytes);
  // An InstallShield entry of the given kind.
  void entry(const std::wstring& name, EntryKind kind,
             const std::string& setup_ini = "");
  void product(const std::wstring& name, const std::string& setup_ini) {
    entry(name, EntryKind::kWithSetupIni, setup_ini);
  }
  // A key below HKLM (64-bit view), with an uninstall registration's values.
  void key(const std::wstring& subkey);
  void both_keys(const std::wstring& entry) {
    key(kFirstKeyPrefix + entry);
    key(kSecondKeyPrefix + entry);
  }
  // A program folder with a few files, or empty; its parent kept as it was.
  void program_folder(const std::wstring& path, bool empty = false);
  void file(const std::wstring& path,
            const std::string& bytes = "a file, not a folder");
  // A link to target, a folder or a file (never the target is taken away).
  void link(const std::wstring& path, const std::wstring& target);
  // A folder that must be there; removed afterwards only if made here.
  void need(const std::wstring& folder);
  // Leaves everything in place, to be looked at after a failure.
  void keep();

 private:
  void own(const std::wstring& path);

  // Destroyed last to first: entries before the folders that hold them.
  std::vector<std::unique_ptr<ScopedPath>> needed_;
  std::vector<std::unique_ptr<ScopedPath>> owned_;
  std::vector<std::unique_ptr<ScopedKey>> keys_;
};

// One thing an installation can leave: a section ("driver store",
// "InstallShield entry", "uninstall key", "program folder"), its full name,
// and a detail (a file's Provider or Company line, a key's DisplayName).
struct Item {
  std::string section;
  std::wstring name;
  std::string detail;
};

// Everything tarvex could touch, as Windows sees it: the driver store's oem
// files, the InstallShield data, the program folders (and the test
// packages' folder) with their trees, and the uninstall keys; the details
// only if asked for.
std::vector<Item> inventory(bool details = true);

// The inventory's names, in lower case.
std::set<std::wstring> snapshot();

// Takes away what a crashed run may have left of an installation.
void wipe_installation();

// What a run of a program did to the machine: its exit code and output, the
// lines pnputil was given, and the names of the snapshot (lower case) that
// went or came. A test compares it whole with what it expects, so anything
// else that changed shows too.
struct Changes {
  unsigned long exit_code = 0;
  std::string output;
  std::vector<std::string> pnputil;
  std::set<std::wstring> gone;
  std::set<std::wstring> added;
};
bool operator==(const Changes& a, const Changes& b);
void PrintTo(const Changes& changes, std::ostream* out);

// Runs program (no arguments; extra_environment as for run_program) on the
// machine as it is, and reports what changed.
Changes changes_by(const std::wstring& program,
                   const std::vector<std::wstring>& extra_environment = {});

// The snapshot's names of what Installation lays out: an INF with its .pnf,
// an entry's two uninstall keys, a program folder's tree (or the empty
// folder); and the names of several of them together.
std::set<std::wstring> inf_names(const std::wstring& name);
std::set<std::wstring> key_names(const std::wstring& entry);
std::set<std::wstring> folder_names(const std::wstring& path,
                                    bool empty = false);
std::set<std::wstring> names(
    std::initializer_list<std::set<std::wstring>> parts);

}  // namespace testsupport

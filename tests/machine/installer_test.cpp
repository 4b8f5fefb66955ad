// installer.exe, built, run in a package folder of the Wine prefix: it hands
// a real MSI to Windows Installer (Wine's own msiexec), which installs it.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "installation.h"
#include "machine.h"
#include "programs.h"
#include "text.h"

namespace {

using namespace testsupport;

struct TestPackage {
  const wchar_t* file;          // as built by the fixture
  const wchar_t* product_code;  // its uninstall key under Uninstall\.
  const wchar_t* payload;       // what lands once it is installed
};

const TestPackage kQuietPackage = {
    L"Quiet Driver Package.msi", L"{6B1D0C58-3E1A-4C55-9D39-6A3C1F0A1001}",
    L"c:\\Program Files\\Driver Tools Tests\\Quiet Test Package\\payload.txt"};
const TestPackage kVisiblePackage = {
    L"Visible Driver Package.msi", L"{6B1D0C58-3E1A-4C55-9D39-6A3C1F0A1002}",
    L"c:\\Program Files\\Driver Tools Tests\\Visible Test "
    L"Package\\payload.txt"};

const wchar_t kUninstallKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const DWORD kInstallTimeoutMs = 90000;

// The msiexec processes the run's installer started, still running.
std::vector<KernelHandle> msiexec_started(const RunResult& run) {
  return children_of(run.process_id, L"msiexec.exe");
}

// installer does not wait for msiexec: the test does, for the msiexec that
// this run's installer started (never the Windows Installer service's own
// process of that name) to end, with the package registered.
bool wait_for_install(const TestPackage& package, const RunResult& run) {
  const std::vector<KernelHandle> started = msiexec_started(run);
  return eventually(
      [&] {
        for (const KernelHandle& msiexec : started) {
          if (!is_signalled(msiexec.get())) return false;
        }
        return path_exists(package.payload) &&
               key_exists(kUninstallKey + std::wstring(package.product_code));
      },
      kInstallTimeoutMs);
}

// Takes the package off the machine again, whatever the test did.
class InstalledPackage {
 public:
  explicit InstalledPackage(const TestPackage& package) : package_(package) {
    uninstall();
  }
  ~InstalledPackage() { uninstall(); }

 private:
  // run_program waits for the msiexec it starts, and each row has waited
  // for the one its installer started.
  void uninstall() {
    run_program(system_folder() + L"\\msiexec.exe",
                L"/x " + std::wstring(package_.product_code) + L" /qn");
  }
  const TestPackage& package_;
};

// Which installer.exe a row runs: as built without a key (plain), that build
// signed with the tests' vendor key, or built for that key (keyed, and not
// signed: the key it was built for is all that counts).
enum class Build { kPlain, kSignedPlain, kKeyed };

// What happens to the package folder or to installer.exe around the run: a
// package signed with another key, of another product, renamed over a.msi
// (from Windows, so sharing holds) once installer has ended, or retried
// from the moment a.msi is held until it goes through; or installer.exe
// renamed away before it starts, and the plain build put at its path.
enum class Swap { kNone, kAfterExit, kRetried, kOwnFile };

// Renames from over to until it goes through (two minutes at the most),
// starting once to is held against renames: an attacker who can write the
// package's folder and waits for the hold to go. Returns the refused tries.
int rename_once_let_go(const std::wstring& from, const std::wstring& to) {
  eventually(
      [&] {
        FileHandle probe(
            CreateFileW(to.c_str(), DELETE,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, 0, nullptr));
        return !probe.valid() && GetLastError() == ERROR_SHARING_VIOLATION;
      },
      30000);
  int refused = 0;
  eventually(
      [&] {
        if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING))
          return true;
        ++refused;
        return false;
      },
      kInstallTimeoutMs);
  return refused;
}

// installer.exe copied into a package folder with files (each copied from
// the test MSIs' or the signed files' folder, or linked to it) and run: the
// first *.msi goes over, quietly with a single /S and otherwise echoed, and
// installs; one built for a key hands over only a package that is a plain
// file, signed with that key, whose signature verifies, and says which file
// and why not otherwise, and what it checked is what Windows Installer
// installs whatever is renamed meanwhile; a name holding a double quote
// (Wine allows one) is refused by any installer.exe; with no MSI (a .msix is
// found through its 8.3 short name, DRIVER~1.MSI) it says the search
// failed. Every refusal exits 1 and starts nothing.
TEST(Installer, HandsOverThePackageItMayAndSaysWhyNotOtherwise) {
  const std::wstring m = msi_folder(), s = signed_folder();
  if (!path_exists(m + kQuietPackage.file) ||
      !path_exists(s + L"installer.exe") || !path_exists(keyed_installer()))
    GTEST_SKIP() << "needs the test MSIs, the signed files the Wine fixture "
                    "makes and the keyed build";
  const std::wstring q = m + kQuietPackage.file, v = m + kVisiblePackage.file;
  const std::wstring built = program_path(L"installer.exe");
  const char* const kEcho = "\r\n/i \"Visible Driver Package.msi\"\r\n";
  const char* const kOtherKey =
      "Not handed over: a.msi: it is not signed with the key installer.exe "
      "was built for\r\n";
  const char* const kUnsigned =
      "Not handed over: a.msi: it carries no signature\r\n";
  const char* const kUnknownForm =
      "Not handed over: a.msi: it is not a file whose signature can be "
      "checked\r\n";
  const char* const kNotIntact =
      "Not handed over: a.msi: its content is not what was signed\r\n";
  const char* const kLink =
      "Not handed over: a.msi: it is a link or a folder, not a file\r\n";
  const char* const kQuote =
      "Not handed over: a\" x.msi: its name holds a double quote\r\n";
  const char* const kNoMsi = "FindFirstFile failed (2)\r\n";
  struct Row {
    Build build;
    const wchar_t* arguments;
    std::vector<std::pair<std::wstring, std::wstring>> files;  // as, from
    const char* output;
    const TestPackage* installs = nullptr;  // exit code 0; else 1
    const wchar_t* renamed = nullptr;       // a.msi's name, given from Unix
    Swap swap = Swap::kNone;
    bool linked = false;  // the files are links to where they come from
  };
  const Row rows[] = {
      {Build::kPlain, L"/S", {{kQuietPackage.file, q}}, "", &kQuietPackage},
      {Build::kPlain,
       L"/q",
       {{kVisiblePackage.file, v}},
       kEcho,
       &kVisiblePackage},
      {Build::kSignedPlain,
       L"/S",
       {{L"a.msi", s + L"other-key.msi"}},
       "",
       &kQuietPackage},
      {Build::kKeyed,
       L"/S",
       {{L"a.msi", s + L"same-key.msi"}},
       "",
       &kQuietPackage},
      {Build::kKeyed, L"/S", {{L"a.msi", s + L"other-key.msi"}}, kOtherKey},
      {Build::kKeyed, L"/S", {{L"a.msi", s + L"unsigned.msi"}}, kUnsigned},
      {Build::kKeyed, L"/S", {{L"a.msi", s + L"junk.msi"}}, kUnknownForm},
      // The vendor's signature of the quiet package on the visible one: Wine
      // never checks an MSI's content against its signature.
      {Build::kKeyed,
       L"/S",
       {{L"a.msi", s + L"tampered.msi"}},
       running_under_wine() ? "" : kNotIntact,
       running_under_wine() ? &kVisiblePackage : nullptr},
      {Build::kKeyed,
       L"/S",
       {{L"a.msi", s + L"unsigned.msi"}, {L"b.msi", s + L"same-key.msi"}},
       kUnsigned},
      {Build::kKeyed,
       L"/S",
       {{L"a.msi", s + L"same-key.msi"}},
       "",
       &kQuietPackage,
       nullptr,
       Swap::kAfterExit},
      {Build::kKeyed,
       L"/S",
       {{L"a.msi", s + L"same-key.msi"}},
       "",
       &kQuietPackage,
       nullptr,
       Swap::kRetried},
      {Build::kKeyed,
       L"/S",
       {{L"a.msi", s + L"other-key.msi"}},
       kOtherKey,
       nullptr,
       nullptr,
       Swap::kOwnFile},
      {Build::kKeyed,
       L"/S",
       {{L"a.msi", s + L"same-key.msi"}},
       kLink,
       nullptr,
       nullptr,
       Swap::kNone,
       true},
      {Build::kPlain,
       L"/S",
       {{L"a.msi", s + L"unsigned.msi"}},
       kQuote,
       nullptr,
       L"a\" x.msi"},
      {Build::kPlain, L"/S", {}, kNoMsi},
      {Build::kPlain, L"", {}, kNoMsi},
      {Build::kPlain,
       L"/S",
       {{L"Driver Package.msix", s + L"junk.msi"}},
       kNoMsi},
      {Build::kPlain,
       L"",
       {{L"Driver Package.msix", s + L"junk.msi"}},
       kNoMsi}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.files.empty() ? "no file" : utf8(row.files[0].second));
    InstalledPackage cleanup(row.installs ? *row.installs : kQuietPackage);
    const bool swaps =
        row.swap == Swap::kAfterExit || row.swap == Swap::kRetried;
    // What a swap would have installed instead.
    std::optional<InstalledPackage> other;
    if (swaps) other.emplace(kVisiblePackage);
    ScratchFolder folder(L"driver package");
    const std::wstring installer = folder.path() + L"\\installer.exe";
    const std::wstring builds[] = {built, s + L"installer.exe",
                                   keyed_installer()};
    ASSERT_TRUE(CopyFileW(builds[static_cast<int>(row.build)].c_str(),
                          installer.c_str(), FALSE));
    for (const auto& [as, from] : row.files) {
      const std::wstring to = folder.path() + L"\\" + as;
      if (row.linked) {
        make_link(to, from);
      } else {
        ASSERT_TRUE(CopyFileW(from.c_str(), to.c_str(), FALSE));
      }
    }
    const std::wstring package = folder.path() + L"\\a.msi";
    const std::wstring swapped = folder.path() + L"\\other.tmp";
    if (swaps) {
      ASSERT_TRUE(CopyFileW((s + L"other-key-other-product.msi").c_str(),
                            swapped.c_str(), FALSE));
    }
    // A name with a double quote (Windows forbids one, only Wine can show
    // one) is given from the Unix side, and taken back so the folder can go.
    if (row.renamed && !rename_in_unix(folder.path(), L"a.msi", row.renamed))
      continue;
    std::thread retrying;
    if (row.swap == Swap::kRetried)
      retrying = std::thread([&] { rename_once_let_go(swapped, package); });
    std::function<void()> meanwhile;
    if (row.swap == Swap::kOwnFile) {
      meanwhile = [&] {
        ASSERT_TRUE(
            MoveFileW(installer.c_str(), (installer + L".old").c_str()));
        ASSERT_TRUE(CopyFileW(built.c_str(), installer.c_str(), FALSE));
      };
    }
    RunResult run =
        run_program(installer, row.arguments, folder.path(), {}, meanwhile);
    if (row.swap == Swap::kAfterExit)
      MoveFileExW(swapped.c_str(), package.c_str(), MOVEFILE_REPLACE_EXISTING);
    if (row.renamed) rename_in_unix(folder.path(), row.renamed, L"a.msi");
    EXPECT_EQ(run.output, row.output);
    EXPECT_EQ(run.exit_code, row.installs ? 0u : 1u);
    EXPECT_TRUE(row.installs ? wait_for_install(*row.installs, run)
                             : msiexec_started(run).empty());
    if (retrying.joinable()) retrying.join();
    if (swaps) {
      EXPECT_FALSE(key_exists(kUninstallKey +
                              std::wstring(kVisiblePackage.product_code)));
    }
  }
}

// Libraries planted beside an elevated program under names the loader and
// the shell look up by name never run in it, and the launch still happens:
// installer.exe copied into a package folder with its MSI, tarvex.exe into a
// folder of its own with a vendor INF in the driver store. The names: those
// the Windows loader and shell are known to look up, most of them not
// KnownDLLs; and three that are (imm32, shlwapi, gdi32), which ran inside
// the programs under Wine, where no name is a KnownDLL, before the programs
// restricted the library search.
class PlantedLibraries : public NeedsPnputilStandIn {};
const char kLookedUpByName[] =
    "cryptbase,version,propsys,windows.storage,edputil,sspicli,wininet,"
    "profapi,userenv,uxtheme,dwmapi,shcore,apphelp,imm32,shlwapi,gdi32";

TEST_F(PlantedLibraries, NeverRunInsideAnElevatedProgramAndTheLaunchHappens) {
  if (!path_exists(msi_folder() + kQuietPackage.file))
    GTEST_SKIP() << "needs the test MSIs the Wine fixture builds with wixl";
  ASSERT_TRUE(planted_libraries_preferred(widened(kLookedUpByName)))
      << "run under ctest, which sets WINEDLLOVERRIDES for this suite";
  struct Row {
    const wchar_t* program;
    const wchar_t* arguments;
  };
  const Row rows[] = {{L"installer.exe", L"/S"}, {L"tarvex.exe", L""}};
  for (const Row& row : rows) {
    SCOPED_TRACE(utf8(row.program));
    clear_planted_library_loads();
    InstalledPackage cleanup(kQuietPackage);
    Installation machine;
    machine.inf(L"oem940.inf", "[Version]\r\nProvider=DevedoZudi\r\n");
    ScratchFolder folder(L"planted libraries");
    ASSERT_TRUE(CopyFileW((msi_folder() + kQuietPackage.file).c_str(),
                          (folder.path() + L"\\" + kQuietPackage.file).c_str(),
                          FALSE));
    ASSERT_TRUE(CopyFileW(program_path(row.program).c_str(),
                          (folder.path() + L"\\" + row.program).c_str(),
                          FALSE));
    for (const std::string& name :
         split(kLookedUpByName + std::string(","), ",")) {
      ASSERT_TRUE(
          plant_library(folder.path() + L"\\" + widened(name) + L".dll"));
    }

    RunResult run = run_program(folder.path() + L"\\" + row.program,
                                row.arguments, folder.path());
    EXPECT_EQ(run.exit_code, 0u);
    if (row.program == std::wstring(L"installer.exe")) {
      EXPECT_TRUE(wait_for_install(kQuietPackage, run));
    } else {
      EXPECT_EQ(pnputil_calls(),
                std::vector<std::string>{
                    "/delete-driver c:\\Windows\\INF\\oem940.inf /uninstall "
                    "/force"});
    }
    EXPECT_EQ(planted_library_loads(), std::vector<std::string>{});
  }
  clear_planted_library_loads();
}

}  // namespace

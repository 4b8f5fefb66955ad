// installer.exe, built, run in a package folder of the Wine prefix: it hands
// a real MSI to Windows Installer (Wine's own msiexec), which installs it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
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

bool msiexec_running() { return is_running(L"msiexec.exe"); }

// installer does not wait for msiexec: the test does, until the package is
// registered and Windows Installer has finished.
bool wait_for_install(const TestPackage& package) {
  return eventually(
      [&] {
        return path_exists(package.payload) &&
               key_exists(kUninstallKey + std::wstring(package.product_code)) &&
               !msiexec_running();
      },
      kInstallTimeoutMs);
}

std::wstring msiexec_path() { return system_folder() + L"\\msiexec.exe"; }

// Takes the package off the machine again, whatever the test did.
class InstalledPackage {
 public:
  explicit InstalledPackage(const TestPackage& package) : package_(package) {
    uninstall();
  }
  ~InstalledPackage() { uninstall(); }

 private:
  void uninstall() {
    eventually([] { return !msiexec_running(); }, kInstallTimeoutMs);
    run_program(msiexec_path(),
                L"/x " + std::wstring(package_.product_code) + L" /qn");
  }
  const TestPackage& package_;
};

// A copy of the built MSI in a package folder (each has a blank in its name).
bool put_package(const ScratchFolder& folder, const TestPackage& package) {
  return CopyFileW((msi_folder() + package.file).c_str(),
                   (folder.path() + L"\\" + package.file).c_str(), FALSE);
}

// Quiet mode prints nothing; a lone /q is not the quiet switch, so that run
// is visible and echoes the line exactly. Both install the package.
TEST(Installer, HandsTheMsiOverQuietlyOrVisiblyAndItInstalls) {
  if (!path_exists(msi_folder() + kQuietPackage.file))
    GTEST_SKIP() << "needs the test MSIs the Wine fixture builds with wixl";
  struct Row {
    const TestPackage& package;
    const wchar_t* arguments;
    const char* output;
  };
  const Row rows[] = {
      {kQuietPackage, L"/S", ""},
      {kVisiblePackage, L"/q", "\r\n/i \"Visible Driver Package.msi\"\r\n"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.output);
    InstalledPackage cleanup(row.package);
    ScratchFolder folder(L"driver package");
    ASSERT_TRUE(put_package(folder, row.package));
    RunResult run = run_program(program_path(L"installer.exe"), row.arguments,
                                folder.path());
    EXPECT_EQ(run.exit_code, 0u);
    EXPECT_EQ(run.output, row.output);
    EXPECT_TRUE(wait_for_install(row.package));
  }
}

// A signed installer.exe hands over the first *.msi only if it is signed
// with installer.exe's own key and its signature verifies; otherwise it
// says which file and why, exits 1 and starts nothing. A name holding a
// double quote (Wine allows one) is refused by any installer.exe.
TEST(Installer, SignedInstallerHandsOverOnlyAPackageSignedWithItsOwnKey) {
  if (!path_exists(signed_folder() + L"installer.exe"))
    GTEST_SKIP() << "needs the signed files the Wine fixture makes";
  struct Row {
    bool signed_installer;
    std::vector<std::pair<const wchar_t*, const wchar_t*>> files;  // as, from
    const char* output;  // and exit code 1; none: handed over
  };
  const char* const kOtherKey =
      "Not handed over: a.msi: it is not signed with the key installer.exe is "
      "signed with\r\n";
  const char* const kUnsigned =
      "Not handed over: a.msi: it carries no signature\r\n";
  const Row rows[] = {
      {true, {{L"a.msi", L"same-key.msi"}}, nullptr},
      {true, {{L"a.msi", L"other-key.msi"}}, kOtherKey},
      {true, {{L"a.msi", L"unsigned.msi"}}, kUnsigned},
      {true, {{L"a.msi", L"junk.msi"}}, kUnsigned},
      {true,
       {{L"a.msi", L"unsigned.msi"}, {L"b.msi", L"same-key.msi"}},
       kUnsigned},
      {false,
       {{L"a.msi", L"unsigned.msi"}},
       "Not handed over: a\" x.msi: its name holds a double quote\r\n"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(utf8(row.files[0].second));
    InstalledPackage cleanup(kQuietPackage);
    ScratchFolder folder(L"signed package");
    const std::wstring installer = folder.path() + L"\\installer.exe";
    ASSERT_TRUE(
        CopyFileW((row.signed_installer ? signed_folder() + L"installer.exe"
                                        : program_path(L"installer.exe"))
                      .c_str(),
                  installer.c_str(), FALSE));
    for (const auto& [as, from] : row.files) {
      ASSERT_TRUE(CopyFileW((signed_folder() + from).c_str(),
                            (folder.path() + L"\\" + as).c_str(), FALSE));
    }
    // Named with a double quote from the Unix side: Windows forbids one.
    if (!row.signed_installer &&
        !rename_in_unix(folder.path(), L"a.msi", L"a\" x.msi"))
      continue;
    RunResult run = run_program(installer, L"/S", folder.path());
    // Back to a name the scratch folder's removal can delete.
    if (!row.signed_installer)
      rename_in_unix(folder.path(), L"a\" x.msi", L"a.msi");
    EXPECT_EQ(run.output, row.output == nullptr ? "" : row.output);
    EXPECT_EQ(run.exit_code, row.output == nullptr ? 0u : 1u);
    if (row.output == nullptr) {
      EXPECT_TRUE(wait_for_install(kQuietPackage));
    } else {
      EXPECT_FALSE(msiexec_running());
    }
  }
}

TEST(Installer, NoMsiFilePrintsTheSearchErrorAndExits1) {
  ScratchFolder empty(L"driver package empty");
  // *.msi finds x.msix through its 8.3 short name (X~1.MSI): not an MSI.
  ScratchFolder msix_only(L"driver package msix");
  write_file(msix_only.path() + L"\\Driver Package.msix", "not a package");
  for (const ScratchFolder* folder : {&empty, &msix_only}) {
    for (const wchar_t* arguments : {L"/S", L""}) {
      RunResult run = run_program(program_path(L"installer.exe"), arguments,
                                  folder->path());
      EXPECT_EQ(run.exit_code, 1u);
      EXPECT_EQ(run.output, "FindFirstFile failed (2)\r\n");
    }
  }
}

// Libraries planted beside an elevated program under names the loader and
// the shell look up by name never run in it, and the launch still happens:
// installer.exe copied into a package folder with its MSI, tarvex.exe into a
// folder of its own with a vendor INF in the driver store.
class PlantedLibraries : public NeedsPnputilStandIn {};

TEST_F(PlantedLibraries, NeverRunInsideAnElevatedProgramAndTheLaunchHappens) {
  if (!path_exists(msi_folder() + kQuietPackage.file))
    GTEST_SKIP() << "needs the test MSIs the Wine fixture builds with wixl";
  const wchar_t* const planted[] = {L"version", L"shcore", L"imm32"};
  ASSERT_TRUE(planted_libraries_preferred(L"version,shcore,imm32"))
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
    ASSERT_TRUE(put_package(folder, kQuietPackage));
    ASSERT_TRUE(CopyFileW(program_path(row.program).c_str(),
                          (folder.path() + L"\\" + row.program).c_str(),
                          FALSE));
    for (const wchar_t* name : planted) {
      ASSERT_TRUE(plant_library(folder.path() + L"\\" + name + L".dll"));
    }

    RunResult run = run_program(folder.path() + L"\\" + row.program,
                                row.arguments, folder.path());
    EXPECT_EQ(run.exit_code, 0u);
    if (row.program == std::wstring(L"installer.exe")) {
      EXPECT_TRUE(wait_for_install(kQuietPackage));
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

// Run with WINEDLLOVERRIDES=msiexec.exe=n (set by ctest for this suite alone):
// Wine then runs any native msiexec.exe the shell finds, as Windows would,
// instead of preferring its builtin one. A planted msiexec.exe in the
// package folder must still never run.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "machine.h"
#include "programs.h"

namespace {

using namespace testsupport;

TEST(Installer, MsiexecPlantedInThePackageFolderIsNotRun) {
  PnputilLog log;
  ScratchFolder folder(L"driver package planted");
  write_file(folder.path() + L"\\Planted Check.msi", "not a real package");
  // The planted file is the pnputil stand-in: if it ran, it would log.
  ASSERT_TRUE(plant_standin(folder.path() + L"\\msiexec.exe"));

  // Under this override Wine cannot load its own msiexec from the system
  // folder as a native file, so the launch itself may fail there; what
  // matters is which file was started.
  run_program(program_path(L"installer.exe"), L"/S", folder.path());
  EXPECT_TRUE(pnputil_stays_unasked(1500));
}

}  // namespace

// Random package folders for installer, against the model; and a planted
// msiexec that must never run. For this suite ctest sets
// WINEDLLOVERRIDES=msiexec.exe=n and the test puts the stand-in in place of
// system32's msiexec.exe, so the exact msiexec line is logged.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "machine.h"
#include "model.h"
#include "programs.h"
#include "random_settings.h"
#include "text.h"

namespace {

using namespace testsupport;

using randomized::Dice;

const unsigned long kMsiexecStartMilliseconds = 30000;

// The stand-in takes msiexec's place in the system folder too.
class RandomPackageFolders : public NeedsPnputilStandIn {};

// The stand-in in place of msiexec.exe for the test's duration.
class MsiexecStandIn {
 public:
  MsiexecStandIn()
      : msiexec_(system_folder() + L"\\msiexec.exe"),
        saved_(system_folder() + L"\\msiexec.exe.saved") {
    // A saved copy left by a run that was stopped is the original.
    CopyFileW(msiexec_.c_str(), saved_.c_str(), TRUE);
    plant_standin(msiexec_);
  }
  // The last stand-in started may still run, and its file cannot be
  // replaced until it ends.
  ~MsiexecStandIn() {
    if (eventually(
            [&] { return CopyFileW(saved_.c_str(), msiexec_.c_str(), FALSE); },
            30000))
      DeleteFileW(saved_.c_str());
  }

 private:
  std::wstring msiexec_;
  std::wstring saved_;
};

std::wstring random_name(Dice& dice, size_t length) {
  static const wchar_t kChars[] =
      L"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 "
      L"-_()\xe9\x0142\x20ac";
  std::wstring name;
  while (name.size() < length) name += kChars[dice.below(wcslen(kChars))];
  // Windows drops trailing blanks from names.
  if (name.back() == L' ') name.back() = L'x';
  return name;
}

// One entry of a package folder, with a name as long as a path can hold (so
// the 239/250 limits are reached), but within the 255 bytes of UTF-8 that
// the Linux file system under Wine keeps a name in.
void random_entry(Dice& dice, const std::wstring& folder) {
  static const wchar_t* const kTails[] = {L".msi", L".MSI", L".msi", L".txt",
                                          L".msix"};  // .msix: X~1.MSI
  const wchar_t* tail = dice.pick(kTails);
  std::wstring name =
      random_name(dice, 1 + dice.below(static_cast<int>(254 - folder.size())));
  while (name.size() > 1 && (utf8(name + tail).size() > 255 ||
                             folder.size() + name.size() + wcslen(tail) > 258))
    name.pop_back();
  if (dice.chance(0.2)) {
    make_folders(folder + name + L".msi");  // a folder named .msi
  } else {
    write_file(folder + name + tail, "package");
  }
}

// The first entry Windows lists whose long name ends in ".msi".
std::wstring first_msi(const std::wstring& folder) {
  for (const std::wstring& name : listed(folder + L"*")) {
    if (name.size() >= 4 && lower(name.substr(name.size() - 4)) == L".msi")
      return name;
  }
  return L"";
}

TEST_F(RandomPackageFolders, InstallerHandsOverWhatTheModelSays) {
  MsiexecStandIn stand_in;
  const unsigned seed = randomized::seed();
  const int count = randomized::machines(300) / 3;
  Dice dice(seed);
  static const char* const kArguments[] = {"",   "/s",    "/S", "/q",  "/s x",
                                           "-s", "/S /S", "s",  "/s/s"};
  int launched = 0, refused = 0, empty = 0;
  for (int m = 0; m < count && !HasFailure(); ++m) {
    const std::string where = "seed " + std::to_string(seed) +
                              ", package folder " + std::to_string(m);
    // A drive's root already ends in a backslash.
    const bool at_root = dice.chance(0.2);
    const std::wstring folder =
        at_root
            ? L"r:\\"
            : L"c:\\tarvex-tests\\pkg " + random_name(dice, 1 + dice.below(40));
    const std::wstring prefix = at_root ? folder : folder + L"\\";
    for (const std::wstring& name : listed(prefix + L"*"))
      remove_tree(prefix + name);
    make_folders(folder);
    for (int f = dice.below(5); f > 0; --f) random_entry(dice, prefix);
    const std::string arguments = dice.pick(kArguments);
    const std::vector<std::string> argv = arguments.empty()
                                              ? std::vector<std::string>{}
                                              : split(arguments + " ", " ");

    const std::wstring msi = first_msi(prefix);
    const bool quiet = model::quiet(argv);
    const std::wstring line = model::msiexec_line(msi, quiet);
    // The exit code, the output and the msiexec lines the model expects.
    using Outcome =
        std::tuple<unsigned long, std::string, std::vector<std::string>>;
    Outcome expected{1, "FindFirstFile failed (2)\r\n", {}};
    if (!msi.empty() && line.size() > 255) {
      ++refused;
      expected = Outcome{
          1,
          "The MSI file name is too long for the msiexec command line\r\n",
          {}};
    } else if (!msi.empty()) {
      ++launched;
      expected = Outcome{0, quiet ? "" : model::echo(line), {utf8(line)}};
    }
    empty += msi.empty() ? 1 : 0;
    clear_pnputil_calls();
    RunResult run =
        run_program(program_path(L"installer.exe"), widened(arguments), folder);
    // installer does not wait for msiexec, which on a busy machine may take
    // a while to start.
    EXPECT_TRUE(std::get<2>(expected).empty() ||
                eventually([] { return !pnputil_calls().empty(); },
                           kMsiexecStartMilliseconds))
        << where;
    EXPECT_EQ(Outcome(run.exit_code, run.output, pnputil_calls()), expected)
        << where;
    if (!at_root) remove_tree(folder);
  }
  clear_pnputil_calls();
  std::printf(
      "%d package folders (seed %u): %d handed over, %d names refused "
      "as too long, %d without an MSI\n",
      count, seed, launched, refused, empty);
}

// Under this suite's WINEDLLOVERRIDES=msiexec.exe=n Wine runs any native
// msiexec.exe the shell finds, as Windows would, instead of preferring its
// builtin one. A planted msiexec.exe in the package folder must still never
// run.
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

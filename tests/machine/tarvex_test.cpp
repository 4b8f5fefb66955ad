// tarvex.exe, built, run on machines that each test lays out in the Wine
// prefix: driver-store INFs, InstallShield entries, uninstall keys (64-bit
// view) and program folders. Everything a test lays out is put back.
#include <gtest/gtest.h>
#include <windows.h>
// tlhelp32.h needs windows.h first.
#include <tlhelp32.h>

#include <string>
#include <vector>

#include "installation.h"
#include "programs.h"
#include "text.h"

namespace {

using namespace testsupport;

class Tarvex : public NeedsPnputilStandIn {};

const char kMakerInf[] =
    "[Version]\r\nSignature=\"$Windows NT$\"\r\nProvider=DevedoZudi\r\n";
const char kEarlierInf[] =
    "[Version]\r\nSignature=\"$Windows NT$\"\r\n; Nelvora KR516\r\n";
const char kUnrelatedInf[] =
    "[Version]\r\nSignature=\"$Windows NT$\"\r\nProvider=Contoso\r\n";
const char kMakerSetupIni[] = "[Startup]\r\nCompany=DevedoZudi\r\n";
const char kEarlierSetupIni[] = "[Startup]\r\nCompany=Nelvora\r\n";
const char kOtherSetupIni[] = "[Startup]\r\nCompany=Contoso\r\n";

std::string delete_line(const std::string& inf) {
  return "/delete-driver c:\\Windows\\INF\\" + inf + " /uninstall /force";
}

RunResult run_tarvex(const std::vector<std::wstring>& environment = {}) {
  return run_program(program_path(L"tarvex.exe"), L"", L"", environment);
}

// Which of an entry's two uninstall keys are left.
std::string keys_left(const std::wstring& entry) {
  const bool first = key_exists(kFirstKeyPrefix + entry);
  const bool second = key_exists(kSecondKeyPrefix + entry);
  return first && second ? "both"
         : first         ? "first"
         : second        ? "second"
                         : "none";
}

// Files in a candidate tree that rmdir takes a while to remove.
const int kSlowTreeFiles = 1500;

const std::wstring kProductA = L"{A1B2C3D4-0000-4000-8000-00000000000A}";
const std::wstring kProductB = L"{B1B2C3D4-0000-4000-8000-00000000000B}";

TEST_F(Tarvex, WholeRoadRemovesPackageKeysAndFolderAndNothingElse) {
  Installation machine;
  machine.inf(L"oem900.inf", kUnrelatedInf);
  machine.inf(L"oem901.inf", kMakerInf);
  machine.product(kProductA, kOtherSetupIni);
  machine.product(kProductB, kEarlierSetupIni);
  machine.both_keys(kProductA);
  machine.both_keys(kProductB);
  machine.program_folder(kMakerFolder + L"\\ZR420");
  machine.program_folder(kEarlierFolder);
  machine.file(kMakerFolder + L"\\readme.txt");

  RunResult run = run_tarvex();
  EXPECT_EQ(run.exit_code, 0u);
  EXPECT_EQ(run.output, "");
  EXPECT_EQ(pnputil_calls(),
            std::vector<std::string>{delete_line("oem901.inf")});
  EXPECT_FALSE(path_exists(kInfFolder + L"oem901.inf"));
  EXPECT_TRUE(path_exists(kInfFolder + L"oem900.inf"));

  EXPECT_EQ(keys_left(kProductB), "none");
  EXPECT_EQ(keys_left(kProductA), "both");
  EXPECT_TRUE(path_exists(kInstallShield + L"\\" + kProductB + L"\\setup.ini"));

  EXPECT_FALSE(path_exists(kMakerFolder + L"\\ZR420"));
  EXPECT_TRUE(path_exists(kMakerFolder + L"\\readme.txt"));
  EXPECT_TRUE(is_directory(kEarlierFolder));

  // A second run finds the registration gone: no folder goes this time.
  RunResult again = run_tarvex();
  EXPECT_EQ(again.exit_code, 0u);
  EXPECT_TRUE(is_directory(kEarlierFolder));
  EXPECT_EQ(pnputil_calls().size(), 1u);
}

TEST_F(Tarvex, OneVendorInfPurgedPerRunInNameOrder) {
  Installation machine;
  machine.inf(L"oem902.inf", kEarlierInf);
  machine.inf(L"oem903.inf", kUnrelatedInf);
  machine.inf(L"oem905.inf", std::string(kMakerInf) + "; Nelvora too\r\n");

  run_tarvex();
  EXPECT_EQ(pnputil_calls(),
            std::vector<std::string>{delete_line("oem902.inf")});
  run_tarvex();
  EXPECT_EQ(pnputil_calls(),
            (std::vector<std::string>{delete_line("oem902.inf"),
                                      delete_line("oem905.inf")}));
  run_tarvex();
  EXPECT_EQ(pnputil_calls().size(), 2u);
  EXPECT_TRUE(path_exists(kInfFolder + L"oem903.inf"));
}

TEST_F(Tarvex, InfsThatOnlySeemToNameAVendorAreLeftAlone) {
  Installation machine;
  // Lower case, UTF-16, behind a Ctrl-Z, split across two pieces.
  machine.inf(L"oem910.inf", "Provider=devedozudi\r\n");
  std::string utf16;
  for (char c : std::string("Provider=DevedoZudi\r\n")) {
    utf16 += c;
    utf16 += '\0';
  }
  machine.inf(L"oem911.inf", "\xff\xfe" + utf16);
  machine.inf(L"oem912.inf", "[Version]\r\n\x1a\r\nProvider=DevedoZudi\r\n");
  machine.inf(L"oem913.inf", std::string(250, ';') + "DevedoZudi\r\n");

  EXPECT_EQ(run_tarvex().exit_code, 0u);
  EXPECT_TRUE(pnputil_calls().empty());
}

// Found names whose forms differ: the wide name found, the narrow name that
// is opened through the ANSI code page, the line pnputil splits at blanks.
// Each is skipped and the search goes on to the real target, oem939.inf,
// which lists after them.
TEST_F(Tarvex, HostileInfNamesAreSkippedAndTheSearchGoesOn) {
  struct Row {
    const wchar_t* found;  // names a vendor
    const wchar_t* other;  // what another form of its name reaches
    const char* other_text;
    bool latin1 = false;  // used where code page 1252 reads it back
  };
  const Row rows[] = {
      // No narrow form at all.
      {L"oem930\x0142.inf", nullptr, nullptr},
      // 0x80 opens as oem930€.inf on code page 1252 (and as another letter
      // on others); pnputil would be sent to the one found.
      {L"oem930\x0080.inf", L"oem930\x20ac.inf", kMakerInf},
      {L"oem930\x009f.inf", L"oem930\x0178.inf", kMakerInf},
      // pnputil would split at the blank and delete oem931.inf.
      {L"oem931.inf x.inf", L"oem931.inf", kUnrelatedInf},
      // Found only through its 8.3 short name, OEM932~x.INF.
      {L"oem932.infbak", nullptr, nullptr},
      // A Latin-1 letter opens as itself on code page 1252 only.
      {L"oem933\xe9.inf", nullptr, nullptr, true},
  };
  const bool latin1 = GetACP() == 1252;
  for (const Row& row : rows) {
    SCOPED_TRACE(utf8(row.found));
    Installation machine;
    machine.inf(row.found, kMakerInf);
    if (row.other != nullptr) machine.inf(row.other, row.other_text);
    machine.inf(L"oem939.inf", kEarlierInf);

    run_tarvex();
    // The stand-in logs UTF-8: what pnputil got, the found name again.
    const std::string purged =
        row.latin1 && latin1 ? utf8(row.found) : "oem939.inf";
    EXPECT_EQ(pnputil_calls(), std::vector<std::string>{delete_line(purged)});
    EXPECT_EQ(pnputil_words(),
              (std::vector<std::vector<std::string>>{
                  {"/delete-driver", "c:\\Windows\\INF\\" + purged,
                   "/uninstall", "/force"}}));
    EXPECT_EQ(path_exists(kInfFolder + row.found), !(row.latin1 && latin1));
    if (row.other != nullptr) {
      EXPECT_TRUE(path_exists(kInfFolder + row.other));
    }
  }
}

TEST_F(Tarvex, OnlyTheProductWhoseSetupIniNamesAVendorLosesItsKeys) {
  Installation machine;
  const std::wstring no_ini = L"{00000000-0000-4000-8000-000000000001}";
  machine.entry(no_ini, EntryKind::kWithoutSetupIni);  // the walk goes on
  machine.product(kProductA, kOtherSetupIni);
  machine.product(kProductB, kMakerSetupIni);
  machine.both_keys(no_ini);
  machine.both_keys(kProductA);
  machine.both_keys(kProductB);

  run_tarvex();
  EXPECT_EQ(keys_left(no_ini), "both");
  EXPECT_EQ(keys_left(kProductA), "both");
  EXPECT_EQ(keys_left(kProductB), "none");
}

// Entries whose narrow name is not their own: too long for the buffer (it
// would be cut), no narrow form (readdir hands out the 8.3 short name), or
// a byte that the ANSI code page reads back as another entry's name. None
// may have its own or another name's keys deleted; the walk goes on to the
// real target, which lists after them, and so the folder goes too.
TEST_F(Tarvex, EntriesWhoseNarrowNameIsNotTheirOwnArePassedOver) {
  Installation machine;
  const std::wstring long_name = L"{A" + std::wstring(62, L'0') + L"}";
  const std::wstring cut_name = long_name.substr(0, 59);
  const std::wstring no_narrow = L"{0\x0166 product}";
  const std::wstring byte_80 = L"{01\x0080}";
  const std::wstring euro = L"{01\x20ac}";
  machine.product(long_name, kMakerSetupIni);
  machine.product(no_narrow, kMakerSetupIni);
  machine.product(byte_80, kOtherSetupIni);
  machine.product(euro, kMakerSetupIni);
  machine.product(kProductB, kEarlierSetupIni);
  const std::vector<std::wstring> stay = {
      long_name, cut_name,
      no_narrow, short_name(kInstallShield + L"\\" + no_narrow),
      byte_80,   euro};
  for (const std::wstring& name : stay) machine.both_keys(name);
  machine.both_keys(kProductB);
  machine.program_folder(kMakerFolder + L"\\ZR420");

  run_tarvex();
  for (const std::wstring& name : stay) {
    SCOPED_TRACE(utf8(name));
    EXPECT_EQ(keys_left(name), "both");
  }
  EXPECT_EQ(keys_left(kProductB), "none");
  EXPECT_FALSE(path_exists(kMakerFolder + L"\\ZR420"));
}

TEST_F(Tarvex, FirstExistingCandidateGoesAndFilesAndLinksArePassedOver) {
  // A link to a tree outside Program Files is not a program folder. (The
  // target outlives the machine: a link whose target is gone cannot be
  // seen, and so not taken away.)
  ScratchFolder outside(L"linked candidate target");
  write_file(outside.path() + L"\\keep.txt", "not tarvex's");
  Installation machine;
  machine.product(kProductA, kMakerSetupIni);
  machine.both_keys(kProductA);
  machine.file(kMakerFolder + L"\\PX3");
  machine.link(kMakerFolder + L"\\ZR410", outside.path());
  machine.program_folder(kMakerFolder + L"\\ZR420");
  machine.program_folder(kMakerFolder + L"\\ZR430");

  run_tarvex();
  EXPECT_TRUE(path_exists(kMakerFolder + L"\\PX3"));
  EXPECT_TRUE(path_exists(kMakerFolder + L"\\ZR410"));
  EXPECT_TRUE(path_exists(outside.path() + L"\\keep.txt"));
  EXPECT_FALSE(path_exists(kMakerFolder + L"\\ZR420"));
  EXPECT_TRUE(is_directory(kMakerFolder + L"\\ZR430"));
  EXPECT_TRUE(is_directory(kMakerFolder));
}

// The maker's folder a link to a folder outside Program Files that holds
// every candidate name: nothing behind the link goes, the link stays a link,
// and the next candidate, the earlier vendor's folder, is tested and goes.
TEST_F(Tarvex, LinkedMakerFolderLeavesEverythingBehindIt) {
  ScratchFolder outside(L"linked maker folder target");
  const std::vector<std::wstring> products = {L"PX3", L"ZR410", L"ZR420",
                                              L"ZR430"};
  for (const std::wstring& product : products) {
    make_folders(outside.path() + L"\\" + product);
    write_file(outside.path() + L"\\" + product + L"\\important.txt", "mine");
  }
  Installation machine;
  machine.product(kProductA, kMakerSetupIni);
  machine.both_keys(kProductA);
  machine.link(kMakerFolder, outside.path());
  machine.program_folder(kEarlierFolder);

  run_tarvex();
  EXPECT_EQ(keys_left(kProductA), "none");
  for (const std::wstring& product : products) {
    EXPECT_TRUE(
        path_exists(outside.path() + L"\\" + product + L"\\important.txt"))
        << utf8(product);
  }
  EXPECT_TRUE(is_link(kMakerFolder));
  EXPECT_FALSE(path_exists(kEarlierFolder));
}

// The process ids of the running children of parent named name.
std::vector<DWORD> children_named(DWORD parent, const wchar_t* name) {
  std::vector<DWORD> found;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return found;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more;
       more = Process32NextW(snapshot, &entry)) {
    if (entry.th32ParentProcessID == parent &&
        _wcsicmp(entry.szExeFile, name) == 0) {
      found.push_back(entry.th32ProcessID);
    }
  }
  CloseHandle(snapshot);
  return found;
}

// From its test until the interpreter has ended, the candidate's parent is
// held: while rmdir runs (slowly, on a large tree), the maker's folder cannot
// be renamed, and so not swapped for a link, and the removal completes.
TEST_F(Tarvex, MakerFolderCannotBeRenamedWhileItsProductIsRemoved) {
  const std::wstring moved = kMakerFolder + L" moved";
  ScopedPath moved_away(moved);
  Installation machine;
  machine.product(kProductA, kMakerSetupIni);
  machine.both_keys(kProductA);
  const std::wstring candidate = kMakerFolder + L"\\ZR420";
  machine.program_folder(candidate);
  for (int i = 0; i < kSlowTreeFiles; ++i) {
    write_file(candidate + L"\\file" + std::to_wstring(i) + L".dat", "x");
  }

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  std::wstring line = L"\"" + program_path(L"tarvex.exe") + L"\"";
  ASSERT_TRUE(CreateProcessW(program_path(L"tarvex.exe").c_str(), &line[0],
                             nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &process));
  CloseHandle(process.hThread);
  std::vector<DWORD> interpreters;
  while (interpreters.empty() &&
         WaitForSingleObject(process.hProcess, 1) == WAIT_TIMEOUT) {
    interpreters = children_named(process.dwProcessId, L"cmd.exe");
  }
  ASSERT_EQ(interpreters.size(), 1u) << "tarvex started no interpreter";
  HANDLE interpreter = OpenProcess(SYNCHRONIZE, FALSE, interpreters.front());
  const BOOL renamed = MoveFileW(kMakerFolder.c_str(), moved.c_str());
  const DWORD error = GetLastError();
  const bool still_running =
      interpreter != nullptr &&
      WaitForSingleObject(interpreter, 0) == WAIT_TIMEOUT;
  if (renamed) MoveFileW(moved.c_str(), kMakerFolder.c_str());
  WaitForSingleObject(process.hProcess, INFINITE);
  CloseHandle(process.hProcess);
  if (interpreter != nullptr) CloseHandle(interpreter);

  ASSERT_TRUE(still_running) << "rmdir ended before the rename was tried";
  EXPECT_FALSE(renamed);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_FALSE(path_exists(candidate));
  EXPECT_TRUE(is_directory(kMakerFolder));
}

TEST_F(Tarvex, EarlierVendorFolderGoesWhenItIsTheOnlyCandidate) {
  Installation machine;
  machine.product(kProductA, kEarlierSetupIni);
  machine.both_keys(kProductA);
  // An empty candidate folder still opens ("." and "..") and goes.
  machine.program_folder(kEarlierFolder, true);
  run_tarvex();
  EXPECT_FALSE(path_exists(kEarlierFolder));
}

// Phase 3 runs only when phase 2 deleted a second key: not when the second
// key is absent (the first still goes), not without an InstallShield folder
// (no key goes).
TEST_F(Tarvex, NoFolderRemovedUnlessTheSecondKeyWasDeleted) {
  struct Row {
    bool base_folder;
    bool second_key;
    const char* keys_left;
  };
  const Row rows[] = {{true, false, "none"}, {false, true, "both"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.keys_left);
    Installation machine;
    ASSERT_FALSE(path_exists(kInstallShield));
    if (row.base_folder) machine.product(kProductA, kMakerSetupIni);
    machine.first_key(kProductA);
    if (row.second_key) machine.second_key(kProductA);
    machine.program_folder(kMakerFolder + L"\\ZR410");

    EXPECT_EQ(run_tarvex().exit_code, 0u);
    EXPECT_EQ(keys_left(kProductA), row.keys_left);
    EXPECT_TRUE(is_directory(kMakerFolder + L"\\ZR410"));
  }
}

TEST_F(Tarvex, NothingToDoExitsZeroAndStartsNothing) {
  Installation machine;
  RunResult run = run_tarvex();
  EXPECT_EQ(run.exit_code, 0u);
  EXPECT_EQ(run.output, "");
  EXPECT_TRUE(pnputil_stays_unasked());
}

TEST_F(Tarvex, InterpreterIsNotTakenFromComspec) {
  Installation machine;
  machine.product(kProductA, kMakerSetupIni);
  machine.both_keys(kProductA);
  machine.program_folder(kMakerFolder + L"\\ZR420");

  // COMSPEC names a copy of the stand-in, which logs "PLANTED ..." if run:
  // a variable an unelevated user can set must not choose what runs.
  ScratchFolder planted(L"tarvex planted shell");
  ASSERT_TRUE(plant_standin(planted.path() + L"\\shell.exe"));

  RunResult run = run_program(program_path(L"tarvex.exe"), L"", L"",
                              {L"COMSPEC=" + planted.path() + L"\\shell.exe"});
  EXPECT_EQ(run.exit_code, 0u);
  EXPECT_TRUE(pnputil_stays_unasked());
  EXPECT_FALSE(path_exists(kMakerFolder + L"\\ZR420"));
}

}  // namespace

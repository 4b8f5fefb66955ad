// tarvex.exe, built, run on machines that each test lays out in the Wine
// prefix: driver-store INFs, InstallShield entries, uninstall keys (64-bit
// view) and program folders. Each test compares everything the run changed
// with what it expects, so whatever else changed shows too; only what a
// machine cannot say (links, a held folder, COMSPEC) is checked by hand.
// Everything a test lays out is put back.
#include <gtest/gtest.h>
#include <windows.h>

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
const std::wstring kProductA = L"{A1B2C3D4-0000-4000-8000-00000000000A}";
const std::wstring kProductB = L"{B1B2C3D4-0000-4000-8000-00000000000B}";
const std::wstring kProgramFilesValueKey =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
// Files in a candidate tree whose removal a test watches.
const int kSlowTreeFiles = 200;

std::string delete_line(const std::string& inf) {
  return "/delete-driver c:\\Windows\\INF\\" + inf + " /uninstall /force";
}

Changes run_tarvex(const std::vector<std::wstring>& environment = {}) {
  return changes_by(program_path(L"tarvex.exe"), environment);
}

// What a run that printed nothing and exited 0 changed.
Changes changed(std::vector<std::string> pnputil,
                std::set<std::wstring> gone = {}) {
  return {0, "", std::move(pnputil), std::move(gone), {}};
}

// Only the product whose setup.ini names a vendor loses its keys: an entry
// without a setup.ini, listed first, and another company's are passed over.
// tarvex removes the tree itself: no interpreter is started, so none can be
// chosen by COMSPEC (here a copy of the stand-in, which logs "PLANTED ..."
// if run) or run AutoRun commands.
TEST_F(Tarvex, WholeRoadRemovesPackageKeysAndFolderAndNothingElse) {
  const std::wstring no_ini = L"{00000000-0000-4000-8000-000000000001}";
  Installation machine(
      {.infs = {{L"oem900.inf", kUnrelatedInf}, {L"oem901.inf", kMakerInf}},
       .products = {{kProductA, kOtherSetupIni}, {kProductB, kEarlierSetupIni}},
       .keyed = {no_ini, kProductA, kProductB},
       .folders = {kMakerFolder + L"\\ZR420", kEarlierFolder},
       .files = {kMakerFolder + L"\\readme.txt"}});
  machine.entry(no_ini, EntryKind::kWithoutSetupIni);
  // Reached through the InstallShield folder's "." and "..", which list
  // first and are no entries: keys under those names stay.
  machine.file(kInstallShield + L"\\setup.ini", kMakerSetupIni);
  machine.file(L"c:\\Program Files (x86)\\setup.ini", kMakerSetupIni);
  for (const wchar_t* dots : {L".", L".."}) machine.both_keys(dots);
  ScratchFolder planted(L"tarvex planted shell");
  ASSERT_TRUE(plant_standin(planted.path() + L"\\shell.exe"));
  const std::vector<std::wstring> comspec = {L"COMSPEC=" + planted.path() +
                                             L"\\shell.exe"};

  EXPECT_EQ(run_tarvex(comspec),
            changed({delete_line("oem901.inf")},
                    names({inf_names(L"oem901.inf"), key_names(kProductB),
                           folder_names(kMakerFolder + L"\\ZR420")})));
  // In the system folder, not ours: nothing planted in ours reaches it.
  EXPECT_EQ(pnputil_folders(),
            std::vector<std::wstring>{lower(system_folder())});
  // A second run finds the registration gone: no folder goes this time.
  EXPECT_EQ(run_tarvex(comspec), changed({}));
  EXPECT_TRUE(pnputil_stays_unasked());
}

// One vendor INF purged per run, in name order; INFs that only seem to name
// a vendor (lower case, UTF-16, behind a Ctrl-Z, split across two pieces)
// are left alone; on a machine with nothing at all, nothing starts.
TEST_F(Tarvex, OneVendorInfPurgedPerRunInNameOrderAndNoLookAlike) {
  Installation machine;
  EXPECT_EQ(run_tarvex(), changed({}));
  EXPECT_TRUE(pnputil_stays_unasked());
  machine.inf(L"oem902.inf", kEarlierInf);
  machine.inf(L"oem903.inf", kUnrelatedInf);
  machine.inf(L"oem905.inf", std::string(kMakerInf) + "; Nelvora too\r\n");
  machine.inf(L"oem910.inf", "Provider=devedozudi\r\n");
  machine.inf(L"oem911.inf", "\xff\xfe" + utf16le(L"Provider=DevedoZudi\r\n"));
  machine.inf(L"oem912.inf", "[Version]\r\n\x1a\r\nProvider=DevedoZudi\r\n");
  machine.inf(L"oem913.inf", std::string(250, ';') + "DevedoZudi\r\n");

  EXPECT_EQ(run_tarvex(),
            changed({delete_line("oem902.inf")}, inf_names(L"oem902.inf")));
  EXPECT_EQ(run_tarvex(),
            changed({delete_line("oem905.inf")}, inf_names(L"oem905.inf")));
  EXPECT_EQ(run_tarvex(), changed({}));
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
      // 0x80 opens as oem930<U+20AC>.inf (the euro sign) on code page 1252 (and
      // as another letter
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

    // The stand-in logs UTF-8: what pnputil got, the found name again.
    const std::wstring purged =
        row.latin1 && latin1 ? row.found : L"oem939.inf";
    EXPECT_EQ(run_tarvex(),
              changed({delete_line(utf8(purged))}, inf_names(purged)));
    EXPECT_EQ(pnputil_words(),
              (std::vector<std::vector<std::string>>{
                  {"/delete-driver", "c:\\Windows\\INF\\" + utf8(purged),
                   "/uninstall", "/force"}}));
  }
}

// Entries whose narrow name is not their own: too long for the buffer (it
// would be cut), no narrow form (readdir hands out the 8.3 short name), or
// a byte that the ANSI code page reads back as another entry's name. None
// may have its own or another name's keys deleted; the walk goes on to the
// real target, which lists after them, and so the folder goes too.
TEST_F(Tarvex, EntriesWhoseNarrowNameIsNotTheirOwnArePassedOver) {
  Installation machine;
  const std::wstring long_name = L"{A" + std::wstring(62, L'0') + L"}";
  const std::wstring no_narrow = L"{0\x0166 product}";
  machine.product(long_name, kMakerSetupIni);
  machine.product(no_narrow, kMakerSetupIni);
  machine.product(L"{01\x0080}", kOtherSetupIni);
  machine.product(L"{01\x20ac}", kMakerSetupIni);
  machine.product(kProductB, kEarlierSetupIni);
  for (const std::wstring& name :
       {long_name, long_name.substr(0, 59), no_narrow,
        short_name(kInstallShield + L"\\" + no_narrow),
        std::wstring(L"{01\x0080}"), std::wstring(L"{01\x20ac}"), kProductB}) {
    machine.both_keys(name);
  }
  machine.program_folder(kMakerFolder + L"\\ZR420");
  EXPECT_EQ(run_tarvex(),
            changed({}, names({key_names(kProductB),
                               folder_names(kMakerFolder + L"\\ZR420")})));
}

// A file is no folder, and a link on the way is no program folder: a linked
// candidate (ZR410), or a linked maker's folder, is passed over with nothing
// behind it touched and the link kept, and the next real candidate goes.
// (The links' target, outside Program Files, outlives each machine: a link
// whose target is gone cannot be seen, and so not taken away.)
TEST_F(Tarvex, FilesAndLinksArePassedOverAndTheNextRealCandidateGoes) {
  ScratchFolder outside(L"link target");
  const std::vector<std::wstring> products = {L"PX3", L"ZR410", L"ZR420",
                                              L"ZR430"};
  for (const std::wstring& product : products) {
    make_folders(outside.path() + L"\\" + product);
    write_file(outside.path() + L"\\" + product + L"\\important.txt", "mine");
  }
  struct Row {
    std::wstring link;
    Layout machine;
    std::wstring goes;
  };
  const Row rows[] = {
      {kMakerFolder + L"\\ZR410",
       {.products = {{kProductA, kMakerSetupIni}},
        .keyed = {kProductA},
        .folders = {kMakerFolder + L"\\ZR420", kMakerFolder + L"\\ZR430"},
        .files = {kMakerFolder + L"\\PX3"}},
       kMakerFolder + L"\\ZR420"},
      {kMakerFolder,
       {.products = {{kProductA, kMakerSetupIni}},
        .keyed = {kProductA},
        .folders = {kEarlierFolder}},
       kEarlierFolder}};
  for (const Row& row : rows) {
    SCOPED_TRACE(utf8(row.link));
    Installation machine(row.machine);
    machine.link(row.link, outside.path());
    EXPECT_EQ(
        run_tarvex(),
        changed({}, names({key_names(kProductA), folder_names(row.goes)})));
    for (const std::wstring& product : products) {
      EXPECT_TRUE(
          path_exists(outside.path() + L"\\" + product + L"\\important.txt"))
          << utf8(product);
    }
    EXPECT_TRUE(is_link(row.link));
  }
}

// From its test until the removal has ended, the candidate's parent is
// held, and so is every folder the walk is inside: while the tree goes,
// neither the maker's folder nor the candidate's subfolder being emptied
// can be renamed, and so not swapped for a link or a decoy, and the
// removal completes. The walk is kept inside the subfolder however fast
// the platform deletes: its last file is held without delete sharing,
// which the walk retries, until the rename has been tried.
TEST_F(Tarvex, FoldersOnTheWalksWayCannotBeRenamedWhileItRuns) {
  const std::wstring candidate = kMakerFolder + L"\\ZR420";
  for (const std::wstring& held : {kMakerFolder, candidate + L"\\D"}) {
    SCOPED_TRACE(utf8(held));
    const std::wstring moved = held + L" moved";
    ScopedPath moved_away(moved);
    Installation machine({.products = {{kProductA, kMakerSetupIni}},
                          .keyed = {kProductA},
                          .folders = {candidate + L"\\D"}});
    // Named to be listed, and so removed, in this order.
    auto file = [&](int i) {
      wchar_t name[32];
      swprintf(name, 32, L"\\D\\file%05d.dat", i);
      return candidate + name;
    };
    for (int i = 0; i < kSlowTreeFiles; ++i) write_file(file(i), "x");
    FileHandle last(CreateFileW(file(kSlowTreeFiles - 1).c_str(), GENERIC_READ,
                                FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                nullptr));
    ASSERT_TRUE(last.valid());

    KernelHandle tarvex = start_program(program_path(L"tarvex.exe"));
    ASSERT_TRUE(eventually([&] { return !path_exists(file(0)); }, 30000));
    const bool still_running =
        path_exists(file(kSlowTreeFiles - 1)) &&
        WaitForSingleObject(tarvex.get(), 0) == WAIT_TIMEOUT;
    const BOOL renamed = MoveFileW(held.c_str(), moved.c_str());
    const DWORD error = GetLastError();
    if (renamed) MoveFileW(moved.c_str(), held.c_str());
    last.reset();
    ASSERT_TRUE(eventually([&] { return is_signalled(tarvex.get()); }, 60000));

    ASSERT_TRUE(still_running) << "the removal ended before the rename";
    EXPECT_FALSE(renamed);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(path_exists(candidate));
    EXPECT_TRUE(is_directory(kMakerFolder));
  }
}

// Phase 3 runs only when phase 2 deleted a second key, and then an empty
// candidate folder still opens ("." and "..") and goes: not when the second
// key is absent (the first still goes), not without an InstallShield folder
// (no key goes).
TEST_F(Tarvex, FolderGoesOnlyWhenTheSecondKeyWasDeleted) {
  struct Row {
    bool base_folder;
    bool second_key;
    std::set<std::wstring> gone;
  };
  const std::wstring first_key = lower(L"HKLM\\" + kFirstKeyPrefix + kProductA);
  const Row rows[] = {
      {true, true,
       names({key_names(kProductA), folder_names(kEarlierFolder, true)})},
      {true, false, {first_key}},
      {false, true, {}}};
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.base_folder << row.second_key);
    Installation machine;
    ASSERT_FALSE(path_exists(kInstallShield));
    if (row.base_folder) machine.product(kProductA, kEarlierSetupIni);
    machine.key(kFirstKeyPrefix + kProductA);
    if (row.second_key) machine.key(kSecondKeyPrefix + kProductA);
    machine.program_folder(kEarlierFolder, true);
    EXPECT_EQ(run_tarvex(), changed({}, row.gone));
  }
}

// A file in the candidate that somebody holds without sharing deletion for
// good stays, and so does the folder that holds it; the rest goes, and each
// entry that stayed is named with the system's reason, as rmdir /s /q named
// them, within the removal's few seconds.
TEST_F(Tarvex, WhatStaysIsNamedAndTheRunEndsWithinTheBudget) {
  const std::wstring candidate = kMakerFolder + L"\\ZR420";
  Installation machine({.products = {{kProductA, kMakerSetupIni}},
                        .keyed = {kProductA},
                        .folders = {candidate}});
  const FileHandle held(CreateFileW((candidate + L"\\driver.sys").c_str(),
                                    GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(held.valid());
  const std::string in_use =
      running_under_wine() ? "Sharing violation."
                           : "The process cannot access the file because it "
                             "is being used by another process.";
  const std::string not_empty = running_under_wine()
                                    ? "Directory is not empty."
                                    : "The directory is not empty.";
  const ULONGLONG started = GetTickCount64();
  EXPECT_EQ(run_tarvex(),
            (Changes{0,
                     utf8(candidate) + "\\driver.sys - " + in_use + "\r\n" +
                         utf8(candidate) + " - " + not_empty + "\r\n",
                     {},
                     names({key_names(kProductA),
                            {lower(candidate + L"\\bin"),
                             lower(candidate + L"\\bin\\tool.exe")}}),
                     {}}));
  EXPECT_LT(GetTickCount64() - started, 10000u);
}

// Where the system keeps Program Files (x86) elsewhere (the value only
// administrators write, from which Wine takes its known folder too), the
// InstallShield entries, keys and candidates there are the ones that go;
// those planted at the standard path, which any user may make on a machine
// that does not use it, are not touched.
TEST_F(Tarvex, ProgramFilesKeptElsewhereIsWhereTheRemovalWorks) {
  const std::wstring elsewhere = L"c:\\Other Program Files (x86)";
  ScopedPath other_root(elsewhere);
  make_folders(elsewhere);
  ScopedValue moved(kProgramFilesValueKey, L"ProgramFilesDir (x86)", elsewhere);
  const std::wstring entry =
      elsewhere + L"\\InstallShield Installation Information\\" + kProductB;
  const std::wstring candidate = elsewhere + L"\\Devedozudi\\ZR430";
  make_folders(entry);
  write_file(entry + L"\\setup.ini", kEarlierSetupIni);
  make_folders(candidate);
  write_file(candidate + L"\\driver.sys", "x");
  Installation machine({.products = {{kProductA, kMakerSetupIni}},
                        .keyed = {kProductA, kProductB},
                        .folders = {kMakerFolder + L"\\PX3"}});

  EXPECT_EQ(run_tarvex(), changed({}, key_names(kProductB)));
  EXPECT_FALSE(path_exists(candidate));
  EXPECT_TRUE(path_exists(entry + L"\\setup.ini"));
}

}  // namespace

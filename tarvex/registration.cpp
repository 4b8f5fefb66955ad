#include "registration.h"

#include <string.h>
#include <windows.h>

#include "bounded_text.h"
#include "found_name.h"
#include "handles.h"
#include "system_folders.h"
#include "vendor_text.h"

namespace {

const char kInstallShieldFolder[] =
    "c:\\Program Files (x86)\\InstallShield Installation Information\\";
const char kSetupIniName[] = "\\setup.ini";
const char kSetupIniOpenMode[] = "r, ccs=UTF-8";
const char kFirstKeyPrefix[] =
    "SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
    "InstallShield_";
const char kSecondKeyPrefix[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

const size_t kCandidatePathBytes = 256;
const size_t kKeyBytes = 512;
// The phase's statuses besides the second deletion's own: phase 3 runs only
// on 0, which only a deleted second key gives.
const int kTargetFound = 0;
const int kNoBaseFolderStatus = 1;
const int kNoTargetStatus = 2;

// One pass per marker, the maker's first, each opening and reading the file
// anew, as this phase has always read setup.ini. The answer is the one a
// single pass for both markers would give (a file that names either is a
// target); the second pass costs only a second read of a small file that
// did not name the maker.
bool setup_ini_names_vendor(const char* entry_name) {
  char candidate[kCandidatePathBytes];
  if (!build_setup_ini_path(entry_name, candidate, sizeof candidate)) {
    return false;
  }
  for (size_t i = 0; i < kVendorMarkerCount; ++i) {
    if (file_contains_any(candidate, kSetupIniOpenMode, &kVendorMarkers[i], 1))
      return true;
  }
  return false;
}

// Walks the base folder for the first product that names a vendor and copies
// its name into target. Names too long for the buffer are passed over: a key
// is never deleted under a shortened name. So is an entry whose narrow name
// would open another entry's setup.ini or delete another name's keys: its
// 8.3 short name, "?", or a name that the ANSI code page reads back as
// another.
int find_target(char* target, size_t capacity) {
  char folder[kCandidatePathBytes];
  if (!build_on_folder(system_program_files_x86(), kStandardProgramFilesX86,
                       kInstallShieldFolder, folder, sizeof folder))
    return kNoBaseFolderStatus;
  DirStream base(opendir(folder));
  if (!base.valid()) return kNoBaseFolderStatus;
  while (dirent* entry = readdir(base.get())) {
    if (is_dot_entry(entry->d_name)) continue;
    if (!reads_back_as(entry->d_name, readdir_long_name(base.get()))) continue;
    if (!copy_text(target, capacity, entry->d_name)) continue;
    if (setup_ini_names_vendor(target)) return kTargetFound;
  }
  return kNoTargetStatus;
}

}  // namespace

bool is_dot_entry(const char* name) {
  return strcmp(name, ".") == 0 || strcmp(name, "..") == 0;
}

bool build_setup_ini_path(const char* name, char* path, size_t capacity) {
  char folder[kCandidatePathBytes];
  if (!build_on_folder(system_program_files_x86(), kStandardProgramFilesX86,
                       kInstallShieldFolder, folder, sizeof folder))
    return refuse_text(path, capacity);
  return compose_text(path, capacity,
                      {static_cast<const char*>(folder), name, kSetupIniName});
}

bool build_uninstall_keys(const char* name, char* first_key, char* second_key,
                          size_t capacity) {
  const bool first = compose_text(first_key, capacity, {kFirstKeyPrefix, name});
  const bool second =
      compose_text(second_key, capacity, {kSecondKeyPrefix, name});
  if (first && second) return true;
  refuse_text(first_key, capacity);
  return refuse_text(second_key, capacity);
}

int cleanup_registration() {
  char target[kEntryNameBytes] = {};
  int found = find_target(target, sizeof target);
  if (found != kTargetFound) return found;

  char first_key[kKeyBytes];
  char second_key[kKeyBytes];
  if (!build_uninstall_keys(target, first_key, second_key, kKeyBytes)) {
    return kNoTargetStatus;
  }
  // The first key's status changes nothing; the second's is the phase's: 0
  // only when it was deleted, and only then does the folder go.
  RegDeleteKeyExA(HKEY_LOCAL_MACHINE, first_key, KEY_WOW64_64KEY, 0);
  return static_cast<int>(
      RegDeleteKeyExA(HKEY_LOCAL_MACHINE, second_key, KEY_WOW64_64KEY, 0));
}

#include "driver_store.h"

#include <wchar.h>
#include <windows.h>

#include "bounded_text.h"
#include "child_process.h"
#include "found_name.h"
#include "piece_scanner.h"
#include "system_folders.h"
#include "system_tool.h"
#include "unique_resource.h"
#include "vendor_text.h"

namespace {

const wchar_t kDriverStorePattern[] = L"c:\\windows\\inf\\oem*.inf";
const char kInfFolderPrefix[] = "c:\\Windows\\INF\\";
const char kDeleteDriverHead[] = "/delete-driver ";
const char kDeleteDriverTail[] = " /uninstall /force";
const wchar_t kPnputilName[] = L"pnputil.exe";
// The long name must itself fit the search pattern.
const wchar_t kInfNameHead[] = L"oem";
const wchar_t kInfNameTail[] = L".inf";
// pnputil splits its unquoted argument line at these.
const wchar_t kLineSplitters[] = L" \t\"";

const size_t kNameBytes = 512;
const size_t kPathBytes = 512;
const size_t kLineChars = 512;

// Searches the driver store in the order the search returns files; fills
// inf_path with the first one that names a vendor.
bool find_vendor_inf(char* inf_path, size_t capacity) {
  PieceScanner scanner(kVendorMarkers, kVendorMarkerCount);
  wchar_t pattern[kPathBytes];
  if (!build_on_folder(system_windows_folder(), kStandardWindowsFolder,
                       kDriverStorePattern, pattern, kPathBytes))
    return false;
  WIN32_FIND_DATAW match;
  SearchHandle search(FindFirstFileW(pattern, &match));
  if (!search.valid()) return false;
  do {
    if (!usable_inf_name(match.cFileName)) continue;
    if (!build_inf_path(match.cFileName, inf_path, capacity)) continue;
    if (narrow_file_contains_any(inf_path, &scanner)) {
      return true;
    }
  } while (FindNextFileW(search.get(), &match));
  return false;
}

// Starts pnputil in a console of its own, shown, and waits for it to end.
// Its current folder is the system folder, not ours: whoever can write the
// folder tarvex was started from could otherwise put a library there for
// the elevated child to load. Its argument is a full path, so it needs no
// other.
// tarvex runs elevated already, and pnputil inherits its token: the shell's
// "runas" verb would add nothing but a lookup of the verb's command among
// file classes, which include the user's own.
void run_pnputil(const wchar_t* arguments) {
  wchar_t pnputil[MAX_PATH];
  wchar_t folder[MAX_PATH];
  if (!system_tool_path(kPnputilName, pnputil, MAX_PATH) ||
      !system_folder_path(folder, MAX_PATH))
    return;
  KernelHandle process = start_child(pnputil, arguments, folder,
                                     CREATE_NEW_CONSOLE, SW_SHOW, nullptr);
  if (process.valid()) WaitForSingleObject(process.get(), INFINITE);
}

}  // namespace

bool usable_inf_name(const wchar_t* found_name) {
  return long_name_fits(found_name, kInfNameHead, kInfNameTail) &&
         wcspbrk(found_name, kLineSplitters) == nullptr;
}

bool build_inf_path(const wchar_t* found_name, char* path, size_t capacity) {
  char name[kNameBytes];
  char prefix[kPathBytes];
  if (!narrow_text(found_name, name, sizeof name) ||
      !reads_back_as(name, found_name) ||
      !build_on_folder(system_windows_folder(), kStandardWindowsFolder,
                       kInfFolderPrefix, prefix, sizeof prefix))
    return refuse_text(path, capacity);
  return compose_text(path, capacity, {static_cast<const char*>(prefix), name});
}

bool build_delete_driver_arguments(const char* inf_path, wchar_t* line,
                                   size_t capacity) {
  char narrow_line[kLineChars];
  if (!compose_text(narrow_line, sizeof narrow_line,
                    {kDeleteDriverHead, inf_path, kDeleteDriverTail}))
    return refuse_text(line, capacity);
  return widen_text(narrow_line, line, capacity);
}

void purge_driver_store() {
  char inf_path[kPathBytes];
  if (!find_vendor_inf(inf_path, sizeof inf_path)) return;

  wchar_t arguments[kLineChars];
  if (!build_delete_driver_arguments(inf_path, arguments, kLineChars)) return;
  run_pnputil(arguments);
}

#include "package_hold.h"

#include "entry_rule.h"
#include "launch_plan.h"
#include "package_guard.h"

namespace {

const wchar_t kCurrentFolder[] = L".";
const DWORD kPathForm = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
const DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

void hold_package(const wchar_t* name, DWORD listed, FileHandle* held,
                  std::wstring* folder, PackageFacts* facts) {
  // A folder opens only with backup semantics, which are not asked for: a
  // folder named *.msi fails to open here.
  held->reset(CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr,
                          OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT,
                          nullptr));
  BY_HANDLE_FILE_INFORMATION opened = {};
  facts->opened = held->valid() &&
                  GetFileInformationByHandle(held->get(), &opened) != FALSE;
  if (!facts->opened) return;
  const FileHandle here(CreateFileW(kCurrentFolder, FILE_READ_ATTRIBUTES,
                                    kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  const std::wstring package_path = final_path(held->get(), kPathForm);
  const bool own =
      here.valid() && !package_path.empty() &&
      is_own_path(final_path(here.get(), kPathForm), name, package_path);
  facts->plain_file = is_plain_file(listed, opened.dwFileAttributes, own) &&
                      folder_of_final_path(package_path, folder);
}

#include "dirent.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>

#include "narrow_text.h"
#include "wide_dir.h"

namespace {

const size_t kWidePathChars = 260;
const char kUnconvertibleName[] = "?";

int entry_type(DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_DEVICE) return DT_CHR;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return DT_DIR;
  return DT_REG;
}

// Fills the narrow record from a find record: the long name if it narrows
// and fits, else the 8.3 short name, else "?".
void fill_entry(dirent* entry, const WIN32_FIND_DATAW& data) {
  size_t converted = 0;
  bool named = narrow_text(data.cFileName, entry->d_name, sizeof entry->d_name,
                           &converted);
  if (!named && data.cAlternateFileName[0] != L'\0') {
    named = narrow_text(data.cAlternateFileName, entry->d_name,
                        sizeof entry->d_name, &converted);
  }
  if (named) {
    entry->d_namlen = converted - 1;
    entry->d_type = entry_type(data.dwFileAttributes);
    entry->d_reclen = static_cast<uint16_t>(sizeof(dirent));
  } else {
    memcpy(entry->d_name, kUnconvertibleName, sizeof kUnconvertibleName);
    entry->d_namlen = sizeof kUnconvertibleName - 1;
    entry->d_type = DT_UNKNOWN;
    entry->d_reclen = 0;
  }
  entry->d_ino = 0;
}

}  // namespace

DIR* opendir(const char* path) {
  if (path == nullptr || path[0] == '\0') {
    _set_errno(ENOENT);
    return nullptr;
  }
  DIR* dir = static_cast<DIR*>(malloc(sizeof(DIR)));
  if (dir == nullptr) return nullptr;

  wchar_t wide_path[kWidePathChars];
  if (!widen_text(path, wide_path, kWidePathChars)) {
    free(dir);
    return nullptr;
  }
  dir->wdirp = wopendir(wide_path);
  if (dir->wdirp == nullptr) {
    free(dir);
    return nullptr;
  }
  return dir;
}

dirent* readdir(DIR* dir) {
  if (dir == nullptr || dir->wdirp == nullptr) return nullptr;
  const WIN32_FIND_DATAW* data = wreaddir(dir->wdirp);
  if (data == nullptr) return nullptr;
  fill_entry(&dir->ent, *data);
  return &dir->ent;
}

int closedir(DIR* dir) {
  if (dir == nullptr) {
    _set_errno(EBADF);
    return -1;
  }
  int result = 0;
  if (dir->wdirp != nullptr) {
    wclosedir(dir->wdirp);
  } else {
    _set_errno(EBADF);
    result = -1;
  }
  dir->wdirp = nullptr;
  free(dir);
  return result;
}

const wchar_t* readdir_long_name(const DIR* dir) {
  if (dir == nullptr || dir->wdirp == nullptr) return nullptr;
  return dir->wdirp->data.cFileName;
}

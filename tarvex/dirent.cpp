#include "dirent.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>

#include "bounded_text.h"
#include "wide_stream.h"

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
void fill_entry(dirent* entry, const WIN32_FIND_DATAW& record) {
  size_t converted = 0;
  bool named = narrow_text(record.cFileName, entry->d_name,
                           sizeof entry->d_name, &converted);
  if (!named && record.cAlternateFileName[0] != L'\0') {
    named = narrow_text(record.cAlternateFileName, entry->d_name,
                        sizeof entry->d_name, &converted);
  }
  if (named) {
    entry->d_namlen = converted - 1;
    entry->d_type = entry_type(record.dwFileAttributes);
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
  if (is_missing_path(path)) return nullptr;
  DIR* dir = static_cast<DIR*>(malloc(sizeof(DIR)));
  if (dir == nullptr) return nullptr;

  wchar_t wide_path[kWidePathChars];
  if (!widen_text(path, wide_path, kWidePathChars)) {
    free(dir);
    return nullptr;
  }
  dir->wide_stream = open_wide_stream(wide_path);
  if (dir->wide_stream == nullptr) {
    free(dir);
    return nullptr;
  }
  return dir;
}

dirent* readdir(DIR* dir) {
  if (dir == nullptr || dir->wide_stream == nullptr) return nullptr;
  const WIN32_FIND_DATAW* record = next_find_record(dir->wide_stream);
  if (record == nullptr) return nullptr;
  fill_entry(&dir->entry, *record);
  return &dir->entry;
}

int closedir(DIR* dir) {
  if (dir == nullptr) {
    _set_errno(EBADF);
    return -1;
  }
  int result = 0;
  if (dir->wide_stream != nullptr) {
    close_wide_stream(dir->wide_stream);
  } else {
    _set_errno(EBADF);
    result = -1;
  }
  dir->wide_stream = nullptr;
  free(dir);
  return result;
}

const wchar_t* readdir_long_name(const DIR* dir) {
  if (dir == nullptr || dir->wide_stream == nullptr) return nullptr;
  return dir->wide_stream->find_record.cFileName;
}

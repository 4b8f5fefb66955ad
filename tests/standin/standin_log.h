#pragma once
// Where the pnputil stand-in records each call: one line per call, the
// argument text exactly as it arrived, in UTF-8; and in the words log, the
// same call's words as it split them, separated by the unit separator.
#define PNPUTIL_STANDIN_LOG L"c:\\pnputil-standin.log"
#define PNPUTIL_STANDIN_WORDS_LOG L"c:\\pnputil-standin-words.log"
#define PNPUTIL_STANDIN_WORD_SEPARATOR L'\x1f'
// And the current folder each call ran in.
#define PNPUTIL_STANDIN_FOLDER_LOG L"c:\\pnputil-standin-folder.log"
// Where a planted library logs each load: "<its path> in <program path>".
#define PLANTED_LIBRARY_LOG L"c:\\planted-library.log"

#include <stddef.h>
#include <windows.h>

#include <string>

#include "unique_resource.h"

// Appends bytes (count of them, UTF-8) and a line end to the log at path in
// one write, opening it for each line and sharing it, so that writers in
// several processes never lose or cut each other's lines.
inline void append_log_line(const wchar_t* path, const char* bytes,
                            size_t count) {
  const std::string line = std::string(bytes, count) + "\r\n";
  FileHandle log(CreateFileW(path, FILE_APPEND_DATA,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!log.valid()) return;
  DWORD written = 0;
  WriteFile(log.get(), line.data(), static_cast<DWORD>(line.size()), &written,
            nullptr);
}

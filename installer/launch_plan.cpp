#include "launch_plan.h"

#include <string.h>
#include <wchar.h>

#include <algorithm>

#include <windows.h>

#include "bounded_text.h"
#include "found_name.h"

namespace {

const wchar_t kMsiPattern[] = L"\\*.msi";
const wchar_t kArgumentsHead[] = L"/i \"";
const wchar_t kArgumentsTail[] = L"\"";
const wchar_t kQuietOptions[] = L" /quiet /qn";
const wchar_t kNoOptions[] = L"";
const wchar_t kMsiTail[] = L".msi";
const char kUncarried = '?';
// How final paths begin: a drive's, and a server share's, whose current
// folder form begins with two separators instead.
const wchar_t kLocalPrefix[] = L"\\\\?\\";
const wchar_t kSharePrefix[] = L"\\\\?\\UNC\\";
const wchar_t kShareStart[] = L"\\\\";
const wchar_t kSeparator = L'\\';
// What a child's current folder may hold, its terminator and a separator the
// system adds at its end included.
const size_t kLongestCurrentFolder = MAX_PATH - 2;

bool is_high_surrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool is_low_surrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

bool is_quiet_mode(int argc, const char* const* argv) {
  return argc == 2 &&
         (strcmp(argv[1], "/s") == 0 || strcmp(argv[1], "/S") == 0);
}

bool build_msi_pattern(const wchar_t* directory, size_t length,
                       wchar_t* pattern, size_t capacity) {
  // A zero length is a failed read; a length of capacity or more is the size
  // the platform would need, not a directory that was read.
  if (length == 0 || length >= capacity ||
      wcsnlen(directory, length + 1) != length)
    return refuse_text(pattern, capacity);
  return compose_text(pattern, capacity, {directory, kMsiPattern});
}

bool build_msiexec_arguments(const wchar_t* msi_name, bool quiet, wchar_t* line,
                             size_t capacity) {
  return compose_text(line, capacity,
                      {kArgumentsHead, msi_name, kArgumentsTail,
                       quiet ? kQuietOptions : kNoOptions});
}

bool is_msi_name(const wchar_t* found_name) {
  return long_name_fits(found_name, L"", kMsiTail);
}

bool build_shown_text(const wchar_t* line, char* text, size_t capacity) {
  size_t used = 0;
  auto put = [&](char c) {
    if (used + 1 >= capacity) return false;
    text[used++] = c;
    return true;
  };
  bool whole = capacity > 0;
  for (const wchar_t* c = line; whole && *c != L'\0'; ++c) {
    // A surrogate pair is one character, shown as one "?".
    if (is_high_surrogate(c[0]) && is_low_surrogate(c[1])) ++c;
    whole =
        put(static_cast<unsigned>(*c) <= kNarrowLimit ? static_cast<char>(*c)
                                                      : kUncarried);
  }
  if (!whole) return refuse_text(text, capacity);
  text[used] = '\0';
  return true;
}

bool build_echo_text(const wchar_t* line, char* text, size_t capacity) {
  // A line feed, the line, a line feed.
  if (capacity < 3 || !build_shown_text(line, text + 1, capacity - 2))
    return refuse_text(text, capacity);
  text[0] = '\n';
  const size_t length = strlen(text);
  text[length] = '\n';
  text[length + 1] = '\0';
  return true;
}

bool folder_of_final_path(const std::wstring& final_path,
                          std::wstring* folder) {
  std::wstring path;
  if (final_path.compare(0, wcslen(kSharePrefix), kSharePrefix) == 0) {
    path = kShareStart + final_path.substr(wcslen(kSharePrefix));
  } else if (final_path.compare(0, wcslen(kLocalPrefix), kLocalPrefix) == 0) {
    path = final_path.substr(wcslen(kLocalPrefix));
  } else {
    return false;
  }
  const size_t last = path.rfind(kSeparator);
  if (last == std::wstring::npos || last + 1 == path.size()) return false;
  path.resize(last);
  // A root keeps its separator: "C:" alone is the drive's current folder,
  // wherever that is, and a share is named only with it.
  const bool share = path.compare(0, wcslen(kShareStart), kShareStart) == 0;
  const size_t separators =
      static_cast<size_t>(std::count(path.begin(), path.end(), kSeparator));
  if (share ? separators == 3 : separators == 0) path += kSeparator;
  if (path.size() > kLongestCurrentFolder) return false;
  *folder = path;
  return true;
}

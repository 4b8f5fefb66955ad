#include "found_name.h"

#include <wchar.h>
#include <windows.h>

namespace {

bool same_ignoring_case(const wchar_t* a, const wchar_t* b, size_t length) {
  if (length == 0) return true;
  return CompareStringOrdinal(a, static_cast<int>(length), b,
                              static_cast<int>(length), TRUE) == CSTR_EQUAL;
}

}  // namespace

bool long_name_fits(const wchar_t* name, const wchar_t* head,
                    const wchar_t* tail) {
  const size_t length = wcslen(name);
  const size_t head_length = wcslen(head);
  const size_t tail_length = wcslen(tail);
  if (length < head_length + tail_length) return false;
  return same_ignoring_case(name, head, head_length) &&
         same_ignoring_case(name + length - tail_length, tail, tail_length);
}

bool reads_back_as(const char* narrow, const wchar_t* wide) {
  if (narrow == nullptr || wide == nullptr) return false;
  // Names are at most MAX_PATH characters; anything longer is not a name.
  wchar_t read_back[MAX_PATH + 1];
  // The programs never switch the file functions to the OEM code page, and
  // the registry's narrow functions always use the ANSI one.
  int length =
      MultiByteToWideChar(CP_ACP, 0, narrow, -1, read_back, MAX_PATH + 1);
  return length > 0 && wcscmp(read_back, wide) == 0;
}

#include "narrow_text.h"

#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include <windows.h>

namespace {

const size_t kConversionError = static_cast<size_t>(-1);

}  // namespace

// The secure conversions call the invalid-parameter handler, which ends the
// process, when the target is too small; so every size is measured first.
bool narrow_text(const wchar_t* source, char* target, size_t capacity,
                 size_t* converted) {
  if (capacity == 0) return false;
  target[0] = '\0';
  size_t needed = wcstombs(nullptr, source, 0);
  if (needed == kConversionError || needed >= capacity) return false;
  size_t done = 0;
  if (wcstombs_s(&done, target, capacity, source, needed) != 0) {
    target[0] = '\0';
    return false;
  }
  if (converted != nullptr) *converted = done;
  return true;
}

bool widen_text(const char* source, wchar_t* target, size_t capacity) {
  if (capacity == 0) return false;
  target[0] = L'\0';
  size_t needed = mbstowcs(nullptr, source, 0);
  if (needed == kConversionError || needed >= capacity) return false;
  size_t done = 0;
  if (mbstowcs_s(&done, target, capacity, source, needed) != 0) {
    target[0] = L'\0';
    return false;
  }
  return true;
}

bool copy_text(char* target, size_t capacity, const char* source) {
  if (capacity == 0) return false;
  target[0] = '\0';
  return append_text(target, capacity, source);
}

bool append_text(char* target, size_t capacity, const char* source) {
  size_t used = strnlen(target, capacity);
  if (used == capacity || used + strlen(source) >= capacity) return false;
  return strcat_s(target, capacity, source) == 0;
}

bool reads_back_as(const char* narrow, const wchar_t* wide) {
  if (narrow == nullptr || wide == nullptr) return false;
  // Names are at most MAX_PATH characters; anything longer is not a name.
  wchar_t read_back[MAX_PATH + 1];
  // tarvex never switches the file functions to the OEM code page, and the
  // registry's narrow functions always use the ANSI one.
  int length =
      MultiByteToWideChar(CP_ACP, 0, narrow, -1, read_back, MAX_PATH + 1);
  return length > 0 && wcscmp(read_back, wide) == 0;
}

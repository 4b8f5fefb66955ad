#include "bounded_text.h"

#include <stdlib.h>
#include <string.h>
#include <wchar.h>

namespace {

const size_t kConversionError = static_cast<size_t>(-1);

size_t bounded_length(const char* text, size_t capacity) {
  return strnlen(text, capacity);
}
size_t bounded_length(const wchar_t* text, size_t capacity) {
  return wcsnlen(text, capacity);
}
size_t length(const char* text) { return strlen(text); }
size_t length(const wchar_t* text) { return wcslen(text); }
int concatenate(char* target, size_t capacity, const char* source) {
  return strcat_s(target, capacity, source);
}
int concatenate(wchar_t* target, size_t capacity, const wchar_t* source) {
  return wcscat_s(target, capacity, source);
}

// Appends source to the text in target; false, with target emptied, if it
// would not fit whole.
template <typename Char>
bool append_whole(Char* target, size_t capacity, const Char* source) {
  if (capacity == 0) return false;
  size_t used = bounded_length(target, capacity);
  if (used == capacity || used + length(source) >= capacity ||
      concatenate(target, capacity, source) != 0) {
    target[0] = Char(0);
    return false;
  }
  return true;
}

template <typename Char>
bool compose_whole(Char* target, size_t capacity,
                   std::initializer_list<const Char*> parts) {
  if (capacity == 0) return false;
  target[0] = Char(0);
  for (const Char* part : parts) {
    if (!append_whole(target, capacity, part)) return false;
  }
  return true;
}

}  // namespace

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

bool compose_text(char* target, size_t capacity,
                  std::initializer_list<const char*> parts) {
  return compose_whole(target, capacity, parts);
}
bool compose_text(wchar_t* target, size_t capacity,
                  std::initializer_list<const wchar_t*> parts) {
  return compose_whole(target, capacity, parts);
}
bool copy_text(char* target, size_t capacity, const char* source) {
  return compose_whole(target, capacity, {source});
}
bool copy_text(wchar_t* target, size_t capacity, const wchar_t* source) {
  return compose_whole(target, capacity, {source});
}
bool append_text(char* target, size_t capacity, const char* source) {
  return append_whole(target, capacity, source);
}
bool append_text(wchar_t* target, size_t capacity, const wchar_t* source) {
  return append_whole(target, capacity, source);
}

#pragma once
// Bounded text operations that refuse, rather than cut short or abort, when
// the result would not fit: every size is measured before the C runtime's
// secure functions are called, because those end the process (through the
// invalid-parameter handler) when a target is too small. Conversions use
// the C runtime's current locale, which the programs never change ("C":
// bytes and characters up to U+00FF map one to one).

#include <stddef.h>
#include <string.h>
#include <wchar.h>

#include <initializer_list>
#include <string>
#include <type_traits>

// The last character that narrows to the byte of the same value in the "C"
// locale; every one above it is refused.
inline constexpr unsigned kNarrowLimit = 0xFF;

// Narrows source into target (capacity bytes with the terminator); false,
// with target empty, if a character does not convert or the text does not
// fit. converted, if given, receives the count with the terminator.
bool narrow_text(const wchar_t* source, char* target, size_t capacity,
                 size_t* converted = nullptr);

// Widens source into target (capacity characters with the terminator);
// false, with target empty, if it does not convert or fit.
bool widen_text(const char* source, wchar_t* target, size_t capacity);

// Every text built from parts is built by these, for narrow and wide text
// alike, all of it or nothing: false always leaves target empty, so no
// caller can go on with part of a path, a key or a command line.

// Empties target (capacity units) if it has room: where a builder starts
// its text.
template <typename Char>
void clear_text(Char* target, size_t capacity) {
  if (capacity > 0) target[0] = Char(0);
}

// Empties target as clear_text does and returns false: every builder's
// answer when it cannot build its text.
template <typename Char>
bool refuse_text(Char* target, size_t capacity) {
  clear_text(target, capacity);
  return false;
}

// Appends source to target (capacity units with the terminator) only if all
// of it fits; false leaves target empty.
template <typename Char>
bool append_text(Char* target, size_t capacity, const Char* source) {
  size_t used = 0;
  while (used < capacity && target[used] != Char(0)) ++used;
  const size_t added = std::char_traits<Char>::length(source);
  if (used == capacity || added >= capacity - used)
    return refuse_text(target, capacity);
  int status = 0;
  if constexpr (std::is_same_v<Char, char>) {
    status = strcat_s(target, capacity, source);
  } else {
    status = wcscat_s(target, capacity, source);
  }
  return status == 0 || refuse_text(target, capacity);
}

// Writes the parts one after another into target only if all of them fit;
// false leaves target empty.
template <typename Char>
bool compose_text(Char* target, size_t capacity,
                  std::initializer_list<const Char*> parts) {
  clear_text(target, capacity);  // the parts go into an empty target
  for (const Char* part : parts) {
    if (!append_text(target, capacity, part)) return false;
  }
  return capacity > 0;
}

// Copies source into target only if all of it fits; false leaves target
// empty.
template <typename Char>
bool copy_text(Char* target, size_t capacity, const Char* source) {
  return compose_text(target, capacity, {source});
}

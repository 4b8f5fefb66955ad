#pragma once
// Bounded text operations that refuse, rather than cut short or abort, when
// the result would not fit: every size is measured before the C runtime's
// secure functions are called, because those end the process (through the
// invalid-parameter handler) when a target is too small. Conversions use
// the C runtime's current locale, which the programs never change ("C":
// bytes and characters up to U+00FF map one to one).

#include <stddef.h>

#include <initializer_list>

// Narrows source into target (capacity bytes with the terminator); false,
// with target empty, if a character does not convert or the text does not
// fit. converted, if given, receives the count with the terminator.
bool narrow_text(const wchar_t* source, char* target, size_t capacity,
                 size_t* converted = nullptr);

// Widens source into target (capacity characters with the terminator);
// false, with target empty, if it does not convert or fit.
bool widen_text(const char* source, wchar_t* target, size_t capacity);

// Every text built from parts is built by these, all of it or nothing: false
// always leaves target empty, so no caller can go on with part of a path,
// a key or a command line.

// Writes the parts one after another into target (capacity units with the
// terminator) only if all of them fit; false leaves target empty.
bool compose_text(char* target, size_t capacity,
                  std::initializer_list<const char*> parts);
bool compose_text(wchar_t* target, size_t capacity,
                  std::initializer_list<const wchar_t*> parts);

// Copies source into target only if all of it fits; false leaves target
// empty.
bool copy_text(char* target, size_t capacity, const char* source);
bool copy_text(wchar_t* target, size_t capacity, const wchar_t* source);

// Appends source to target only if all of it fits; false leaves target
// empty.
bool append_text(char* target, size_t capacity, const char* source);
bool append_text(wchar_t* target, size_t capacity, const wchar_t* source);

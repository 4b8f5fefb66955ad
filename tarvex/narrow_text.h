#pragma once
// Bounded text operations that refuse, rather than cut short or abort, when
// the result would not fit. Conversions use the C runtime's current locale
// ("C": bytes and characters up to U+00FF map one to one).

#include <stddef.h>

// Narrows source into target (capacity bytes with the terminator); false,
// with target empty, if a character does not convert or the text does not
// fit. converted, if given, receives the count with the terminator.
bool narrow_text(const wchar_t* source, char* target, size_t capacity,
                 size_t* converted = nullptr);

// Widens source into target (capacity characters with the terminator);
// false, with target empty, if it does not convert or fit.
bool widen_text(const char* source, wchar_t* target, size_t capacity);

// Copies source into target only if all of it fits; false leaves target
// empty.
bool copy_text(char* target, size_t capacity, const char* source);

// Appends source to target only if all of it fits; false leaves target
// unchanged.
bool append_text(char* target, size_t capacity, const char* source);

// True when narrow, read back through the ANSI code page the way CreateFileA,
// fopen and RegDeleteKeyExA read a name, gives exactly wide: the file or key
// the narrow name opens is then the one that wide names.
bool reads_back_as(const char* narrow, const wchar_t* wide);

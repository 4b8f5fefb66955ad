#pragma once

#include <stddef.h>

enum class JoinResult { kOk, kNoArguments, kTooLong };

// Joins argv[1..argc-1] with single blanks into line (capacity characters
// with the terminator), every character as the caller wrote it; line is left
// empty unless the result is kOk.
JoinResult join_arguments(int argc, const wchar_t* const* argv, wchar_t* line,
                          size_t capacity);

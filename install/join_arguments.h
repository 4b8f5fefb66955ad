#pragma once

#include <stddef.h>

enum class JoinResult { kOk, kNoArguments, kTooLong };

// Joins argv[1..argc-1] with single blanks into line (capacity bytes with the
// terminator); line is left empty unless the result is kOk.
JoinResult join_arguments(int argc, const char* const* argv, char* line,
                          size_t capacity);

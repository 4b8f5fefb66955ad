#include "join_arguments.h"

#include <string.h>

JoinResult join_arguments(int argc, const char* const* argv, char* line,
                          size_t capacity) {
  if (capacity == 0) return JoinResult::kTooLong;
  line[0] = '\0';
  if (argc < 2) return JoinResult::kNoArguments;

  // Measure first: pnputil must never see a shortened line.
  size_t needed = 0;
  for (int i = 1; i < argc; ++i) needed += strlen(argv[i]) + (i > 1 ? 1 : 0);
  if (needed >= capacity) return JoinResult::kTooLong;

  for (int i = 1; i < argc; ++i) {
    if (i > 1) strcat_s(line, capacity, " ");
    strcat_s(line, capacity, argv[i]);
  }
  return JoinResult::kOk;
}

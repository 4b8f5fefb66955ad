#include "join_arguments.h"

#include "bounded_text.h"

namespace {

const wchar_t kSeparator[] = L" ";

}  // namespace

JoinResult join_arguments(int argc, const wchar_t* const* argv, wchar_t* line,
                          size_t capacity) {
  if (capacity == 0) return JoinResult::kTooLong;
  clear_text(line, capacity);
  if (argc < 2) return JoinResult::kNoArguments;

  // All of it or nothing: pnputil must never see a shortened line, and a
  // refused append leaves the line empty.
  for (int i = 1; i < argc; ++i) {
    if ((i > 1 && !append_text(line, capacity, kSeparator)) ||
        !append_text(line, capacity, argv[i])) {
      return JoinResult::kTooLong;
    }
  }
  return JoinResult::kOk;
}

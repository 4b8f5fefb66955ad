#include "join_arguments.h"

#include "bounded_text.h"

namespace {

const wchar_t kSeparator[] = L" ";

}  // namespace

JoinResult join_arguments(int argc, const wchar_t* const* argv, wchar_t* line,
                          size_t capacity) {
  if (capacity == 0) return JoinResult::kTooLong;
  line[0] = L'\0';
  if (argc < 2) return JoinResult::kNoArguments;

  // All of it or nothing: pnputil must never see a shortened line.
  bool whole = true;
  for (int i = 1; i < argc && whole; ++i) {
    whole = (i == 1 || append_text(line, capacity, kSeparator)) &&
            append_text(line, capacity, argv[i]);
  }
  if (whole) return JoinResult::kOk;
  line[0] = L'\0';
  return JoinResult::kTooLong;
}

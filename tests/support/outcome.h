#pragma once
// Every builder test's one view of a bounded builder: what it left in a
// target of capacity units (which starts as start, followed by a guard), as
// UTF-8 (start: "x", when there is room, unless given): its text when it
// built one; "(none)" when it refused and left the
// target empty; "(refused, not emptied): " and the text when it refused and
// left something behind; "(written past the end)" when it touched the guard.

#include <stddef.h>

#include <algorithm>
#include <string>

#include "text.h"

namespace testsupport {

inline const char kNone[] = "(none)";

inline std::string as_utf8(const std::string& text) { return text; }
inline std::string as_utf8(const std::wstring& text) { return utf8(text); }

template <typename Char, typename Build>
std::string outcome(size_t capacity, Build build, const Char* start = nullptr) {
  const Char stale[] = {Char('x'), Char(0)};
  const std::basic_string<Char> first = start != nullptr ? start
                                        : capacity >= 2
                                            ? stale
                                            : std::basic_string<Char>();
  std::basic_string<Char> target(capacity + 1, Char('#'));
  std::copy(first.c_str(), first.c_str() + first.size() + 1, target.begin());
  const bool built = build(&target[0], capacity);
  if (target[capacity] != Char('#')) return "(written past the end)";
  const std::string text = as_utf8(std::basic_string<Char>(target.c_str()));
  if (built) return text;
  return text.empty() ? kNone : "(refused, not emptied): " + text;
}

// The outcome of a builder that takes its target and the target's capacity
// last: build(args..., target, capacity).
template <typename Char, typename Build, typename... Args>
std::string built(size_t capacity, Build build, const Args&... args) {
  return outcome<Char>(capacity, [&](Char* target, size_t room) {
    return build(args..., target, room);
  });
}

}  // namespace testsupport

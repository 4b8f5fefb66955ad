#pragma once
// How many random machines a run tries, and from which seed: the seed is
// printed with every failure, and RANDOM_SEED=<n> replays it;
// RANDOM_MACHINES=<n> tries more (a few thousand for a long run).

#include <stdlib.h>

#include <random>

namespace randomized {

inline unsigned seed() {
  const char* given = getenv("RANDOM_SEED");
  return given != nullptr ? static_cast<unsigned>(strtoul(given, nullptr, 10))
                          : std::random_device{}();
}

inline int machines(int default_count) {
  const char* given = getenv("RANDOM_MACHINES");
  return given != nullptr ? atoi(given) : default_count;
}

}  // namespace randomized

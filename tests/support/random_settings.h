#pragma once
// How many random cases a run tries, and from which seed: the seed is
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

class Dice {
 public:
  explicit Dice(unsigned seed) : engine_(seed) {}
  // A number from 0 to n - 1.
  int below(size_t n) {
    return std::uniform_int_distribution<int>(0,
                                              static_cast<int>(n) - 1)(engine_);
  }
  bool chance(double p) { return std::bernoulli_distribution(p)(engine_); }
  template <typename T, size_t N>
  const T& pick(const T (&items)[N]) {
    return items[below(N)];
  }

 private:
  std::mt19937 engine_;
};

}  // namespace randomized

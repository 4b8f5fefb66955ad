#include "byte_search.h"

#if defined(_M_X64) || defined(__SSE2__)
#include <emmintrin.h>
#define BYTE_SEARCH_SSE2 1
#if defined(_MSC_VER)
#include <intrin.h>
#endif
#else
#define BYTE_SEARCH_SSE2 0
#endif

namespace {

#if BYTE_SEARCH_SSE2
const size_t kLanes = 16;

// The index of the lowest set bit of a non-zero mask.
unsigned lowest_bit(unsigned mask) {
#if defined(_MSC_VER)
  unsigned long index = 0;
  _BitScanForward(&index, mask);
  return static_cast<unsigned>(index);
#else
  return static_cast<unsigned>(__builtin_ctz(mask));
#endif
}
#endif

}  // namespace

ByteSearch::ByteSearch(const uint8_t* bytes, int count) {
  for (int i = 0; i < count && i < kMaxSearchBytes; ++i) {
    if (wanted_[bytes[i]]) continue;
    wanted_[bytes[i]] = true;
    bytes_[count_++] = bytes[i];
  }
}

size_t ByteSearch::find(const uint8_t* text, size_t from, size_t to) const {
  size_t at = from;
#if BYTE_SEARCH_SSE2
  __m128i needles[kMaxSearchBytes];
  for (int i = 0; i < count_; ++i) {
    needles[i] = _mm_set1_epi8(static_cast<char>(bytes_[i]));
  }
  for (; at + kLanes <= to; at += kLanes) {
    const __m128i block =
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + at));
    __m128i hits = _mm_setzero_si128();
    for (int i = 0; i < count_; ++i) {
      hits = _mm_or_si128(hits, _mm_cmpeq_epi8(block, needles[i]));
    }
    const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hits));
    if (mask != 0) return at + lowest_bit(mask);
  }
#endif
  while (at < to && !wanted_[text[at]]) ++at;
  return at;
}

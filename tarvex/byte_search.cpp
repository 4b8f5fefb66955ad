#include "byte_search.h"

#include <string.h>

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

WholeMarkerSearch::WholeMarkerSearch(const wchar_t* const* markers,
                                     size_t count) {
  for (size_t i = 0; i < count && count_ < kMaxWholeMarkers; ++i) {
    size_t length = 0;
    while (markers[i][length] != L'\0' && length < kMaxWholeMarkerBytes) {
      markers_[count_][length] = static_cast<uint8_t>(markers[i][length]);
      ++length;
    }
    if (length == 0 || markers[i][length] != L'\0') continue;
    lengths_[count_++] = length;
    if (length > longest_) longest_ = length;
  }
}

bool WholeMarkerSearch::occurs_at(const uint8_t* text, size_t at,
                                  size_t length) const {
  for (int m = 0; m < count_; ++m) {
    if (at + lengths_[m] <= length &&
        memcmp(text + at, markers_[m], lengths_[m]) == 0)
      return true;
  }
  return false;
}

bool WholeMarkerSearch::occurs_in(const char* bytes, size_t length) const {
  if (count_ == 0) return false;
  const uint8_t* text = reinterpret_cast<const uint8_t*>(bytes);
  size_t at = 0;
#if BYTE_SEARCH_SSE2
  __m128i firsts[kMaxWholeMarkers];
  __m128i lasts[kMaxWholeMarkers];
  for (int m = 0; m < count_; ++m) {
    firsts[m] = _mm_set1_epi8(static_cast<char>(markers_[m][0]));
    lasts[m] = _mm_set1_epi8(static_cast<char>(markers_[m][lengths_[m] - 1]));
  }
  // Every load below stays within the run: the last byte read by the widest
  // one is at + longest_ - 1 + kLanes - 1.
  for (; at + longest_ - 1 + kLanes <= length; at += kLanes) {
    unsigned mask = 0;
    for (int m = 0; m < count_; ++m) {
      const __m128i first = _mm_cmpeq_epi8(
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + at)),
          firsts[m]);
      const __m128i last = _mm_cmpeq_epi8(
          _mm_loadu_si128(
              reinterpret_cast<const __m128i*>(text + at + lengths_[m] - 1)),
          lasts[m]);
      mask |=
          static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(first, last)));
    }
    while (mask != 0) {
      if (occurs_at(text, at + lowest_bit(mask), length)) return true;
      mask &= mask - 1;
    }
  }
#endif
  for (; at < length; ++at) {
    if (occurs_at(text, at, length)) return true;
  }
  return false;
}

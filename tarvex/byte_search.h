#pragma once
// Finding the next of a few bytes in a run of text, sixteen bytes at a time
// where the processor has SSE2 (every x64 processor does): the INF reader
// passes most of a driver store's bytes through here, and a byte-by-byte
// loop cost more than reading the files.

#include <stddef.h>
#include <stdint.h>

// Up to this many bytes can be looked for at once.
const int kMaxSearchBytes = 8;

class ByteSearch {
 public:
  // Looks for the count bytes given (at most kMaxSearchBytes).
  ByteSearch(const uint8_t* bytes, int count);

  // The position of the first byte in text[from, to) that is one of the
  // bytes looked for, or to when there is none.
  size_t find(const uint8_t* text, size_t from, size_t to) const;

 private:
  uint8_t bytes_[kMaxSearchBytes] = {};
  int count_ = 0;
  bool wanted_[256] = {};
};

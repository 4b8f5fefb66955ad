#pragma once
// Finding the next of a few bytes in a run of text, sixteen bytes at a time
// where the processor has SSE2 (every x64 processor does): the INF reader
// passes most of a driver store's bytes through here, and a byte-by-byte
// loop cost more than reading the files.

#include <stddef.h>
#include <stdint.h>

// Up to this many bytes can be looked for at once.
const int kMaxSearchBytes = 8;
// Up to this many markers of up to this many bytes each.
const int kMaxWholeMarkers = 4;
const size_t kMaxWholeMarkerBytes = 16;

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

// Whether any of a few short markers occurs whole in a run of bytes: each
// sixteen positions are tested at once for a marker's first and last byte,
// and only where both are there are the bytes between compared.
class WholeMarkerSearch {
 public:
  // markers: at most kMaxWholeMarkers non-empty ASCII texts of at most
  // kMaxWholeMarkerBytes characters; the rest are not looked for.
  WholeMarkerSearch(const wchar_t* const* markers, size_t count);

  // True when one of the markers occurs in bytes[0, length).
  bool occurs_in(const char* bytes, size_t length) const;

  // The longest marker's length: one cut by the end of a run lies in the
  // run's last longest() - 1 bytes and the next run's first.
  size_t longest() const { return longest_; }

 private:
  bool occurs_at(const uint8_t* text, size_t at, size_t length) const;

  uint8_t markers_[kMaxWholeMarkers][kMaxWholeMarkerBytes] = {};
  size_t lengths_[kMaxWholeMarkers] = {};
  int count_ = 0;
  size_t longest_ = 0;
};

#pragma once
// Finds the markers in narrow text exactly as fgetws pieces and wcsstr
// would: the text is cut into pieces that end after a '\n' or at 255
// characters, a piece is searched only up to its first null character, and
// no match spans two pieces. In the "C" locale each byte is one character,
// so the bytes are scanned as they come, with no piece copied and one table
// step per byte (an Aho-Corasick automaton over the markers).

#include <stddef.h>
#include <stdint.h>

#include "byte_search.h"

class PieceScanner {
 public:
  // The table's size: the markers' characters in all must be fewer.
  static const int kMaxStates = 64;

  // markers: at most kMaxSearchBytes - 2 non-empty ASCII texts, fewer than
  // kMaxStates characters in all (the vendor markers are checked where they
  // are defined).
  PieceScanner(const wchar_t* const* markers, size_t count);

  // Scans the next bytes of the text; true once a marker has been found.
  bool feed(const char* bytes, size_t length);

  // Makes the scanner ready for another text, its markers kept.
  void restart() { end_piece(); }

  // The markers looked for whole in raw bytes, before any piecing: a text
  // in which none occurs holds none in any of its pieces, since neither a
  // piece's end nor a CR LF becoming LF can join the bytes of a marker.
  const WholeMarkerSearch& whole_markers() const { return whole_markers_; }

 private:
  static const int kPieceLimit = 255;

  void add_marker(const wchar_t* marker);
  void add_start_stop(uint8_t byte);
  void link_states();
  void end_piece();

  uint8_t next_[kMaxStates][256] = {};
  bool accepting_[kMaxStates] = {};
  // Bytes the fast skip must stop at: at the start state (a marker's first
  // byte, a line feed, a null), and past a null (a line feed).
  uint8_t start_stop_bytes_[kMaxSearchBytes] = {};
  int start_stop_count_ = 0;
  ByteSearch start_stops_;
  ByteSearch piece_end_stops_;
  WholeMarkerSearch whole_markers_;
  int state_count_ = 1;

  // Where the scan stands in the current piece.
  int state_ = 0;
  int piece_length_ = 0;
  bool past_null_ = false;
};

#include "piece_scanner.h"

namespace {

const uint8_t kLineFeed[] = {'\n'};

}  // namespace

PieceScanner::PieceScanner(const wchar_t* const* markers, size_t count)
    : start_stops_(nullptr, 0),
      piece_end_stops_(kLineFeed, 1),
      whole_markers_(markers, count) {
  add_start_stop('\n');
  add_start_stop(0);
  // The trie's edges go into next_; link_states then fills every missing
  // transition from the longest suffix that is also a prefix.
  for (size_t i = 0; i < count; ++i) add_marker(markers[i]);
  link_states();
  start_stops_ = ByteSearch(start_stop_bytes_, start_stop_count_);
}

void PieceScanner::add_start_stop(uint8_t byte) {
  for (int i = 0; i < start_stop_count_; ++i) {
    if (start_stop_bytes_[i] == byte) return;
  }
  // The constructor's contract keeps within the array; the bound only makes
  // sure that a broken contract cannot write past it.
  if (start_stop_count_ < kMaxSearchBytes)
    start_stop_bytes_[start_stop_count_++] = byte;
}

void PieceScanner::add_marker(const wchar_t* marker) {
  add_start_stop(static_cast<uint8_t>(marker[0]));
  int state = 0;
  for (const wchar_t* c = marker; *c != L'\0'; ++c) {
    uint8_t byte = static_cast<uint8_t>(*c);
    if (next_[state][byte] == 0)
      next_[state][byte] = static_cast<uint8_t>(state_count_++);
    state = next_[state][byte];
  }
  accepting_[state] = true;
}

void PieceScanner::link_states() {
  int fail[kMaxStates] = {};
  int queue[kMaxStates];
  int head = 0;
  int tail = 0;
  for (int byte = 0; byte < 256; ++byte) {
    if (next_[0][byte] != 0) queue[tail++] = next_[0][byte];
  }
  while (head < tail) {
    int state = queue[head++];
    accepting_[state] = accepting_[state] || accepting_[fail[state]];
    for (int byte = 0; byte < 256; ++byte) {
      int child = next_[state][byte];
      if (child != 0) {
        fail[child] = next_[fail[state]][byte];
        queue[tail++] = child;
      } else {
        next_[state][byte] = next_[fail[state]][byte];
      }
    }
  }
}

void PieceScanner::end_piece() {
  state_ = 0;
  piece_length_ = 0;
  past_null_ = false;
}

bool PieceScanner::feed(const char* bytes, size_t length) {
  const uint8_t* text = reinterpret_cast<const uint8_t*>(bytes);
  size_t i = 0;
  while (i < length) {
    // At the start state most bytes change nothing: pass them in a tight
    // loop up to the next one that may start a marker, end the piece or
    // stop the search (a null); past a null only the piece's end counts.
    if (state_ == 0) {
      const ByteSearch& stops = past_null_ ? piece_end_stops_ : start_stops_;
      size_t limit = i + static_cast<size_t>(kPieceLimit - piece_length_);
      if (limit > length) limit = length;
      const size_t j = stops.find(text, i, limit);
      piece_length_ += static_cast<int>(j - i);
      i = j;
      if (piece_length_ == kPieceLimit) {
        end_piece();
        continue;
      }
      if (i == length) break;
    }
    const uint8_t byte = text[i++];
    if (!past_null_) {
      if (byte == 0) {
        past_null_ = true;  // wcsstr stops at the piece's first null
        state_ = 0;
      } else {
        state_ = next_[state_][byte];
        if (accepting_[state_]) return true;
      }
    }
    if (byte == '\n' || ++piece_length_ == kPieceLimit) end_piece();
  }
  return false;
}

#include "vendor_text.h"

#include <stdio.h>
#include <string.h>
#include <wchar.h>
#include <windows.h>

#include "piece_scanner.h"
#include "text_mode.h"
#include "unique_resource.h"

namespace {

// Characters asked for in one read: a line, or a 255-character piece of a
// longer one, and the terminator.
const int kPieceChars = 256;
const DWORD kBlockBytes = 64 * 1024;
const DWORD kTextChunkBytes = 4 * 1024;
const wchar_t kMakerMarker[] = L"DevedoZudi";
const wchar_t kEarlierVendorMarker[] = L"Nelvora";
// What the driver store's scanner takes (its constructor's contract).
static_assert(sizeof kMakerMarker / sizeof(wchar_t) - 1 +
                      sizeof kEarlierVendorMarker / sizeof(wchar_t) - 1 <
                  PieceScanner::kMaxStates,
              "the vendor markers must fit the scanner's table");
static_assert(kVendorMarkerCount + 2 <= kMaxSearchBytes,
              "the markers' first bytes must fit the scanner's skip");
static_assert(kVendorMarkerCount <= kMaxWholeMarkers &&
                  sizeof kMakerMarker / sizeof(wchar_t) - 1 <=
                      kMaxWholeMarkerBytes &&
                  sizeof kEarlierVendorMarker / sizeof(wchar_t) - 1 <=
                      kMaxWholeMarkerBytes,
              "the vendor markers must fit the raw bytes' first look");

bool piece_contains_any(const wchar_t* piece, const wchar_t* const* markers,
                        size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (wcsstr(piece, markers[i]) != nullptr) return true;
  }
  return false;
}

bool stream_contains_any(FILE* file, const wchar_t* const* markers,
                         size_t count) {
  wchar_t piece[kPieceChars];
  while (fgetws(piece, kPieceChars, file) != nullptr) {
    if (piece_contains_any(piece, markers, count)) return true;
  }
  return false;
}

// Raw bytes as read, with room before them for the end of the previous
// block, so that a marker cut by a block's end is seen whole.
char read_buffer[kMaxWholeMarkerBytes + kBlockBytes];
char* const block = read_buffer + kMaxWholeMarkerBytes;

// True when a marker occurs anywhere in the file's bytes as they are on
// disk; a read error counts as the end of the file, as it does for fgetws.
bool raw_bytes_hold_marker(HANDLE file, const WholeMarkerSearch& markers) {
  // At most kMaxWholeMarkerBytes - 1 bytes, the room before the block.
  const size_t keep_limit = markers.longest() > 0 ? markers.longest() - 1 : 0;
  size_t kept = 0;
  DWORD got = 0;
  while (ReadFile(file, block, kBlockBytes, &got, nullptr) && got > 0) {
    const size_t length = kept + got;
    if (markers.occurs_in(block - kept, length)) return true;
    kept = length < keep_limit ? length : keep_limit;
    memmove(block - kept, block + got - kept, kept);
  }
  return false;
}

// True when a piece of the file's text, decoded as the runtime's narrow text
// mode would, holds a marker.
bool text_holds_marker(HANDLE file, PieceScanner* scanner) {
  // The text is decoded and scanned a little at a time, so that it is still
  // in the processor's nearest cache when it is scanned.
  char text[kTextChunkBytes + 1];
  TextModeDecoder decoder;
  DWORD got = 0;
  while (!decoder.ended() &&
         ReadFile(file, block, kBlockBytes, &got, nullptr) && got > 0) {
    for (DWORD at = 0; at < got && !decoder.ended(); at += kTextChunkBytes) {
      const size_t length =
          got - at < kTextChunkBytes ? got - at : kTextChunkBytes;
      if (scanner->feed(text, decoder.decode(block + at, length, text))) {
        return true;
      }
    }
  }
  return scanner->feed(text, decoder.finish(text));
}

}  // namespace

const wchar_t* const kVendorMarkers[kVendorMarkerCount] = {
    kMakerMarker, kEarlierVendorMarker};

bool file_contains_any(const char* path, const char* mode,
                       const wchar_t* const* markers, size_t count) {
  FILE* opened = nullptr;
  if (fopen_s(&opened, path, mode) != 0) return false;
  FileStream file(opened);
  return stream_contains_any(file.get(), markers, count);
}

bool narrow_file_contains_any(const char* path, PieceScanner* scanner) {
  scanner->restart();
  // Opened as fopen "r" opens: read access, shared for reading and writing.
  FileHandle file(CreateFileA(path, GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;
  // Nearly every file of a driver store names no vendor: one quick look at
  // its raw bytes settles that, and only a file that holds a marker
  // somewhere is read again and decoded the way the runtime would.
  if (!raw_bytes_hold_marker(file.get(), scanner->whole_markers()))
    return false;
  LARGE_INTEGER start = {};
  if (!SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN)) return false;
  return text_holds_marker(file.get(), scanner);
}

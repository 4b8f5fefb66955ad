#include "vendor_text.h"

#include <wchar.h>

#include "file_stream.h"

const wchar_t kMakerMarker[] = L"DevedoZudi";
const wchar_t kEarlierVendorMarker[] = L"Nelvora";

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

bool file_contains_any(const char* path, const char* mode,
                       const wchar_t* const* markers, size_t count) {
  FileStream file(path, mode);
  if (!file.is_open()) return false;
  return stream_contains_any(file.get(), markers, count);
}

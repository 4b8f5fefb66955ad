#pragma once
// Whether a text file names a vendor: its lines are read in pieces of at
// most 255 characters and each piece is searched by itself, case-sensitively.

#include <stddef.h>

class PieceScanner;

// The vendor markers, in the order tried on every piece: the maker's
// ("DevedoZudi"), then the earlier vendor's ("Nelvora").
const size_t kVendorMarkerCount = 2;
extern const wchar_t* const kVendorMarkers[kVendorMarkerCount];

// Opens path with mode, reads it piece by piece until one contains one of
// the count markers (true) or the text ends or fails to read, and closes it;
// false when the file cannot be opened.
bool file_contains_any(const char* path, const char* mode,
                       const wchar_t* const* markers, size_t count);

// The same answer as file_contains_any(path, "r", <the scanner's markers>),
// for the INF files of the driver store: the file is read as the C runtime's
// narrow text mode hands it out, in the "C" locale, where every byte is one
// character; but it is opened and read with the plain Win32 calls in large
// blocks, and the pieces are scanned as the bytes come. The runtime's open
// and its character-by-character fgetws cost several times the reading
// itself on a large driver store. The caller keeps the scanner from file to
// file: building its table costs more than scanning a small file.
bool narrow_file_contains_any(const char* path, PieceScanner* scanner);

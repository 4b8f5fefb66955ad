#pragma once
// The wide stream under a DIR: the search of one folder, with the find
// record it last filled and the pattern it was started with.

#include <errno.h>
#include <stdlib.h>
#include <windows.h>

struct WideStream {
  WIN32_FIND_DATAW find_record;  // the entry the search last returned
  int cached;            // non-zero while find_record has not been handed out
  HANDLE search_handle;  // INVALID_HANDLE_VALUE once the search has ended
  wchar_t* pattern;      // full path + separator + "*", on the heap
};

// True, with errno set to ENOENT, for a null or empty path (narrow or wide),
// on which no stream opens.
template <typename Char>
bool is_missing_path(const Char* path) {
  if (path != nullptr && path[0] != Char(0)) return false;
  _set_errno(ENOENT);
  return true;
}

// Starts a search of the folder at path; null (errno ENOENT where a search
// could not start) on failure. The first entry is cached.
WideStream* open_wide_stream(const wchar_t* path);

// The next find record or null at the end, which also ends the search.
const WIN32_FIND_DATAW* next_find_record(WideStream* stream);

// Ends the search if still active and frees everything.
void close_wide_stream(WideStream* stream);

// Makes full_path (length characters) a search pattern in place: a
// separator unless it already ends in one ('\', '/' or ':'), then "*".
// The buffer must have room for length + 3 characters.
void finish_search_pattern(wchar_t* full_path, size_t length);

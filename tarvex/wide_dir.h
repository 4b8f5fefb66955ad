#pragma once
// The wide stream under a DIR: the find record, the search handle and the
// pattern the search was started with.

#include <windows.h>

struct WDIR {
  WIN32_FIND_DATAW data;
  int cached;     // non-zero while data holds an entry not yet handed out
  HANDLE handle;  // INVALID_HANDLE_VALUE once the search has ended or failed
  wchar_t* patt;  // full path + separator + "*", on the heap
};

// Starts a search of the folder at path; null (errno ENOENT where a search
// could not start) on failure. The first entry is cached.
WDIR* wopendir(const wchar_t* path);

// The next find record or null at the end, which also ends the search.
const WIN32_FIND_DATAW* wreaddir(WDIR* stream);

// Ends the search if still active and frees everything.
void wclosedir(WDIR* stream);

// Makes full_path (length characters) a search pattern in place: a
// separator unless it already ends in one ('\', '/' or ':'), then "*".
// The buffer must have room for length + 3 characters.
void finish_search_pattern(wchar_t* full_path, size_t length);

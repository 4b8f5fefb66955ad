#include "wide_dir.h"

#include <errno.h>
#include <stdlib.h>

namespace {

// Room beyond the full path: a separator, the asterisk, the terminator, and
// slack.
const size_t kPatternSlack = 8;

bool ends_in_separator(wchar_t last) {
  return last == L'\\' || last == L'/' || last == L':';
}

void free_stream(WDIR* stream) {
  free(stream->patt);
  free(stream);
}

}  // namespace

void finish_search_pattern(wchar_t* full_path, size_t length) {
  if (length == 0 || !ends_in_separator(full_path[length - 1])) {
    full_path[length++] = L'\\';
  }
  full_path[length++] = L'*';
  full_path[length] = L'\0';
}

WDIR* wopendir(const wchar_t* path) {
  if (path == nullptr || path[0] == L'\0') {
    _set_errno(ENOENT);
    return nullptr;
  }
  WDIR* stream = static_cast<WDIR*>(malloc(sizeof(WDIR)));
  if (stream == nullptr) return nullptr;
  stream->cached = 0;
  stream->handle = INVALID_HANDLE_VALUE;
  stream->patt = nullptr;

  DWORD needed = GetFullPathNameW(path, 0, nullptr, nullptr);
  stream->patt =
      static_cast<wchar_t*>(malloc((needed + kPatternSlack) * sizeof(wchar_t)));
  if (stream->patt == nullptr) {
    free_stream(stream);
    return nullptr;
  }
  // The second answer must fit the room the first one asked for; if the
  // path grew in between (the current folder changed), give up rather than
  // write past the pattern.
  DWORD written = GetFullPathNameW(path, needed, stream->patt, nullptr);
  if (written == 0 || written >= needed) {
    _set_errno(ENOENT);
    free_stream(stream);
    return nullptr;
  }
  finish_search_pattern(stream->patt, written);

  stream->handle = FindFirstFileW(stream->patt, &stream->data);
  if (stream->handle == INVALID_HANDLE_VALUE) {
    _set_errno(ENOENT);
    free_stream(stream);
    return nullptr;
  }
  stream->cached = 1;
  return stream;
}

const WIN32_FIND_DATAW* wreaddir(WDIR* stream) {
  if (stream->cached) {
    stream->cached = 0;
    return &stream->data;
  }
  if (stream->handle == INVALID_HANDLE_VALUE) return nullptr;
  if (!FindNextFileW(stream->handle, &stream->data)) {
    FindClose(stream->handle);
    stream->handle = INVALID_HANDLE_VALUE;
    return nullptr;
  }
  return &stream->data;
}

void wclosedir(WDIR* stream) {
  if (stream->handle != INVALID_HANDLE_VALUE) {
    FindClose(stream->handle);
    stream->handle = INVALID_HANDLE_VALUE;
  }
  free_stream(stream);
}

#include "wide_stream.h"

#include <errno.h>
#include <stdlib.h>

namespace {

// Room beyond the full path: a separator, the asterisk, the terminator, and
// slack.
const size_t kPatternSlack = 8;

bool ends_in_separator(wchar_t last) {
  return last == L'\\' || last == L'/' || last == L':';
}

void free_stream(WideStream* stream) {
  free(stream->pattern);
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

WideStream* open_wide_stream(const wchar_t* path) {
  if (is_missing_path(path)) return nullptr;
  WideStream* stream = static_cast<WideStream*>(malloc(sizeof(WideStream)));
  if (stream == nullptr) return nullptr;
  stream->cached = 0;
  stream->search_handle = INVALID_HANDLE_VALUE;
  stream->pattern = nullptr;

  DWORD needed = GetFullPathNameW(path, 0, nullptr, nullptr);
  stream->pattern =
      static_cast<wchar_t*>(malloc((needed + kPatternSlack) * sizeof(wchar_t)));
  if (stream->pattern == nullptr) {
    free_stream(stream);
    return nullptr;
  }
  // The second answer must fit the room the first one asked for; if the
  // path grew in between (the current folder changed), give up rather than
  // write past the pattern.
  DWORD written = GetFullPathNameW(path, needed, stream->pattern, nullptr);
  if (written == 0 || written >= needed) {
    _set_errno(ENOENT);
    free_stream(stream);
    return nullptr;
  }
  finish_search_pattern(stream->pattern, written);

  stream->search_handle = FindFirstFileW(stream->pattern, &stream->find_record);
  if (stream->search_handle == INVALID_HANDLE_VALUE) {
    _set_errno(ENOENT);
    free_stream(stream);
    return nullptr;
  }
  stream->cached = 1;
  return stream;
}

const WIN32_FIND_DATAW* next_find_record(WideStream* stream) {
  if (stream->cached) {
    stream->cached = 0;
    return &stream->find_record;
  }
  if (stream->search_handle == INVALID_HANDLE_VALUE) return nullptr;
  if (!FindNextFileW(stream->search_handle, &stream->find_record)) {
    FindClose(stream->search_handle);
    stream->search_handle = INVALID_HANDLE_VALUE;
    return nullptr;
  }
  return &stream->find_record;
}

void close_wide_stream(WideStream* stream) {
  if (stream->search_handle != INVALID_HANDLE_VALUE) {
    FindClose(stream->search_handle);
    stream->search_handle = INVALID_HANDLE_VALUE;
  }
  free_stream(stream);
}

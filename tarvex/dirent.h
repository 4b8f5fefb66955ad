#pragma once
// A directory stream with the POSIX shape, built on the Win32 file search.
// Names cross this interface as narrow text in the "C" locale.

#include <stddef.h>
#include <stdint.h>

#define DT_UNKNOWN 0
#define DT_CHR 0x2000
#define DT_DIR 0x4000
#define DT_REG 0x8000

struct dirent {
  int32_t d_ino;      // always 0
  uint16_t d_reclen;  // sizeof(dirent) when the name converted, else 0
  size_t d_namlen;    // bytes in d_name without the terminator
  int32_t d_type;     // DT_DIR, DT_REG, DT_CHR or DT_UNKNOWN
  char d_name[260];
};

struct WideStream;

struct DIR {
  dirent entry;             // the record every readdir overwrites, handed out
  WideStream* wide_stream;  // owned by this DIR
};

// Opens the folder at path; null with errno ENOENT when it cannot be listed.
DIR* opendir(const char* path);

// The next entry ("." and ".." included) or null at the end. The record
// stays valid until the next readdir that returns one, or closedir.
dirent* readdir(DIR* dir);

// Releases the stream; 0, or -1 with errno EBADF for a null or half-built one.
int closedir(DIR* dir);

// Beside the POSIX shape: the long name, as the search returned it, of the
// entry the last readdir handed out, so that a caller can tell whether d_name
// is that very name or a stand-in for it (the 8.3 short name, or "?"). Null
// for a null or half-built stream.
const wchar_t* readdir_long_name(const DIR* dir);

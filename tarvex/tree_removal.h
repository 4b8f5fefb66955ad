#pragma once
// Removing a leftover folder tree in process, with handles: every entry is
// opened relative to its parent folder's open handle, as itself rather than
// what a link in its place points to, and decided on by that handle. No
// path is ever built from names, so a folder swapped for a link while the
// walk runs cannot lead it outside the tree, and every folder the walk is
// inside is held so that nobody can rename it away meanwhile.

#include <windows.h>

#include <string>
#include <vector>

#include "entry_rule.h"

// How a deletion is asked for: with POSIX semantics (the name goes at once,
// even while others still hold the file), ignoring the read-only attribute
// or not; or the classic way (the name goes when the last handle closes).
enum class DeletionMode { kPosixIgnoringReadOnly, kPosix, kClassic };

// The mode to try after mode was answered with error: the next weaker one
// when the error says the platform or the volume has no such deletion, mode
// itself when the error is about the entry; kClassic stays kClassic.
DeletionMode mode_after(DeletionMode mode, DWORD error);

// Whether a deletion that failed with error may succeed a moment later: a
// folder still holds a file somebody else is closing, or somebody holds the
// entry without sharing deletion for a moment.
bool worth_retrying(DWORD error);

// An entry that could not be deleted: its path, as shown to whoever runs
// tarvex, and the system's error code for why.
struct StayedEntry {
  std::wstring path;
  DWORD error;
};

// If name, in the folder held by parent, is a plain folder by the walk's
// rule (not a file, not a link, reached through none), deletes it with
// everything under it as far as it can, and returns true: what cannot be
// deleted (in use, access denied) is left and the rest still goes, and an
// entry of any kind that may go a moment later is retried for a few
// seconds at the most over the whole tree. Each entry that stayed, but for
// what the walk leaves on purpose (a link, or what one points to), is added
// to *stayed (if given) in the order met, its path shown as shown (the
// folder's own) followed by the names below it. Returns false, touching
// nothing, when it is absent, cannot be listed, or is a file or a link.
// Nothing behind a link inside is touched.
bool remove_folder_tree(HANDLE parent, const wchar_t* name,
                        const std::wstring& shown = std::wstring(),
                        std::vector<StayedEntry>* stayed = nullptr);

#pragma once
// Removing a leftover folder tree in process, with handles: every entry is
// opened relative to its parent folder's open handle, as itself rather than
// what a link in its place points to, and decided on by that handle. No
// path is ever built from names, so a folder swapped for a link while the
// walk runs cannot lead it outside the tree, and every folder the walk is
// inside is held so that nobody can rename it away meanwhile.

#include <windows.h>

#include <string>

// What is done with an entry once it is open.
enum class EntryAction { kDescend, kDelete, kLeave };

// The action for an entry: listed, the attributes its parent's listing gave;
// opened, those of the handle opened on it as itself; at_own_path, whether
// that handle's final path is its parent's and its own name. A handle that
// holds a link itself (a reparse point) is deleted, which removes the link
// alone; one that holds what a link points to (the listing or the final
// path says link, the handle does not) is left. Only a plain folder is
// descended into.
EntryAction entry_action(DWORD listed, DWORD opened, bool at_own_path);

// True when entry_final, the final path of an entry's handle, is
// parent_final (its folder's final path) followed by name: the entry was
// reached through no link. Compared without regard to case, as the file
// system names them.
bool is_own_path(const std::wstring& parent_final, const std::wstring& name,
                 const std::wstring& entry_final);

// How a deletion is asked for: with POSIX semantics (the name goes at once,
// even while others still hold the file), ignoring the read-only attribute
// or not; or the classic way (the name goes when the last handle closes).
enum class DeletionMode { kPosixIgnoringReadOnly, kPosix, kClassic };

// The mode to try after mode was answered with error: the next weaker one
// when the error says the platform or the volume has no such deletion, mode
// itself when the error is about the entry; kClassic stays kClassic.
DeletionMode mode_after(DeletionMode mode, DWORD error);

// Whether a folder's deletion that failed with error may succeed a moment
// later: it still holds a file somebody else is closing, or somebody holds
// it without sharing deletion for a moment.
bool worth_retrying(DWORD error);

// If name, in the folder held by parent, is a plain folder by the walk's
// rule (not a file, not a link, reached through none), deletes it with
// everything under it as far as it can, and returns true: what cannot be
// deleted (in use, access denied) is left and the rest still goes, and a
// folder that cannot go at once is retried for a few seconds at the most
// over the whole tree. Returns false, touching nothing, when it is absent,
// cannot be listed, or is a file or a link. Nothing behind a link inside
// is touched.
bool remove_folder_tree(HANDLE parent, const wchar_t* name);

#pragma once
// Removing a leftover folder tree in process, with handles: every entry is
// opened relative to its parent folder's open handle, as itself rather than
// what a link in its place points to, and decided on by that handle. No
// path is ever built from names, so a folder swapped for a link while the
// walk runs cannot lead it outside the tree.

#include <windows.h>

#include <string>

// What is done with an entry once it is open.
enum class EntryAction { kDescend, kDelete, kLeave };

// The action for an entry: listed, the attributes its parent's listing gave
// (0 when there is none); opened, those of the handle opened on it as
// itself; at_own_path, whether that handle's final path is its parent's
// and its own name. A handle that holds a link itself (a reparse point) is
// deleted, which removes the link alone; one that holds what a link points
// to (the listing or the final path says link, the handle does not) is
// left. Only a plain folder is descended into.
EntryAction entry_action(DWORD listed, DWORD opened, bool at_own_path);

// True when entry_final, the final path of an entry's handle, is
// parent_final (its folder's final path) followed by name: the entry was
// reached through no link. Compared without regard to case, as the file
// system names them.
bool is_own_path(const std::wstring& parent_final, const std::wstring& name,
                 const std::wstring& entry_final);

// Deletes the entry name of the folder held by parent (opened with listing
// access) with everything under it, as far as it can: what cannot be
// deleted (in use, access denied) is left and the rest still goes. Nothing
// behind a link inside is touched.
void remove_tree_below(HANDLE parent, const wchar_t* name);

#pragma once
// The one rule by which an entry, opened as itself, is judged: the walk
// that removes a leftover tree applies it to every entry it meets, and
// installer to the package it hands over. What the listing said, what the
// handle holds and where the handle's object really is must agree before
// anything is done to it, or on its strength.

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

// True when the entry is a plain file reached through no link: one the walk
// would delete as a file, neither a folder nor a link nor what one points to.
bool is_plain_file(DWORD listed, DWORD opened, bool at_own_path);

// True when entry_final, the final path of an entry's handle, is
// parent_final (its folder's final path) followed by name: the entry was
// reached through no link. Compared without regard to case, as the file
// system names them.
bool is_own_path(const std::wstring& parent_final, const std::wstring& name,
                 const std::wstring& entry_final);

// The path the handle's object has now, links resolved, in form (the flags
// GetFinalPathNameByHandleW takes); empty if unknown.
std::wstring final_path(HANDLE handle, DWORD form);

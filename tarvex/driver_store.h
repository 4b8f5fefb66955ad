#pragma once
// Phase 1: have pnputil delete and uninstall the first driver package of the
// driver store whose INF file names a vendor.

#include <stddef.h>

// True when a name the search returned is one tarvex may act on: its long
// name itself fits oem*.inf (not only its 8.3 short name), and it holds no
// blank, tab or double quote, at which pnputil would split the unquoted line
// and take another file for the INF.
bool usable_inf_name(const wchar_t* found_name);

// Forms "c:\Windows\INF\" (on this machine's Windows folder) + the found
// file name (wide, as the search gave
// it) in path (capacity bytes); false when the name does not narrow whole,
// when its narrow form would open another file (read back through the ANSI
// code page it is not the same name), or when the path would not fit: the
// file read and the file named to pnputil are always the one that was found.
bool build_inf_path(const wchar_t* found_name, char* path, size_t capacity);

// Writes "/delete-driver " + inf_path + " /uninstall /force", widened, into
// line (capacity characters); false if it would not fit whole.
bool build_delete_driver_arguments(const char* inf_path, wchar_t* line,
                                   size_t capacity);

// Runs phase 1 on this machine.
void purge_driver_store();

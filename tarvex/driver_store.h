#pragma once
// Phase 1: have pnputil delete and uninstall the first driver package of the
// driver store whose INF file names a vendor.

#include <stddef.h>

// Forms "c:\Windows\INF\" + the found file name (wide, as the search gave
// it) in path (capacity bytes); false when the name does not narrow whole
// or the path would not fit, so no path is formed from part of a name.
bool build_inf_path(const wchar_t* found_name, char* path, size_t capacity);

// Writes "/delete-driver " + inf_path + " /uninstall /force", widened, into
// line (capacity characters); false if it would not fit whole.
bool build_delete_driver_arguments(const char* inf_path, wchar_t* line,
                                   size_t capacity);

// Runs phase 1 on this machine.
void purge_driver_store();

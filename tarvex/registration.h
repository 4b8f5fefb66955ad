#pragma once
// Phase 2: delete the two uninstall keys of the InstallShield-installed
// product whose setup.ini names a vendor.

#include <stddef.h>

// Bytes of the entry-name buffer: names of at most 59 bytes are handled.
const size_t kEntryNameBytes = 60;

// "." and ".." are not products.
bool is_dot_entry(const char* name);

// Forms base folder + name + "\setup.ini" in path (capacity bytes); false
// if it would not fit whole.
bool build_setup_ini_path(const char* name, char* path, size_t capacity);

// Forms both uninstall key names for the product name, each in capacity
// bytes; false if either would not fit whole.
bool build_uninstall_keys(const char* name, char* first_key, char* second_key,
                          size_t capacity);

// Runs phase 2 on this machine: 0 when the second key was deleted; else 1
// when the base folder cannot be opened, 2 when no entry names a vendor (or
// its key names would not fit), or the second deletion's Windows error.
int cleanup_registration();

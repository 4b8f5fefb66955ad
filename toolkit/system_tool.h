#pragma once
// Child programs are always taken from the system folder by full path: an
// elevated program must not run a same-named file planted in its current
// folder or named by a variable that an unelevated user can set.

#include <stddef.h>

// Writes system_dir (length characters, as GetSystemDirectoryW reported
// them) + "\" + tool into path (capacity characters); false, with path
// empty, when the folder is unknown (length 0), was not read whole, or the
// whole path would not fit.
bool build_system_tool_path(const wchar_t* system_dir, size_t length,
                            const wchar_t* tool, wchar_t* path,
                            size_t capacity);

// The full path of tool in this machine's system folder; false if unknown.
bool system_tool_path(const wchar_t* tool, wchar_t* path, size_t capacity);

// The system folder itself, ending in a separator: the current folder for a
// child that needs none of its own. False if unknown.
bool system_folder_path(wchar_t* path, size_t capacity);

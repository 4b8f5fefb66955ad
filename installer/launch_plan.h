#pragma once

#include <stddef.h>

// Quiet mode: exactly one argument, and it is "/s" or "/S".
bool is_quiet_mode(int argc, const char* const* argv);

// Writes directory (length characters, as GetCurrentDirectoryW reported it)
// followed by "\*.msi" into pattern; false, with nothing searched, when the
// directory cannot be read whole or the pattern would not fit.
bool build_msi_pattern(const wchar_t* directory, size_t length,
                       wchar_t* pattern, size_t capacity);

// Writes /i "<msi_name>" (plus " /quiet /qn" in quiet mode) into line;
// false when the whole line would not fit, never a shortened line.
bool build_msiexec_arguments(const wchar_t* msi_name, bool quiet, wchar_t* line,
                             size_t capacity);

// Writes system_dir + "\" + tool into path; false when it would not fit or
// the system folder is unknown (length 0).
bool build_system_tool_path(const wchar_t* system_dir, size_t length,
                            const wchar_t* tool, wchar_t* path,
                            size_t capacity);

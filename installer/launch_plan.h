#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

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

// True when the long name a search returned itself ends in ".msi" (any case):
// a match found only through its 8.3 short name (x.msix) is not an MSI.
bool is_msi_name(const wchar_t* found_name);

// Writes line into text (capacity bytes) in 8-bit text, every character
// that 8-bit text cannot carry shown as "?"; false if it would not fit whole.
bool build_shown_text(const wchar_t* line, char* text, size_t capacity);

// Writes the visible echo of line into text (capacity bytes): a line feed,
// the line in 8-bit text with every character that 8-bit text cannot carry
// shown as "?", and a line feed; false if it would not fit whole.
bool build_echo_text(const wchar_t* line, char* text, size_t capacity);

// Writes into folder the folder of the file whose final path (in the form
// GetFinalPathNameByHandleW gives with a drive letter, or a server's share)
// is final_path, as a child's current folder is given: "\\?\C:\p\a.msi"
// gives "C:\p", a file at a root the root with its separator. False when
// final_path names no file in a folder, or the folder is too long to be a
// current folder.
bool folder_of_final_path(const std::wstring& final_path, std::wstring* folder);

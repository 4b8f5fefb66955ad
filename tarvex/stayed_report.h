#pragma once
// Naming what stayed of a removed folder, as the command interpreter's
// rmdir /s /q named it on the console: someone who finds the folder still
// there learns which entries are left and why.

#include <stddef.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tree_removal.h"

// At most this many lines are printed, the last of them saying how many
// more stayed when there are more.
inline constexpr size_t kMostStayedLines = 20;

// The lines for what stayed: "<path> - <message>" for each entry, message
// the system's text for its error (message_of), without a line end; of
// more than most entries, the first most - 1 and then "<n> more entries
// could not be removed." None when nothing stayed.
std::vector<std::wstring> stayed_lines(const std::vector<StayedEntry>& stayed,
                                       size_t most,
                                       std::wstring (*message_of)(DWORD));

// The system's own message for error, without its line end.
std::wstring system_message(DWORD error);

// Prints the lines for stayed on standard output.
void report_stayed(const std::vector<StayedEntry>& stayed);

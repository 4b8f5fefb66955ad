#pragma once
// The folders tarvex works in, where this machine's system says they are:
// the driver store under the Windows folder, the InstallShield data and the
// program folders under Program Files (x86). Windows may live on another
// drive, and any user may make folders at the root of drive c, so a fixed
// path on it could name a folder a user made. On a standard machine every
// text is exactly the fixed one; elsewhere the same text is built on the
// system's folder; where the system cannot say, nothing is found there.

#include <stddef.h>

// How the fixed texts begin on a standard machine.
inline constexpr char kStandardWindowsFolder[] = "c:\\Windows";
inline constexpr char kStandardProgramFilesX86[] = "c:\\Program Files (x86)";

// Writes literal (a fixed text that begins with standard, a folder, compared
// without regard to case) as it is on this machine, whose folder is system
// (null: unknown): literal itself when system is standard but for case and a
// trailing separator, else system followed by the rest of literal. False,
// with text empty, when system is unknown or empty, does not narrow whole,
// literal does not begin with standard, or the text would not fit.
bool build_on_folder(const wchar_t* system, const char* standard,
                     const char* literal, char* text, size_t capacity);
// The same for a wide literal (a search pattern) and a wide text.
bool build_on_folder(const wchar_t* system, const char* standard,
                     const wchar_t* literal, wchar_t* text, size_t capacity);

// This machine's Windows folder (GetSystemWindowsDirectoryW), and its
// Program Files (x86) (the value administrators keep for it in the 64-bit
// registry view, which is where the system takes its known folder from);
// null where the system cannot say. Read once.
const wchar_t* system_windows_folder();
const wchar_t* system_program_files_x86();

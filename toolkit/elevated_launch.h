#pragma once
// Starting a child elevated through the Windows shell.

#include <stdint.h>

// The shell verb that starts a program with administrator rights.
extern const wchar_t kRunasVerb[];

// ShellExecuteW(no window, verb, program, parameters, no folder, show), the
// shell loaded from the system folder: the value ShellExecuteW returned, with
// GetLastError as the call left it (cleared before it). 0, with GetLastError
// set, when the shell could not be loaded.
intptr_t shell_execute(const wchar_t* verb, const wchar_t* program,
                       const wchar_t* parameters, int show);

// Starts program (a full path) with the "runas" verb, parameters and show
// state, no owner window and no working folder, and waits without a time
// limit until it has ended. A failed or refused launch is neither waited on
// nor closed; false then.
bool run_elevated_and_wait(const wchar_t* program, const wchar_t* parameters,
                           int show);

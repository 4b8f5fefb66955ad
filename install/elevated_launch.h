#pragma once
// Starting a child elevated through the Windows shell: install runs as its
// invoker, and the shell's "runas" verb is what elevates pnputil.

// The shell verb that starts a program with administrator rights.
extern const wchar_t kRunasVerb[];

// Starts program (a full path) with the "runas" verb, parameters and show
// state, no owner window and no working folder, and waits without a time
// limit until it has ended. A failed or refused launch is neither waited on
// nor closed; false then.
bool run_elevated_and_wait(const wchar_t* program, const wchar_t* parameters,
                           int show);

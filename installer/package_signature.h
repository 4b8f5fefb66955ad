#pragma once
// Reading Authenticode signatures: who signed a file (the primary signer of
// its embedded signature) and what WinVerifyTrust says of it. crypt32 and
// wintrust are loaded at run time from the system folder only: imported,
// they would be looked for beside the program first, in a folder its user
// can write, and neither is a KnownDLL.

#include <windows.h>

#include "package_guard.h"

// True when the file at path carries an embedded signature whose primary
// signer can be read; whether anyone trusts it does not matter here.
bool carries_signature(const wchar_t* path);

// What the signatures of the package (package_path, as msiexec will be
// given it, held open as package so that it cannot be changed or replaced
// meanwhile) and of installer.exe (own_path, itself signed) say.
SignatureFacts read_signature_facts(const wchar_t* own_path,
                                    const wchar_t* package_path,
                                    HANDLE package);

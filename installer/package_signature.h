#pragma once
// Reading a package's Authenticode signature in one verification: whether
// its content verifies, and who signed it, both from the same verified
// state. crypt32 and wintrust are loaded at run time from the system folder
// only: imported, they would be looked for beside the program first, in a
// folder its user can write, and neither is a KnownDLL.

#include <stddef.h>
#include <windows.h>

#include "package_guard.h"

// Verifies the package held open as package (named name, in the current
// folder) and compares its signer's public key with key (key_bytes of a DER
// SubjectPublicKeyInfo); fills in facts' verifier, trust, signer_read and
// same_key.
void read_signature_facts(HANDLE package, const wchar_t* name,
                          const unsigned char* key, size_t key_bytes,
                          PackageFacts* facts);

#pragma once
// The public key installer was built for: the DER SubjectPublicKeyInfo of
// the certificate the release is signed with, written into the program when
// it is built (cmake/SignerKey.cmake). Nothing about it is read from
// installer.exe's file while it runs, so renaming or replacing that file
// changes nothing. A build given no certificate carries none (0 bytes) and
// hands over any package.

#include <stddef.h>

extern const unsigned char kBuiltInSignerKey[];
extern const size_t kBuiltInSignerKeyBytes;

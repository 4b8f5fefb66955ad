#pragma once
// Whether the package found may be handed to Windows Installer, which runs
// its custom actions with administrator rights. An installer built for a
// signing key hands over only a package that is a plain file, whose content
// its signature covers, signed with that very key; the chain's trust does
// not decide. The decisions only; holding the file is package_hold's,
// reading its signature package_signature's.

#include <windows.h>

enum class PackageVerdict {
  kHandOver,
  kNameHoldsQuote,
  kUnreadable,
  kNotPlainFile,
  kNoVerifier,
  kUnsigned,
  kUnknownForm,
  kNotIntact,
  kNotVerified,
  kOtherKey
};

// What is known of the package, each fact read only if those before it hold.
struct PackageFacts {
  bool opened;       // it could be opened as itself and held
  bool plain_file;   // a plain file at its own path, reached through no link
  bool verifier;     // wintrust and crypt32 loaded from the system folder
  LONG trust;        // WinVerifyTrust's answer through the held handle
  bool signer_read;  // the signer's certificate came from that verification
  bool same_key;     // and its public key is the one installer was built for
};

// The verdict on a package (for an installer built for a key): handed over
// when it is a plain file whose signature verifies, at most its chain
// unknown, expired or ending in a root nobody trusts, and whose signer holds
// the built-in key. Any failure to read something refuses it.
PackageVerdict judge_package(const PackageFacts& facts);

// True when name can stand between the double quotes of msiexec's line: it
// holds no double quote (Windows forbids one in a name; Wine does not, and
// there one would end the quoted name and add options of its own).
bool is_quotable_name(const wchar_t* name);

// The reason, in a few words, for a verdict other than kHandOver.
const char* refusal_reason(PackageVerdict verdict);

#pragma once
// Whether the package found may be handed to Windows Installer, which runs
// its custom actions with administrator rights: a signed installer.exe
// hands over only a package signed with its own key, whose content its
// signature still covers. The decisions only; reading signatures is
// package_signature's.

#include <windows.h>

enum class PackageVerdict {
  kHandOver,
  kNameHoldsQuote,
  kUnreadable,
  kUnsigned,
  kOtherKey,
  kNotIntact
};

// What is known of the package and of installer.exe itself.
struct SignatureFacts {
  bool own_signed;      // installer.exe carries an embedded signature
  bool package_read;    // the package could be opened to be checked
  bool package_signed;  // the package does, with a primary signer
  bool same_key;        // whose public key is installer.exe's signer's
  LONG package_trust;   // WinVerifyTrust's answer for the package
  LONG own_trust;       // and for installer.exe
};

// The verdict on a package by its signature: an unsigned installer.exe
// hands over any package, as it always did. A signed one hands over a
// package signed with the same key whose signature verifies, or fails only
// as installer.exe's own does (a vendor's test certificate that no root
// trusts), but never one with a changed content, no signature, or a form
// the verifier does not know.
PackageVerdict judge_package(const SignatureFacts& facts);

// True when name can stand between the double quotes of msiexec's line: it
// holds no double quote (Windows forbids one in a name; Wine does not, and
// there one would end the quoted name and add options of its own).
bool is_quotable_name(const wchar_t* name);

// The reason, in a few words, for a verdict other than kHandOver.
const char* refusal_reason(PackageVerdict verdict);

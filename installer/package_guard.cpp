#include "package_guard.h"

#include <wchar.h>

namespace {

// WinVerifyTrust's answers about the chain alone, given only once the
// content has verified against its signature: the built-in key decides,
// not the roots this machine happens to trust.
const LONG kChainOnlyAnswers[] = {CERT_E_UNTRUSTEDROOT,
                                  CERT_E_UNTRUSTEDTESTROOT, CERT_E_CHAINING,
                                  CERT_E_EXPIRED};

const char kQuoteReason[] = "its name holds a double quote";
const char kUnreadableReason[] = "it cannot be opened to be checked";
const char kNotPlainFileReason[] = "it is a link or a folder, not a file";
const char kNoVerifierReason[] =
    "the system's signature verifier could not be loaded";
const char kUnsignedReason[] = "it carries no signature";
const char kUnknownFormReason[] =
    "it is not a file whose signature can be checked";
const char kNotIntactReason[] = "its content is not what was signed";
const char kNotVerifiedReason[] = "its signature could not be verified";
const char kOtherKeyReason[] =
    "it is not signed with the key installer.exe was built for";

bool content_verified(LONG trust) {
  if (trust == ERROR_SUCCESS) return true;
  for (LONG chain_only : kChainOnlyAnswers) {
    if (trust == chain_only) return true;
  }
  return false;
}

}  // namespace

PackageVerdict judge_package(const PackageFacts& facts) {
  if (!facts.opened) return PackageVerdict::kUnreadable;
  if (!facts.plain_file) return PackageVerdict::kNotPlainFile;
  if (!facts.verifier) return PackageVerdict::kNoVerifier;
  if (facts.trust == TRUST_E_NOSIGNATURE) return PackageVerdict::kUnsigned;
  if (facts.trust == TRUST_E_SUBJECT_FORM_UNKNOWN)
    return PackageVerdict::kUnknownForm;
  if (facts.trust == TRUST_E_BAD_DIGEST) return PackageVerdict::kNotIntact;
  if (!content_verified(facts.trust) || !facts.signer_read)
    return PackageVerdict::kNotVerified;
  if (!facts.same_key) return PackageVerdict::kOtherKey;
  return PackageVerdict::kHandOver;
}

bool is_quotable_name(const wchar_t* name) {
  return wcschr(name, L'"') == nullptr;
}

const char* refusal_reason(PackageVerdict verdict) {
  switch (verdict) {
    case PackageVerdict::kNameHoldsQuote:
      return kQuoteReason;
    case PackageVerdict::kUnreadable:
      return kUnreadableReason;
    case PackageVerdict::kNotPlainFile:
      return kNotPlainFileReason;
    case PackageVerdict::kNoVerifier:
      return kNoVerifierReason;
    case PackageVerdict::kUnsigned:
      return kUnsignedReason;
    case PackageVerdict::kUnknownForm:
      return kUnknownFormReason;
    case PackageVerdict::kNotIntact:
      return kNotIntactReason;
    case PackageVerdict::kOtherKey:
      return kOtherKeyReason;
    case PackageVerdict::kNotVerified:
    case PackageVerdict::kHandOver:
      break;
  }
  return kNotVerifiedReason;
}

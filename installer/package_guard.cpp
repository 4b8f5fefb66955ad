#include "package_guard.h"

#include <wchar.h>

namespace {

// WinVerifyTrust's answers that say the content is not what was signed,
// whatever installer.exe's own answer: a changed file, no signature, a
// file the verifier cannot read as a signed one.
const LONG kBadDigest = static_cast<LONG>(0x80096010);
const LONG kNoSignature = static_cast<LONG>(0x800B0100);
const LONG kUnknownSubjectForm = static_cast<LONG>(0x800B0003);

const char kQuoteReason[] = "its name holds a double quote";
const char kUnreadableReason[] = "it cannot be opened to be checked";
const char kUnsignedReason[] = "it carries no signature";
const char kOtherKeyReason[] =
    "it is not signed with the key installer.exe is signed with";
const char kNotIntactReason[] = "its signature does not verify";

}  // namespace

PackageVerdict judge_package(const SignatureFacts& facts) {
  if (!facts.own_signed) return PackageVerdict::kHandOver;
  if (!facts.package_read) return PackageVerdict::kUnreadable;
  if (!facts.package_signed) return PackageVerdict::kUnsigned;
  if (!facts.same_key) return PackageVerdict::kOtherKey;
  const LONG trust = facts.package_trust;
  if (trust == kBadDigest || trust == kNoSignature ||
      trust == kUnknownSubjectForm)
    return PackageVerdict::kNotIntact;
  if (trust == ERROR_SUCCESS || trust == facts.own_trust)
    return PackageVerdict::kHandOver;
  return PackageVerdict::kNotIntact;
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
    case PackageVerdict::kUnsigned:
      return kUnsignedReason;
    case PackageVerdict::kOtherKey:
      return kOtherKeyReason;
    case PackageVerdict::kNotIntact:
    case PackageVerdict::kHandOver:
      break;
  }
  return kNotIntactReason;
}

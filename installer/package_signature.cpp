#include "package_signature.h"

#include <wincrypt.h>
#include <wintrust.h>
// softpub.h needs wintrust.h first.
#include <softpub.h>

#include "unique_resource.h"

namespace {

const wchar_t kCryptLibrary[] = L"crypt32.dll";
const wchar_t kTrustLibrary[] = L"wintrust.dll";
const DWORD kEncodings = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

// The functions used, found once; all null if a library is missing.
struct SignatureLibrary {
  decltype(&CryptDecodeObjectEx) decode;
  decltype(&CertComparePublicKeyInfo) compare_keys;
  decltype(&WinVerifyTrust) verify_trust;
  decltype(&WTHelperProvDataFromStateData) provider_data;
  decltype(&WTHelperGetProvSignerFromChain) signer;
};

template <typename Function>
void find(HMODULE library, const char* name, Function* function) {
  *function = library == nullptr
                  ? nullptr
                  : reinterpret_cast<Function>(
                        reinterpret_cast<void*>(GetProcAddress(library, name)));
}

// Loaded once and kept to the end of the process, as imported libraries are.
const SignatureLibrary& library() {
  static const SignatureLibrary loaded = [] {
    const HMODULE crypt =
        LoadLibraryExW(kCryptLibrary, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    const HMODULE trust =
        LoadLibraryExW(kTrustLibrary, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    SignatureLibrary functions = {};
    find(crypt, "CryptDecodeObjectEx", &functions.decode);
    find(crypt, "CertComparePublicKeyInfo", &functions.compare_keys);
    find(trust, "WinVerifyTrust", &functions.verify_trust);
    find(trust, "WTHelperProvDataFromStateData", &functions.provider_data);
    find(trust, "WTHelperGetProvSignerFromChain", &functions.signer);
    return functions;
  }();
  return loaded;
}

bool library_complete() {
  const SignatureLibrary& f = library();
  return f.decode && f.compare_keys && f.verify_trust && f.provider_data &&
         f.signer;
}

void free_local(CERT_PUBLIC_KEY_INFO* memory) { LocalFree(memory); }
using DecodedKey =
    UniqueResource<HandleKind<CERT_PUBLIC_KEY_INFO*, &free_local>>;

// One verification of the file held as file: no user interface, no
// revocation check, nothing fetched from the network. Its state stays open,
// for the signer to be read from, until the holder goes.
class Verification {
 public:
  Verification(HANDLE file, const wchar_t* name) {
    subject_.cbStruct = sizeof subject_;
    subject_.pcwszFilePath = name;
    subject_.hFile = file;
    data_.cbStruct = sizeof data_;
    data_.dwUIChoice = WTD_UI_NONE;
    data_.fdwRevocationChecks = WTD_REVOKE_NONE;
    data_.dwUnionChoice = WTD_CHOICE_FILE;
    data_.pFile = &subject_;
    data_.dwStateAction = WTD_STATEACTION_VERIFY;
    data_.dwProvFlags =
        WTD_REVOCATION_CHECK_NONE | WTD_CACHE_ONLY_URL_RETRIEVAL;
    answer_ = call();
  }
  ~Verification() {
    data_.dwStateAction = WTD_STATEACTION_CLOSE;
    call();
  }
  Verification(const Verification&) = delete;
  Verification& operator=(const Verification&) = delete;

  LONG answer() const { return answer_; }

  // The signer's own certificate (the leaf of its chain) as this
  // verification found it; null if there is none.
  PCCERT_CONTEXT signer_certificate() const {
    const SignatureLibrary& f = library();
    CRYPT_PROVIDER_DATA* provider = f.provider_data(data_.hWVTStateData);
    if (provider == nullptr) return nullptr;
    CRYPT_PROVIDER_SGNR* signer = f.signer(provider, 0, FALSE, 0);
    if (signer == nullptr || signer->csCertChain == 0 ||
        signer->pasCertChain == nullptr)
      return nullptr;
    return signer->pasCertChain[0].pCert;
  }

 private:
  LONG call() {
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    return library().verify_trust(static_cast<HWND>(INVALID_HANDLE_VALUE),
                                  &action, &data_);
  }

  WINTRUST_FILE_INFO subject_ = {};
  WINTRUST_DATA data_ = {};
  LONG answer_ = 0;
};

// True when certificate's public key is the one key (a DER
// SubjectPublicKeyInfo) holds. The key, not the certificate: a renewed
// certificate keeps the key and still matches, while another certificate
// under the same name (from any authority) does not.
bool holds_key(PCCERT_CONTEXT certificate, const unsigned char* key,
               size_t key_bytes) {
  const SignatureLibrary& f = library();
  CERT_PUBLIC_KEY_INFO* decoded = nullptr;
  DWORD size = 0;
  if (!f.decode(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, key,
                static_cast<DWORD>(key_bytes), CRYPT_DECODE_ALLOC_FLAG, nullptr,
                &decoded, &size))
    return false;
  DecodedKey built_in(decoded);
  return f.compare_keys(kEncodings, built_in.get(),
                        &certificate->pCertInfo->SubjectPublicKeyInfo) != FALSE;
}

}  // namespace

void read_signature_facts(HANDLE package, const wchar_t* name,
                          const unsigned char* key, size_t key_bytes,
                          PackageFacts* facts) {
  facts->verifier = library_complete();
  if (!facts->verifier) return;
  const Verification verification(package, name);
  facts->trust = verification.answer();
  const PCCERT_CONTEXT signer = verification.signer_certificate();
  facts->signer_read = signer != nullptr;
  facts->same_key = facts->signer_read && holds_key(signer, key, key_bytes);
}

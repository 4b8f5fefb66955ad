#include "package_signature.h"

#include <wincrypt.h>
#include <wintrust.h>
// softpub.h needs wintrust.h first.
#include <softpub.h>

#include <vector>

#include "unique_resource.h"

namespace {

const wchar_t kCryptLibrary[] = L"crypt32.dll";
const wchar_t kTrustLibrary[] = L"wintrust.dll";
const DWORD kEncodings = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

// The functions used, found once; all null if a library is missing.
struct SignatureLibrary {
  decltype(&CryptQueryObject) query;
  decltype(&CryptMsgGetParam) message_parameter;
  decltype(&CryptMsgClose) close_message;
  decltype(&CertFindCertificateInStore) find_certificate;
  decltype(&CertFreeCertificateContext) free_certificate;
  decltype(&CertCloseStore) close_store;
  decltype(&CertComparePublicKeyInfo) compare_keys;
  decltype(&WinVerifyTrust) verify_trust;
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
    find(crypt, "CryptQueryObject", &functions.query);
    find(crypt, "CryptMsgGetParam", &functions.message_parameter);
    find(crypt, "CryptMsgClose", &functions.close_message);
    find(crypt, "CertFindCertificateInStore", &functions.find_certificate);
    find(crypt, "CertFreeCertificateContext", &functions.free_certificate);
    find(crypt, "CertCloseStore", &functions.close_store);
    find(crypt, "CertComparePublicKeyInfo", &functions.compare_keys);
    find(trust, "WinVerifyTrust", &functions.verify_trust);
    return functions;
  }();
  return loaded;
}

bool library_complete() {
  const SignatureLibrary& f = library();
  return f.query && f.message_parameter && f.close_message &&
         f.find_certificate && f.free_certificate && f.close_store &&
         f.compare_keys && f.verify_trust;
}

// The holders' close functions, through the loaded library.
void close_message(HCRYPTMSG message) { library().close_message(message); }
void close_store(HCERTSTORE store) { library().close_store(store, 0); }
void free_certificate(PCCERT_CONTEXT certificate) {
  library().free_certificate(certificate);
}
using MessageHandle = UniqueResource<HandleKind<HCRYPTMSG, &close_message>>;
using StoreHandle = UniqueResource<HandleKind<HCERTSTORE, &close_store>>;
using Certificate =
    UniqueResource<HandleKind<PCCERT_CONTEXT, &free_certificate>>;

// The certificate of the primary signer (the first) of the file's embedded
// signature, found in the certificates the signature carries; empty when
// there is none.
Certificate primary_signer(const wchar_t* path) {
  if (!library_complete()) return Certificate();
  const SignatureLibrary& f = library();
  HCERTSTORE store = nullptr;
  HCRYPTMSG message = nullptr;
  if (!f.query(CERT_QUERY_OBJECT_FILE, path,
               CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
               CERT_QUERY_FORMAT_FLAG_BINARY, 0, nullptr, nullptr, nullptr,
               &store, &message, nullptr))
    return Certificate();
  StoreHandle certificates(store);
  MessageHandle signature(message);
  DWORD size = 0;
  if (!f.message_parameter(message, CMSG_SIGNER_INFO_PARAM, 0, nullptr, &size))
    return Certificate();
  // Whole CMSG_SIGNER_INFO records, so the record is aligned as its own.
  std::vector<CMSG_SIGNER_INFO> buffer(size / sizeof(CMSG_SIGNER_INFO) + 1);
  if (!f.message_parameter(message, CMSG_SIGNER_INFO_PARAM, 0, buffer.data(),
                           &size))
    return Certificate();
  CERT_INFO wanted = {};
  wanted.Issuer = buffer[0].Issuer;
  wanted.SerialNumber = buffer[0].SerialNumber;
  return Certificate(f.find_certificate(
      store, kEncodings, 0, CERT_FIND_SUBJECT_CERT, &wanted, nullptr));
}

// WinVerifyTrust's generic verification of the file (through file, if
// given): no user interface, no revocation check, nothing fetched from the
// network.
LONG verify(const wchar_t* path, HANDLE file) {
  WINTRUST_FILE_INFO subject = {};
  subject.cbStruct = sizeof subject;
  subject.pcwszFilePath = path;
  subject.hFile = file;
  WINTRUST_DATA data = {};
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &subject;
  data.dwStateAction = WTD_STATEACTION_IGNORE;
  data.dwProvFlags = WTD_REVOCATION_CHECK_NONE | WTD_CACHE_ONLY_URL_RETRIEVAL;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  return library().verify_trust(static_cast<HWND>(INVALID_HANDLE_VALUE),
                                &action, &data);
}

}  // namespace

bool carries_signature(const wchar_t* path) {
  return primary_signer(path).valid();
}

SignatureFacts read_signature_facts(const wchar_t* own_path,
                                    const wchar_t* package_path,
                                    HANDLE package) {
  SignatureFacts facts = {true, true, false, false, 0, 0};
  const Certificate own = primary_signer(own_path);
  const Certificate signer = primary_signer(package_path);
  if (!own.valid() || !signer.valid()) return facts;
  facts.package_signed = true;
  // The public key, not the certificate: a renewed certificate keeps the
  // key and still matches, while another certificate under the same name
  // (from any authority) does not.
  facts.same_key = library().compare_keys(
                       kEncodings, &own.get()->pCertInfo->SubjectPublicKeyInfo,
                       &signer.get()->pCertInfo->SubjectPublicKeyInfo) != FALSE;
  facts.package_trust = verify(package_path, package);
  facts.own_trust = verify(own_path, nullptr);
  return facts;
}

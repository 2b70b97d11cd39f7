#ifdef _WIN32

#include "platform/os/TlsWin32Certificates.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/os/LocalFile.h"

// The SSL policy's flag for a root it may take as trusted (wininet.h's name).
#ifndef SECURITY_FLAG_IGNORE_UNKNOWN_CA
#define SECURITY_FLAG_IGNORE_UNKNOWN_CA 0x00000100
#endif

namespace platform {

namespace {

// Far more than any file of certificates or keys this reads.
constexpr std::size_t kMaxFileSize = 4 * 1024 * 1024;

std::string Hex(unsigned long code) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", code);
  return text;
}

// The DER bytes of every PEM block of `kind` ("CERTIFICATE") in `text`.
std::vector<std::vector<BYTE>> PemBlocks(std::string_view text, std::string_view kind) {
  const std::string begin = "-----BEGIN " + std::string(kind) + "-----";
  const std::string end = "-----END " + std::string(kind) + "-----";
  std::vector<std::vector<BYTE>> blocks;
  for (std::size_t at = text.find(begin); at != std::string_view::npos; at = text.find(begin, at)) {
    const std::size_t stop = text.find(end, at);
    if (stop == std::string_view::npos) break;
    const std::string_view block = text.substr(at, stop + end.size() - at);
    DWORD length = 0;
    const auto size = static_cast<DWORD>(block.size());
    if (CryptStringToBinaryA(block.data(), size, CRYPT_STRING_BASE64HEADER, nullptr, &length,
                             nullptr, nullptr)) {
      std::vector<BYTE> der(length);
      if (CryptStringToBinaryA(block.data(), size, CRYPT_STRING_BASE64HEADER, der.data(), &length,
                               nullptr, nullptr)) {
        der.resize(length);
        blocks.push_back(std::move(der));
      }
    }
    at = stop + end.size();
  }
  return blocks;
}

struct TChainFreer {
  void operator()(const CERT_CHAIN_CONTEXT* chain) const { CertFreeCertificateChain(chain); }
};
using TChain = std::unique_ptr<const CERT_CHAIN_CONTEXT, TChainFreer>;

TStore MemoryStore() {
  return TStore(CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr));
}

// A store of the certificates of a PEM file; none when it holds none.
}  // namespace

TStore LoadCertificates(const std::string& path) {
  const auto text = ReadSmallFile(path, kMaxFileSize);
  if (!text) return nullptr;
  TStore store = MemoryStore();
  if (!store) return nullptr;
  int added = 0;
  for (const auto& der : PemBlocks(*text, "CERTIFICATE")) {
    if (CertAddEncodedCertificateToStore(store.get(), X509_ASN_ENCODING, der.data(),
                                         static_cast<DWORD>(der.size()),
                                         CERT_STORE_ADD_REPLACE_EXISTING, nullptr))
      ++added;
  }
  return added > 0 ? std::move(store) : nullptr;
}

namespace {

// The PRIVATEKEYBLOB of an RSA key (PKCS #1 DER).
std::optional<std::vector<BYTE>> RsaKeyBlob(const std::vector<BYTE>& der) {
  BYTE* blob = nullptr;
  DWORD length = 0;
  if (!CryptDecodeObjectEx(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, PKCS_RSA_PRIVATE_KEY,
                           der.data(), static_cast<DWORD>(der.size()), CRYPT_DECODE_ALLOC_FLAG,
                           nullptr, &blob, &length))
    return std::nullopt;
  std::vector<BYTE> copy(blob, blob + length);
  LocalFree(blob);
  return copy;
}

TTlsError Untrusted(const std::string& why) {
  return {TTlsFailure::Untrusted, "the server's certificate is not trusted (" + why + ")"};
}

// An IP address is matched against the certificate's IP entries here: the
// system's SSL policy matches host names only on older Windows.
bool NamesAddress(const CERT_CONTEXT* certificate, const BYTE (&address)[4]) {
  const CERT_EXTENSION* extension =
      CertFindExtension(szOID_SUBJECT_ALT_NAME2, certificate->pCertInfo->cExtension,
                        certificate->pCertInfo->rgExtension);
  if (extension == nullptr) return false;
  CERT_ALT_NAME_INFO* names = nullptr;
  DWORD length = 0;
  if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, extension->Value.pbData,
                           extension->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr, &names,
                           &length))
    return false;
  bool found = false;
  for (DWORD i = 0; i < names->cAltEntry && !found; ++i) {
    const CERT_ALT_NAME_ENTRY& entry = names->rgAltEntry[i];
    found = entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS && entry.IPAddress.cbData == 4 &&
            std::memcmp(entry.IPAddress.pbData, address, 4) == 0;
  }
  LocalFree(names);
  return found;
}

}  // namespace

TClientCertificate::~TClientCertificate() {
  if (key_ != 0) CryptDestroyKey(key_);
  if (provider_ != 0) CryptReleaseContext(provider_, 0);
  if (!container_.empty()) {
    HCRYPTPROV gone = 0;
    CryptAcquireContextW(&gone, container_.c_str(),
                         containerProvider_.empty() ? nullptr : containerProvider_.c_str(),
                         containerType_, CRYPT_DELETEKEYSET);
  }
}

bool TClientCertificate::Load(const std::string& certFile, const std::string& keyFile,
                              TTlsError& error) {
  const auto fail = [&](const std::string& why) {
    error = {TTlsFailure::Setup, why};
    return false;
  };
  const auto text = ReadSmallFile(certFile, kMaxFileSize);
  if (!text) return fail("the client certificate '" + certFile + "' cannot be read");
  const auto pem = PemBlocks(*text, "CERTIFICATE");
  if (pem.empty()) {
    if (!LoadPfx(*text))
      return fail("the client certificate '" + certFile +
                  "' is neither PEM nor a PFX file without a password holding its key");
    return true;
  }
  certificate_.reset(CertCreateCertificateContext(X509_ASN_ENCODING, pem.front().data(),
                                                  static_cast<DWORD>(pem.front().size())));
  if (!certificate_) return fail("the client certificate '" + certFile + "' cannot be read");
  const std::string& keyPath = keyFile.empty() ? certFile : keyFile;
  const auto key = ReadSmallFile(keyPath, kMaxFileSize);
  if (!key || !ImportKey(*key))
    return fail("the client key '" + keyPath + "' cannot be read (an RSA key in PEM form)");
  return true;
}

bool TClientCertificate::LoadPfx(const std::string& contents) {
  CRYPT_DATA_BLOB blob{static_cast<DWORD>(contents.size()),
                       reinterpret_cast<BYTE*>(const_cast<char*>(contents.data()))};
  pfx_.reset(PFXImportCertStore(&blob, L"", CRYPT_USER_KEYSET));
  if (!pfx_) pfx_.reset(PFXImportCertStore(&blob, nullptr, CRYPT_USER_KEYSET));
  if (!pfx_) return false;
  // The certificate that came with its key; the system made a key container
  // for it, which is deleted again with this object.
  for (const CERT_CONTEXT* each = CertEnumCertificatesInStore(pfx_.get(), nullptr); each != nullptr;
       each = CertEnumCertificatesInStore(pfx_.get(), each)) {
    DWORD size = 0;
    if (!CertGetCertificateContextProperty(each, CERT_KEY_PROV_INFO_PROP_ID, nullptr, &size))
      continue;
    std::vector<BYTE> info(size);
    if (CertGetCertificateContextProperty(each, CERT_KEY_PROV_INFO_PROP_ID, info.data(), &size)) {
      const auto* where = reinterpret_cast<const CRYPT_KEY_PROV_INFO*>(info.data());
      if (where->pwszContainerName != nullptr) container_ = where->pwszContainerName;
      if (where->pwszProvName != nullptr) containerProvider_ = where->pwszProvName;
      containerType_ = where->dwProvType;
    }
    certificate_.reset(CertDuplicateCertificateContext(each));
    CertFreeCertificateContext(each);
    return true;
  }
  return false;
}

bool TClientCertificate::ImportKey(std::string_view pem) {
  std::optional<std::vector<BYTE>> blob;
  if (const auto pkcs1 = PemBlocks(pem, "RSA PRIVATE KEY"); !pkcs1.empty()) {
    blob = RsaKeyBlob(pkcs1.front());
  } else if (const auto pkcs8 = PemBlocks(pem, "PRIVATE KEY"); !pkcs8.empty()) {
    CRYPT_PRIVATE_KEY_INFO* info = nullptr;
    DWORD length = 0;
    if (CryptDecodeObjectEx(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, PKCS_PRIVATE_KEY_INFO,
                            pkcs8.front().data(), static_cast<DWORD>(pkcs8.front().size()),
                            CRYPT_DECODE_ALLOC_FLAG, nullptr, &info, &length)) {
      blob = RsaKeyBlob(std::vector<BYTE>(info->PrivateKey.pbData,
                                          info->PrivateKey.pbData + info->PrivateKey.cbData));
      LocalFree(info);
    }
  }
  if (!blob) return false;
  // A name no other session uses at the same time.
  char name[64];
  std::snprintf(name, sizeof name, "orbelin-tls-%lu-%p", GetCurrentProcessId(),
                static_cast<const void*>(this));
  if (!CryptAcquireContextA(&provider_, name, nullptr, PROV_RSA_AES, CRYPT_NEWKEYSET)) return false;
  container_.assign(name, name + std::strlen(name));
  containerType_ = PROV_RSA_AES;
  // Exportable: some SChannel implementations hand the key on to their TLS library.
  if (!CryptImportKey(provider_, blob->data(), static_cast<DWORD>(blob->size()), 0,
                      CRYPT_EXPORTABLE, &key_))
    return false;
  CRYPT_KEY_PROV_INFO where{};
  where.pwszContainerName = container_.data();
  where.dwProvType = PROV_RSA_AES;
  where.dwKeySpec = AT_KEYEXCHANGE;
  return CertSetCertificateContextProperty(certificate_.get(), CERT_KEY_PROV_INFO_PROP_ID, 0,
                                           &where) != 0;
}

// True when `host` is a dotted IPv4 address; its four bytes in `address`.
bool ParseIpv4(const std::string& host, BYTE (&address)[4]) {
  unsigned parts[4];
  char rest = 0;
  if (std::sscanf(host.c_str(), "%u.%u.%u.%u%c", &parts[0], &parts[1], &parts[2], &parts[3],
                  &rest) != 4)
    return false;
  for (int i = 0; i < 4; ++i) {
    if (parts[i] > 255) return false;
    address[i] = static_cast<BYTE>(parts[i]);
  }
  return true;
}

// Checks the server's certificate as `settings` ask, through the system's
// chain engine; the CA file, when given, is the only trusted root.
TTlsError CheckServerCertificate(const CERT_CONTEXT* server, const TTlsSettings& settings,
                                 HCERTSTORE caStore) {
  TStore supporting(
      CertOpenStore(CERT_STORE_PROV_COLLECTION, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr));
  if (!supporting) return Untrusted("no memory");
  // What the server sent along with its certificate, and the CA file.
  if (server->hCertStore != nullptr)
    CertAddStoreToCollection(supporting.get(), server->hCertStore, 0, 0);
  if (caStore != nullptr) CertAddStoreToCollection(supporting.get(), caStore, 0, 0);

  char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
  LPSTR usages[] = {serverAuth};
  CERT_CHAIN_PARA parameters{};
  parameters.cbSize = sizeof parameters;
  parameters.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
  parameters.RequestedUsage.Usage.cUsageIdentifier = 1;
  parameters.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
  const CERT_CHAIN_CONTEXT* built = nullptr;
  if (!CertGetCertificateChain(nullptr, server, nullptr, supporting.get(), &parameters, 0, nullptr,
                               &built))
    return Untrusted("no chain could be built: " + Hex(GetLastError()));
  const TChain chain(built);

  DWORD status = chain->TrustStatus.dwErrorStatus;
  if (status & CERT_TRUST_IS_NOT_TIME_VALID) {
    const LONG when = CertVerifyTimeValidity(nullptr, server->pCertInfo);
    if (when < 0) return {TTlsFailure::Expired, "the server's certificate is not valid yet"};
    if (when > 0) return {TTlsFailure::Expired, "the server's certificate has expired"};
    return {TTlsFailure::Expired, "a certificate of the server's chain has expired"};
  }
  bool ownRoot = false;
  if (caStore != nullptr) {
    // With a CA file, the chain must end at one of its certificates.
    const CERT_SIMPLE_CHAIN* simple = chain->cChain > 0 ? chain->rgpChain[0] : nullptr;
    const CERT_CONTEXT* root = simple != nullptr && simple->cElement > 0
                                   ? simple->rgpElement[simple->cElement - 1]->pCertContext
                                   : nullptr;
    const CERT_CONTEXT* listed =
        root == nullptr ? nullptr
                        : CertFindCertificateInStore(caStore, X509_ASN_ENCODING, 0,
                                                     CERT_FIND_EXISTING, root, nullptr);
    if (listed == nullptr) return Untrusted("it does not lead to a certificate of the CA file");
    CertFreeCertificateContext(listed);
    ownRoot = true;
    status &= ~DWORD{CERT_TRUST_IS_UNTRUSTED_ROOT};
  }
  if (status & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN))
    return Untrusted("unable to get local issuer certificate");
  if (status != CERT_TRUST_NO_ERROR) return Untrusted("chain status " + Hex(status));

  if (settings.Verify != TTlsVerify::ChainAndName) return {};
  BYTE address[4];
  if (ParseIpv4(settings.HostName, address)) {
    if (!NamesAddress(server, address))
      return {TTlsFailure::NameMismatch,
              "the server's certificate is not for '" + settings.HostName + "'"};
    return {};
  }
  std::wstring wideHost(settings.HostName.begin(), settings.HostName.end());
  SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
  ssl.cbStruct = sizeof ssl;
  ssl.dwAuthType = AUTHTYPE_SERVER;
  ssl.fdwChecks = ownRoot ? SECURITY_FLAG_IGNORE_UNKNOWN_CA : 0;
  ssl.pwszServerName = wideHost.data();
  CERT_CHAIN_POLICY_PARA policy{};
  policy.cbSize = sizeof policy;
  policy.pvExtraPolicyPara = &ssl;
  CERT_CHAIN_POLICY_STATUS result{};
  result.cbSize = sizeof result;
  if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policy, &result))
    return Untrusted("the system's SSL policy failed: " + Hex(GetLastError()));
  if (result.dwError == static_cast<DWORD>(CERT_E_CN_NO_MATCH))
    return {TTlsFailure::NameMismatch,
            "the server's certificate is not for '" + settings.HostName + "'"};
  if (result.dwError != 0) return Untrusted("SSL policy " + Hex(result.dwError));
  return {};
}

}  // namespace platform

#endif

#ifdef _WIN32

#include <windows.h>
// SSPI and CryptoAPI need the types of windows.h first.
#include <wincrypt.h>
#define SECURITY_WIN32
#include <schannel.h>
#include <security.h>
#include <sspi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "platform/os/LocalFile.h"
#include "platform/os/Tls.h"

// The SSL policy's flag for a root it may take as trusted (wininet.h's name).
#ifndef SECURITY_FLAG_IGNORE_UNKNOWN_CA
#define SECURITY_FLAG_IGNORE_UNKNOWN_CA 0x00000100
#endif

namespace platform {

namespace {

// Far more than any file of certificates or keys this reads.
constexpr std::size_t kMaxFileSize = 4 * 1024 * 1024;

constexpr DWORD kContextRequest =
    ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
    ISC_REQ_EXTENDED_ERROR | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_USE_SUPPLIED_CREDS;

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

// --- Handles ------------------------------------------------------------------

struct TStoreCloser {
  void operator()(void* store) const { CertCloseStore(static_cast<HCERTSTORE>(store), 0); }
};
using TStore = std::unique_ptr<void, TStoreCloser>;

struct TCertificateFreer {
  void operator()(const CERT_CONTEXT* certificate) const {
    CertFreeCertificateContext(certificate);
  }
};
using TCertificate = std::unique_ptr<const CERT_CONTEXT, TCertificateFreer>;

struct TChainFreer {
  void operator()(const CERT_CHAIN_CONTEXT* chain) const { CertFreeCertificateChain(chain); }
};
using TChain = std::unique_ptr<const CERT_CHAIN_CONTEXT, TChainFreer>;

TStore MemoryStore() {
  return TStore(CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr));
}

// A store of the certificates of a PEM file; none when it holds none.
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

// A private key imported for SChannel into a key container of its own, which
// goes again with this object (Windows XP knows no key that lives in memory
// only and is still usable by SChannel).
class TKeyContainer {
 public:
  TKeyContainer() = default;
  ~TKeyContainer() {
    if (key_ != 0) CryptDestroyKey(key_);
    if (provider_ != 0) CryptReleaseContext(provider_, 0);
    if (!name_.empty()) {
      HCRYPTPROV gone = 0;
      CryptAcquireContextA(&gone, name_.c_str(), nullptr, PROV_RSA_AES, CRYPT_DELETEKEYSET);
    }
  }
  TKeyContainer(const TKeyContainer&) = delete;
  TKeyContainer& operator=(const TKeyContainer&) = delete;

  // Imports an RSA key in PKCS #1 or PKCS #8 PEM form and ties it to `certificate`.
  bool Import(std::string_view pem, const CERT_CONTEXT* certificate);

 private:
  std::string name_;
  std::wstring wideName_;
  HCRYPTPROV provider_ = 0;
  HCRYPTKEY key_ = 0;
};

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

bool TKeyContainer::Import(std::string_view pem, const CERT_CONTEXT* certificate) {
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
  name_ = name;
  wideName_.assign(name_.begin(), name_.end());
  // Exportable: some SChannel implementations hand the key on to their TLS library.
  if (!CryptImportKey(provider_, blob->data(), static_cast<DWORD>(blob->size()), 0,
                      CRYPT_EXPORTABLE, &key_))
    return false;
  CRYPT_KEY_PROV_INFO where{};
  where.pwszContainerName = wideName_.data();
  where.dwProvType = PROV_RSA_AES;
  where.dwKeySpec = AT_KEYEXCHANGE;
  return CertSetCertificateContextProperty(certificate, CERT_KEY_PROV_INFO_PROP_ID, 0, &where) != 0;
}

// --- Certificate checks ---------------------------------------------------------

TTlsError Untrusted(const std::string& why) {
  return {TTlsFailure::Untrusted, "the server's certificate is not trusted (" + why + ")"};
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

// --- The session ------------------------------------------------------------------

std::string ProtocolName(DWORD protocol) {
  if (protocol & SP_PROT_TLS1_3_CLIENT) return "TLSv1.3";
  if (protocol & SP_PROT_TLS1_2_CLIENT) return "TLSv1.2";
  if (protocol & SP_PROT_TLS1_1_CLIENT) return "TLSv1.1";
  if (protocol & SP_PROT_TLS1_CLIENT) return "TLSv1";
  if (protocol & SP_PROT_SSL3_CLIENT) return "SSLv3";
  return "TLS";
}

std::string HandshakeReason(SECURITY_STATUS status) {
  switch (status) {
    case SEC_E_ALGORITHM_MISMATCH:
      return "the TLS handshake failed (no protocol version or cipher in common with the server; "
             "this system's TLS may be older than the server accepts)";
    case SEC_E_ILLEGAL_MESSAGE:
      return "the TLS handshake failed (the server sent what TLS does not allow, or refused "
             "the protocol version)";
    default:
      return "the TLS handshake failed (" + Hex(static_cast<unsigned long>(status)) + ")";
  }
}

class TSchannelEngine final : public TTlsEngine {
 public:
  explicit TSchannelEngine(TTlsSettings settings) : settings_(std::move(settings)) {}
  ~TSchannelEngine() override;

  bool Setup(TTlsError& error);

  TStep Handshake() override;
  void Feed(std::span<const std::uint8_t> data) override {
    in_.insert(in_.end(), data.begin(), data.end());
  }
  void TakeOutput(std::vector<std::uint8_t>& into) override {
    into.insert(into.end(), out_.begin(), out_.end());
    out_.clear();
  }
  bool Encrypt(std::span<const std::uint8_t> data) override;
  int Decrypt(std::span<std::uint8_t> into) override;
  void Shutdown() override;
  TTlsError Error() const override { return error_; }
  std::string Description() const override;

 private:
  bool LoadClientCertificate(TTlsError& error);
  // One call of the handshake function on what has been received.
  SECURITY_STATUS Step();
  TStep Finish();

  TTlsSettings settings_;
  TStore caStore_;
  TStore pfxStore_;
  TCertificate clientCertificate_;
  std::unique_ptr<TKeyContainer> clientKey_;
  CredHandle credentials_{};
  bool haveCredentials_ = false;
  CtxtHandle context_{};
  bool haveContext_ = false;
  SecPkgContext_StreamSizes sizes_{};
  std::vector<std::uint8_t> in_;
  std::vector<std::uint8_t> out_;
  std::vector<std::uint8_t> plain_;
  std::size_t plainStart_ = 0;
  bool closed_ = false;
  TTlsError error_;
};

TSchannelEngine::~TSchannelEngine() {
  if (haveContext_) DeleteSecurityContext(&context_);
  if (haveCredentials_) FreeCredentialsHandle(&credentials_);
}

bool TSchannelEngine::LoadClientCertificate(TTlsError& error) {
  const auto fail = [&](const std::string& why) {
    error = {TTlsFailure::Setup, why};
    return false;
  };
  const std::string& certFile = settings_.CertFile;
  const auto text = ReadSmallFile(certFile, kMaxFileSize);
  if (!text) return fail("the client certificate '" + certFile + "' cannot be read");
  const auto pem = PemBlocks(*text, "CERTIFICATE");
  if (pem.empty()) {
    // Not PEM: a PFX file with the key inside, without a password.
    CRYPT_DATA_BLOB blob{static_cast<DWORD>(text->size()),
                         reinterpret_cast<BYTE*>(const_cast<char*>(text->data()))};
    pfxStore_.reset(PFXImportCertStore(&blob, L"", CRYPT_USER_KEYSET));
    if (!pfxStore_) pfxStore_.reset(PFXImportCertStore(&blob, nullptr, CRYPT_USER_KEYSET));
    if (!pfxStore_)
      return fail("the client certificate '" + certFile +
                  "' is neither PEM nor a PFX file without a password");
    for (const CERT_CONTEXT* each = CertEnumCertificatesInStore(pfxStore_.get(), nullptr);
         each != nullptr; each = CertEnumCertificatesInStore(pfxStore_.get(), each)) {
      DWORD size = 0;
      if (CertGetCertificateContextProperty(each, CERT_KEY_PROV_INFO_PROP_ID, nullptr, &size)) {
        clientCertificate_.reset(CertDuplicateCertificateContext(each));
        CertFreeCertificateContext(each);
        break;
      }
    }
    if (!clientCertificate_)
      return fail("the client certificate '" + certFile + "' holds no certificate with its key");
    return true;
  }
  clientCertificate_.reset(CertCreateCertificateContext(X509_ASN_ENCODING, pem.front().data(),
                                                        static_cast<DWORD>(pem.front().size())));
  if (!clientCertificate_) return fail("the client certificate '" + certFile + "' cannot be read");
  const std::string& keyFile = settings_.KeyFile.empty() ? certFile : settings_.KeyFile;
  const auto key = ReadSmallFile(keyFile, kMaxFileSize);
  clientKey_ = std::make_unique<TKeyContainer>();
  if (!key || !clientKey_->Import(*key, clientCertificate_.get()))
    return fail("the client key '" + keyFile + "' cannot be read (an RSA key in PEM form)");
  return true;
}

bool TSchannelEngine::Setup(TTlsError& error) {
  if (settings_.Verify != TTlsVerify::None && !settings_.CaFile.empty()) {
    caStore_ = LoadCertificates(settings_.CaFile);
    if (!caStore_) {
      error = {TTlsFailure::Setup, "the CA file '" + settings_.CaFile + "' cannot be read"};
      return false;
    }
  }
  if (!settings_.CertFile.empty() && !LoadClientCertificate(error)) return false;

  SCHANNEL_CRED credentials{};
  credentials.dwVersion = SCHANNEL_CRED_VERSION;
  // The server's certificate is checked here, after the handshake; no
  // certificate of the user's store is offered unasked.
  credentials.dwFlags =
      SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_CRED_NO_SERVERNAME_CHECK;
  const CERT_CONTEXT* offered[] = {clientCertificate_.get()};
  if (clientCertificate_) {
    credentials.cCreds = 1;
    credentials.paCred = offered;
  }
  // TLS 1.2 is off by default for clients of Windows 7 and asked for here;
  // a system that knows no more than TLS 1.0 (Windows XP) refuses the
  // request, and then gets its own defaults.
  credentials.grbitEnabledProtocols =
      SP_PROT_TLS1_CLIENT | SP_PROT_TLS1_1_CLIENT | SP_PROT_TLS1_2_CLIENT;
  char package[] = UNISP_NAME_A;
  SECURITY_STATUS status =
      AcquireCredentialsHandleA(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &credentials,
                                nullptr, nullptr, &credentials_, nullptr);
  if (status != SEC_E_OK) {
    credentials.grbitEnabledProtocols = 0;
    status = AcquireCredentialsHandleA(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr,
                                       &credentials, nullptr, nullptr, &credentials_, nullptr);
  }
  if (status != SEC_E_OK) {
    error = {TTlsFailure::Setup, "the system's TLS (SChannel) refused to start: " +
                                     Hex(static_cast<unsigned long>(status))};
    return false;
  }
  haveCredentials_ = true;
  return true;
}

SECURITY_STATUS TSchannelEngine::Step() {
  SecBuffer input[2] = {};
  input[0].BufferType = SECBUFFER_TOKEN;
  input[0].cbBuffer = static_cast<unsigned long>(in_.size());
  input[0].pvBuffer = in_.data();
  input[1].BufferType = SECBUFFER_EMPTY;
  SecBufferDesc inputDesc{SECBUFFER_VERSION, 2, input};
  SecBuffer output[1] = {};
  output[0].BufferType = SECBUFFER_TOKEN;
  SecBufferDesc outputDesc{SECBUFFER_VERSION, 1, output};

  // The name goes out as SNI; an IP address is not a server name.
  BYTE address[4];
  std::string target = settings_.HostName;
  char* name = target.empty() || ParseIpv4(target, address) ? nullptr : target.data();
  unsigned long attributes = 0;
  const SECURITY_STATUS status = InitializeSecurityContextA(
      &credentials_, haveContext_ ? &context_ : nullptr, name, kContextRequest, 0, 0,
      haveContext_ ? &inputDesc : nullptr, 0, &context_, &outputDesc, &attributes, nullptr);
  if (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED) haveContext_ = true;
  if (output[0].pvBuffer != nullptr) {
    const auto* bytes = static_cast<const std::uint8_t*>(output[0].pvBuffer);
    out_.insert(out_.end(), bytes, bytes + output[0].cbBuffer);
    FreeContextBuffer(output[0].pvBuffer);
  }
  if (status != SEC_E_INCOMPLETE_MESSAGE) {
    // What the call did not take (the start of the next record) stays.
    if (haveContext_ && input[1].BufferType == SECBUFFER_EXTRA && input[1].cbBuffer > 0)
      in_.erase(in_.begin(), in_.end() - static_cast<std::ptrdiff_t>(input[1].cbBuffer));
    else if (status != SEC_I_INCOMPLETE_CREDENTIALS)
      in_.clear();
  }
  return status;
}

TTlsEngine::TStep TSchannelEngine::Handshake() {
  for (;;) {
    const bool first = !haveContext_;
    const SECURITY_STATUS status = Step();
    if (status == SEC_E_OK) return Finish();
    if (status == SEC_E_INCOMPLETE_MESSAGE) return TStep::NeedInput;
    if (status == SEC_I_INCOMPLETE_CREDENTIALS) continue;  // the server asked for none we have
    if (status == SEC_I_CONTINUE_NEEDED) {
      if (first || in_.empty()) return TStep::NeedInput;
      continue;
    }
    error_ = {TTlsFailure::Handshake, HandshakeReason(status)};
    return TStep::Failed;
  }
}

TTlsEngine::TStep TSchannelEngine::Finish() {
  if (QueryContextAttributesA(&context_, SECPKG_ATTR_STREAM_SIZES, &sizes_) != SEC_E_OK) {
    error_ = {TTlsFailure::Handshake, "the TLS session gave no record sizes"};
    return TStep::Failed;
  }
  if (settings_.Verify == TTlsVerify::None) return TStep::Done;
  const CERT_CONTEXT* server = nullptr;
  if (QueryContextAttributesA(&context_, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &server) != SEC_E_OK ||
      server == nullptr) {
    error_ = Untrusted("the server sent no certificate");
    return TStep::Failed;
  }
  const TCertificate held(server);
  error_ = CheckServerCertificate(server, settings_, caStore_.get());
  return error_.Failure == TTlsFailure::None ? TStep::Done : TStep::Failed;
}

bool TSchannelEngine::Encrypt(std::span<const std::uint8_t> data) {
  const std::size_t most = sizes_.cbMaximumMessage;
  if (most == 0) return false;
  while (!data.empty()) {
    const std::size_t piece = std::min(data.size(), most);
    const std::size_t at = out_.size();
    out_.resize(at + sizes_.cbHeader + piece + sizes_.cbTrailer);
    std::uint8_t* record = out_.data() + at;
    std::memcpy(record + sizes_.cbHeader, data.data(), piece);
    SecBuffer buffers[4] = {};
    buffers[0] = {sizes_.cbHeader, SECBUFFER_STREAM_HEADER, record};
    buffers[1] = {static_cast<unsigned long>(piece), SECBUFFER_DATA, record + sizes_.cbHeader};
    buffers[2] = {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, record + sizes_.cbHeader + piece};
    buffers[3].BufferType = SECBUFFER_EMPTY;
    SecBufferDesc description{SECBUFFER_VERSION, 4, buffers};
    if (EncryptMessage(&context_, 0, &description, 0) != SEC_E_OK) {
      out_.resize(at);
      return false;
    }
    out_.resize(at + buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer);
    data = data.subspan(piece);
  }
  return true;
}

int TSchannelEngine::Decrypt(std::span<std::uint8_t> into) {
  while (plainStart_ >= plain_.size()) {
    if (closed_) return kPeerClosed;
    if (in_.empty()) return kNeedInput;
    SecBuffer buffers[4] = {};
    buffers[0] = {static_cast<unsigned long>(in_.size()), SECBUFFER_DATA, in_.data()};
    for (int i = 1; i < 4; ++i) buffers[i].BufferType = SECBUFFER_EMPTY;
    SecBufferDesc description{SECBUFFER_VERSION, 4, buffers};
    const SECURITY_STATUS status = DecryptMessage(&context_, &description, 0, nullptr);
    if (status == SEC_E_INCOMPLETE_MESSAGE) return kNeedInput;
    if (status != SEC_E_OK && status != SEC_I_CONTEXT_EXPIRED && status != SEC_I_RENEGOTIATE)
      return kBroken;
    // The record is decrypted in place; what follows it stays for the next.
    plain_.clear();
    plainStart_ = 0;
    std::vector<std::uint8_t> rest;
    for (const SecBuffer& buffer : buffers) {
      const auto* bytes = static_cast<const std::uint8_t*>(buffer.pvBuffer);
      if (buffer.BufferType == SECBUFFER_DATA && bytes != nullptr)
        plain_.assign(bytes, bytes + buffer.cbBuffer);
      if (buffer.BufferType == SECBUFFER_EXTRA && buffer.cbBuffer > 0)
        rest.assign(in_.end() - static_cast<std::ptrdiff_t>(buffer.cbBuffer), in_.end());
    }
    in_ = std::move(rest);
    if (status == SEC_I_CONTEXT_EXPIRED) closed_ = true;
    if (status == SEC_I_RENEGOTIATE) {
      // Post-handshake messages (TLS 1.3 session tickets) go through the
      // handshake function; what it answers is sent with the next output.
      const SECURITY_STATUS renewed = Step();
      if (renewed != SEC_E_OK && renewed != SEC_I_CONTINUE_NEEDED &&
          renewed != SEC_E_INCOMPLETE_MESSAGE)
        return kBroken;
    }
  }
  const std::size_t count = std::min(plain_.size() - plainStart_, into.size());
  std::memcpy(into.data(), plain_.data() + plainStart_, count);
  plainStart_ += count;
  return static_cast<int>(count);
}

void TSchannelEngine::Shutdown() {
  if (!haveContext_) return;
  DWORD type = SCHANNEL_SHUTDOWN;
  SecBuffer token{sizeof type, SECBUFFER_TOKEN, &type};
  SecBufferDesc description{SECBUFFER_VERSION, 1, &token};
  if (ApplyControlToken(&context_, &description) != SEC_E_OK) return;
  in_.clear();
  static_cast<void>(Step());
}

std::string TSchannelEngine::Description() const {
  SecPkgContext_ConnectionInfo connection{};
  if (QueryContextAttributesA(const_cast<CtxtHandle*>(&context_), SECPKG_ATTR_CONNECTION_INFO,
                              &connection) != SEC_E_OK)
    return "TLS";
  std::string text = ProtocolName(connection.dwProtocol);
  // The suite's name where the system tells it (Windows Vista and later).
  SecPkgContext_CipherInfo cipher{};
  cipher.dwVersion = SECPKGCONTEXT_CIPHERINFO_V1;
  if (QueryContextAttributesA(const_cast<CtxtHandle*>(&context_), SECPKG_ATTR_CIPHER_INFO,
                              &cipher) == SEC_E_OK &&
      cipher.szCipherSuite[0] != 0) {
    text += ' ';
    for (const WCHAR* c = cipher.szCipherSuite; *c != 0; ++c) text += static_cast<char>(*c);
    return text;
  }
  char parts[64];
  std::snprintf(parts, sizeof parts, " cipher 0x%04lX/%lu bits, hash 0x%04lX",
                static_cast<unsigned long>(connection.aiCipher),
                static_cast<unsigned long>(connection.dwCipherStrength),
                static_cast<unsigned long>(connection.aiHash));
  return text + parts;
}

}  // namespace

std::unique_ptr<TTlsEngine> MakeTlsEngine(const TTlsSettings& settings, TTlsError& error) {
  auto engine = std::make_unique<TSchannelEngine>(settings);
  if (!engine->Setup(error)) return nullptr;
  return engine;
}

}  // namespace platform

#endif

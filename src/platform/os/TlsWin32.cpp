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

#include "platform/os/Tls.h"
#include "platform/os/TlsWin32Certificates.h"

namespace platform {

namespace {

constexpr DWORD kContextRequest =
    ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
    ISC_REQ_EXTENDED_ERROR | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_USE_SUPPLIED_CREDS;

std::string Hex(unsigned long code) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", code);
  return text;
}

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
  // One call of the handshake function on what has been received.
  SECURITY_STATUS Step();
  TStep Finish();

  TTlsSettings settings_;
  TStore caStore_;
  TClientCertificate client_;
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

bool TSchannelEngine::Setup(TTlsError& error) {
  if (settings_.Verify != TTlsVerify::None && !settings_.CaFile.empty()) {
    caStore_ = LoadCertificates(settings_.CaFile);
    if (!caStore_) {
      error = {TTlsFailure::Setup, "the CA file '" + settings_.CaFile + "' cannot be read"};
      return false;
    }
  }
  if (!settings_.CertFile.empty() && !client_.Load(settings_.CertFile, settings_.KeyFile, error))
    return false;

  SCHANNEL_CRED credentials{};
  credentials.dwVersion = SCHANNEL_CRED_VERSION;
  // The server's certificate is checked here, after the handshake; no
  // certificate of the user's store is offered unasked.
  credentials.dwFlags =
      SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_CRED_NO_SERVERNAME_CHECK;
  const CERT_CONTEXT* offered[] = {client_.Get()};
  if (client_.Get() != nullptr) {
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
    // With a client certificate the usual cause is a key that does not belong to it.
    error = {
        TTlsFailure::Setup,
        (client_.Get() != nullptr ? "the system's TLS (SChannel) refused the client certificate '" +
                                        settings_.CertFile + "' with its key: "
                                  : std::string("the system's TLS (SChannel) refused to start: ")) +
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
    error_ = {TTlsFailure::Untrusted, "the server sent no certificate"};
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

#ifndef _WIN32

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <climits>

#include "platform/os/OpenSslHandle.h"
#include "platform/os/Tls.h"

namespace platform {

namespace {

using TContext = TOpenSslHandle<SSL_CTX, SSL_CTX_free>;
using TSession = TOpenSslHandle<SSL, SSL_free>;

// The reason of OpenSSL's oldest queued error (the first thing that went
// wrong), or `fallback`.
std::string QueuedReason(const char* fallback) {
  const unsigned long code = ERR_peek_error();
  const char* reason = code != 0 ? ERR_reason_error_string(code) : nullptr;
  return reason != nullptr ? reason : fallback;
}

bool IsIpAddress(const std::string& host) {
  ASN1_OCTET_STRING* address = a2i_IPADDRESS(host.c_str());
  ASN1_OCTET_STRING_free(address);
  return address != nullptr;
}

TTlsError VerifyError(long result, const std::string& host) {
  switch (result) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
      return {TTlsFailure::Expired, "the server's certificate has expired"};
    case X509_V_ERR_CERT_NOT_YET_VALID:
      return {TTlsFailure::Expired, "the server's certificate is not valid yet"};
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
      return {TTlsFailure::NameMismatch, "the server's certificate is not for '" + host + "'"};
    default:
      return {TTlsFailure::Untrusted, std::string("the server's certificate is not trusted (") +
                                          X509_verify_cert_error_string(result) + ")"};
  }
}

class TOpenSslEngine final : public TTlsEngine {
 public:
  explicit TOpenSslEngine(std::string host) : host_(std::move(host)) {}

  bool Setup(const TTlsSettings& settings, TTlsError& error);

  TStep Handshake() override;
  void Feed(std::span<const std::uint8_t> data) override;
  void TakeOutput(std::vector<std::uint8_t>& into) override;
  bool Encrypt(std::span<const std::uint8_t> data) override;
  int Decrypt(std::span<std::uint8_t> into) override;
  void Shutdown() override;
  TTlsError Error() const override { return error_; }
  std::string Description() const override;

 private:
  bool SetupContext(const TTlsSettings& settings, TTlsError& error);

  std::string host_;
  TContext context_;
  TSession session_;
  BIO* incoming_ = nullptr;  // owned by session_
  BIO* outgoing_ = nullptr;  // owned by session_
  TTlsError error_;
};

bool TOpenSslEngine::SetupContext(const TTlsSettings& settings, TTlsError& error) {
  context_.reset(SSL_CTX_new(TLS_client_method()));
  if (!context_) {
    error = {TTlsFailure::Setup, "TLS cannot be set up (" + QueuedReason("no memory") + ")"};
    return false;
  }
  if (settings.Verify != TTlsVerify::None) {
    const bool trusted =
        settings.CaFile.empty()
            ? SSL_CTX_set_default_verify_paths(context_.get()) == 1
            : SSL_CTX_load_verify_locations(context_.get(), settings.CaFile.c_str(), nullptr) == 1;
    if (!trusted) {
      error = {TTlsFailure::Setup, settings.CaFile.empty()
                                       ? "the system's trusted certificates cannot be read"
                                       : "the CA file '" + settings.CaFile + "' cannot be read (" +
                                             QueuedReason("no certificate in it") + ")"};
      return false;
    }
    SSL_CTX_set_verify(context_.get(), SSL_VERIFY_PEER, nullptr);
  }
  if (!settings.CertFile.empty()) {
    const std::string& keyFile = settings.KeyFile.empty() ? settings.CertFile : settings.KeyFile;
    if (SSL_CTX_use_certificate_chain_file(context_.get(), settings.CertFile.c_str()) != 1) {
      error = {TTlsFailure::Setup, "the client certificate '" + settings.CertFile +
                                       "' cannot be read (" + QueuedReason("no certificate") + ")"};
      return false;
    }
    if (SSL_CTX_use_PrivateKey_file(context_.get(), keyFile.c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_check_private_key(context_.get()) != 1) {
      error = {TTlsFailure::Setup, "the client key '" + keyFile +
                                       "' cannot be read or does not match the certificate (" +
                                       QueuedReason("no key") + ")"};
      return false;
    }
  }
  return true;
}

bool TOpenSslEngine::Setup(const TTlsSettings& settings, TTlsError& error) {
  // The queue is the thread's, shared with whatever else uses OpenSSL here.
  ERR_clear_error();
  if (!SetupContext(settings, error)) {
    ERR_clear_error();
    return false;
  }
  session_.reset(SSL_new(context_.get()));
  incoming_ = BIO_new(BIO_s_mem());
  outgoing_ = BIO_new(BIO_s_mem());
  if (!session_ || incoming_ == nullptr || outgoing_ == nullptr) {
    BIO_free(incoming_);
    BIO_free(outgoing_);
    incoming_ = outgoing_ = nullptr;
    error = {TTlsFailure::Setup, "TLS cannot be set up (no memory)"};
    return false;
  }
  // An empty incoming buffer means "wait for more", not the end.
  BIO_set_mem_eof_return(incoming_, -1);
  SSL_set_bio(session_.get(), incoming_, outgoing_);
  SSL_set_connect_state(session_.get());

  // An IP address is checked as one and never sent as a server name.
  const bool isAddress = IsIpAddress(host_);
  if (settings.Verify == TTlsVerify::ChainAndName) {
    X509_VERIFY_PARAM* parameters = SSL_get0_param(session_.get());
    if (isAddress)
      X509_VERIFY_PARAM_set1_ip_asc(parameters, host_.c_str());
    else
      X509_VERIFY_PARAM_set1_host(parameters, host_.c_str(), 0);
  }
  if (!isAddress && !host_.empty())
    SSL_set_tlsext_host_name(session_.get(), const_cast<char*>(host_.c_str()));
  return true;
}

TTlsEngine::TStep TOpenSslEngine::Handshake() {
  ERR_clear_error();
  const int result = SSL_do_handshake(session_.get());
  if (result == 1) return TStep::Done;
  const int reason = SSL_get_error(session_.get(), result);
  if (reason == SSL_ERROR_WANT_READ) return TStep::NeedInput;
  const long verified = SSL_get_verify_result(session_.get());
  if (verified != X509_V_OK)
    error_ = VerifyError(verified, host_);
  else
    error_ = {TTlsFailure::Handshake,
              "the TLS handshake failed (" + QueuedReason("protocol error") + ")"};
  ERR_clear_error();
  return TStep::Failed;
}

void TOpenSslEngine::Feed(std::span<const std::uint8_t> data) {
  while (!data.empty()) {
    const int piece = static_cast<int>(std::min<std::size_t>(data.size(), INT_MAX));
    if (BIO_write(incoming_, data.data(), piece) != piece) return;
    data = data.subspan(static_cast<std::size_t>(piece));
  }
}

void TOpenSslEngine::TakeOutput(std::vector<std::uint8_t>& into) {
  const std::size_t pending = BIO_ctrl_pending(outgoing_);
  if (pending == 0) return;
  const std::size_t at = into.size();
  into.resize(at + pending);
  const int count = BIO_read(outgoing_, into.data() + at, static_cast<int>(pending));
  into.resize(at + static_cast<std::size_t>(std::max(count, 0)));
}

bool TOpenSslEngine::Encrypt(std::span<const std::uint8_t> data) {
  ERR_clear_error();
  while (!data.empty()) {
    const int piece = static_cast<int>(std::min<std::size_t>(data.size(), INT_MAX));
    const int written = SSL_write(session_.get(), data.data(), piece);
    if (written <= 0) {
      ERR_clear_error();
      return false;
    }
    data = data.subspan(static_cast<std::size_t>(written));
  }
  return true;
}

int TOpenSslEngine::Decrypt(std::span<std::uint8_t> into) {
  ERR_clear_error();
  const int count = SSL_read(session_.get(), into.data(),
                             static_cast<int>(std::min<std::size_t>(into.size(), INT_MAX)));
  if (count > 0) return count;
  const int reason = SSL_get_error(session_.get(), count);
  ERR_clear_error();
  if (reason == SSL_ERROR_WANT_READ) return kNeedInput;
  if (reason == SSL_ERROR_ZERO_RETURN) return kPeerClosed;
  return kBroken;
}

void TOpenSslEngine::Shutdown() {
  ERR_clear_error();
  static_cast<void>(SSL_shutdown(session_.get()));
  ERR_clear_error();
}

std::string TOpenSslEngine::Description() const {
  const SSL_CIPHER* cipher = SSL_get_current_cipher(session_.get());
  if (cipher == nullptr) return {};
  const char* name = SSL_CIPHER_standard_name(cipher);
  if (name == nullptr) name = SSL_CIPHER_get_name(cipher);
  return std::string(SSL_get_version(session_.get())) + " " + name;
}

}  // namespace

std::unique_ptr<TTlsEngine> MakeTlsEngine(const TTlsSettings& settings, TTlsError& error) {
  auto engine = std::make_unique<TOpenSslEngine>(settings.HostName);
  if (!engine->Setup(settings, error)) return nullptr;
  return engine;
}

}  // namespace platform

#endif

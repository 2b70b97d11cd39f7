#include "bench/TlsServer.h"

#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <stdexcept>

namespace bench {

namespace {

constexpr long kValidSeconds = 24 * 60 * 60;

struct FreeKey {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct FreeCertificate {
  void operator()(X509* certificate) const { X509_free(certificate); }
};

// Calls `transfer` (SSL_read or SSL_write) until all of `data` has gone
// through; false when it fails.
template <typename Byte, typename Transfer>
bool TransferAll(std::span<Byte> data, Transfer transfer, SSL* ssl) {
  while (!data.empty()) {
    const int piece = static_cast<int>(std::min<std::size_t>(data.size(), INT_MAX));
    const int count = transfer(ssl, data.data(), piece);
    if (count <= 0) return false;
    data = data.subspan(static_cast<std::size_t>(count));
  }
  return true;
}

void Require(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("TLS server: cannot ") + what);
}

}  // namespace

TlsContext::TlsContext() {
  const std::unique_ptr<EVP_PKEY, FreeKey> key(EVP_RSA_gen(2048));
  Require(key != nullptr, "make an RSA key");
  const std::unique_ptr<X509, FreeCertificate> certificate(X509_new());
  Require(certificate != nullptr, "make a certificate");
  X509* cert = certificate.get();
  X509_set_version(cert, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
  X509_gmtime_adj(X509_getm_notBefore(cert), -kValidSeconds);
  X509_gmtime_adj(X509_getm_notAfter(cert), kValidSeconds);
  X509_NAME* name = X509_get_subject_name(cert);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
  X509_set_issuer_name(cert, name);
  Require(X509_set_pubkey(cert, key.get()) == 1 && X509_sign(cert, key.get(), EVP_sha256()) > 0,
          "sign the certificate");
  context_ = SSL_CTX_new(TLS_server_method());
  Require(context_ != nullptr, "make a TLS context");
  if (SSL_CTX_use_certificate(context_, cert) != 1 ||
      SSL_CTX_use_PrivateKey(context_, key.get()) != 1) {
    SSL_CTX_free(context_);
    context_ = nullptr;
    Require(false, "use the certificate");
  }
}

TlsContext::~TlsContext() {
  SSL_CTX_free(context_);
}

TlsSocket::TlsSocket(const TlsContext& context, Socket& socket) : ssl_(SSL_new(context.Get())) {
  if (ssl_ != nullptr && SSL_set_fd(ssl_, socket.Fd()) == 1 && SSL_accept(ssl_) == 1) return;
  SSL_free(ssl_);
  ssl_ = nullptr;
}

TlsSocket::~TlsSocket() {
  SSL_free(ssl_);
}

bool TlsSocket::WriteAll(std::span<const std::uint8_t> data) {
  return TransferAll(data, SSL_write, ssl_);
}

bool TlsSocket::ReadExactly(std::span<std::uint8_t> data) {
  return TransferAll(data, SSL_read, ssl_);
}

}  // namespace bench

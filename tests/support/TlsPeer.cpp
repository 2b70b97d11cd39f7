#include "support/TlsPeer.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <map>
#include <stdexcept>

struct TlsPeer::TState {
  SSL* session = nullptr;
  BIO* incoming = nullptr;
  BIO* outgoing = nullptr;
  ~TState() { SSL_free(session); }  // frees both BIOs
};

namespace {

// One server context per certificate for the whole process: the sweeps make
// thousands of peers, and a context is the costly part.
SSL_CTX* ServerContext(const std::string& certFile, const std::string& keyFile) {
  static std::map<std::string, std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)>> contexts;
  auto found = contexts.find(certFile);
  if (found != contexts.end()) return found->second.get();
  std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> context(SSL_CTX_new(TLS_server_method()),
                                                            SSL_CTX_free);
  if (!context || SSL_CTX_use_certificate_chain_file(context.get(), certFile.c_str()) != 1 ||
      SSL_CTX_use_PrivateKey_file(context.get(), keyFile.c_str(), SSL_FILETYPE_PEM) != 1)
    throw std::runtime_error("the test server's certificate cannot be loaded");
  return contexts.emplace(certFile, std::move(context)).first->second.get();
}

}  // namespace

class TlsPeerStream final : public platform::TByteStream {
 public:
  explicit TlsPeerStream(std::shared_ptr<TlsPeer> peer) : peer_(std::move(peer)) {}
  int Read(std::uint8_t* buffer, int size) override {
    const int count = peer_->ToClient(buffer, size);
    last_ = count < 0 ? platform::TIoError::Other : platform::TIoError::None;
    return count;
  }
  int Write(const std::uint8_t* data, int size) override {
    peer_->FromClient(data, static_cast<std::size_t>(size));
    last_ = platform::TIoError::None;
    return size;
  }
  int SetNonBlocking(bool) override { return 0; }
  bool WaitReadable(std::int64_t) override { return peer_->Readable(); }
  platform::TIoError LastIoError() const override { return last_; }
  void Close() override { peer_->clientClosed_ = true; }

 private:
  std::shared_ptr<TlsPeer> peer_;
  platform::TIoError last_ = platform::TIoError::None;
};

TlsPeer::TlsPeer(const std::string& certFile, const std::string& keyFile)
    : state_(std::make_unique<TState>()) {
  state_->session = SSL_new(ServerContext(certFile, keyFile));
  state_->incoming = BIO_new(BIO_s_mem());
  state_->outgoing = BIO_new(BIO_s_mem());
  BIO_set_mem_eof_return(state_->incoming, -1);
  SSL_set_bio(state_->session, state_->incoming, state_->outgoing);
  SSL_set_accept_state(state_->session);
}

TlsPeer::~TlsPeer() = default;

std::unique_ptr<platform::TByteStream> TlsPeer::Stream() {
  return std::make_unique<TlsPeerStream>(shared_from_this());
}

void TlsPeer::PlainReply(const Bytes& bytes) {
  toClient_.insert(toClient_.end(), bytes.begin(), bytes.end());
}

void TlsPeer::Reply(const Bytes& bytes) {
  replies_.push_back(bytes);
}

void TlsPeer::RequireClientCertificate() {
  SSL_set_verify(state_->session, SSL_VERIFY_PEER | SSL_VERIFY_FAIL_IF_NO_PEER_CERT,
                 [](int, X509_STORE_CTX*) { return 1; });
}

void TlsPeer::OnlyVersion(Version version) {
  const int number = version == Version::Tls12 ? TLS1_2_VERSION : TLS1_3_VERSION;
  SSL_set_min_proto_version(state_->session, number);
  SSL_set_max_proto_version(state_->session, number);
}

std::size_t TlsPeer::Deliverable() const {
  if (fault_ == Fault::Close || fault_ == Fault::Stall) return std::min(toClient_.size(), faultAt_);
  return toClient_.size();
}

bool TlsPeer::Readable() const {
  if (delivered_ < Deliverable()) return true;
  return fault_ == Fault::Close && delivered_ >= faultAt_;
}

bool TlsPeer::Stalled() const {
  return fault_ == Fault::Stall && delivered_ >= faultAt_;
}

void TlsPeer::FromClient(const std::uint8_t* data, std::size_t length) {
  if (!tlsStarted_) {
    const std::size_t plain = std::min(length, startTlsAfter_ - plainReceived_.size());
    plainReceived_.insert(plainReceived_.end(), data, data + plain);
    data += plain;
    length -= plain;
    tlsStarted_ = plainReceived_.size() >= startTlsAfter_;
    if (!tlsStarted_) return;
  }
  if (length > 0) BIO_write(state_->incoming, data, static_cast<int>(length));
  Pump();
}

void TlsPeer::Pump() {
  if (failed_) return;
  if (!handshakeDone_) {
    const int result = SSL_do_handshake(state_->session);
    if (result == 1) {
      handshakeDone_ = true;
      for (const Bytes& reply : replies_)
        SSL_write(state_->session, reply.data(), static_cast<int>(reply.size()));
      if (closeAfterReplies_) SSL_shutdown(state_->session);
    } else if (SSL_get_error(state_->session, result) != SSL_ERROR_WANT_READ) {
      failed_ = true;
    }
  }
  if (handshakeDone_) {
    std::uint8_t piece[16384];
    for (;;) {
      const int count = SSL_read(state_->session, piece, sizeof piece);
      if (count <= 0) {
        if (SSL_get_error(state_->session, count) == SSL_ERROR_ZERO_RETURN) gotCloseNotify_ = true;
        break;
      }
      received_.insert(received_.end(), piece, piece + count);
      if (echo_) SSL_write(state_->session, piece, count);
    }
  }
  ERR_clear_error();
  std::uint8_t piece[16384];
  int count = 0;
  while ((count = BIO_read(state_->outgoing, piece, sizeof piece)) > 0)
    toClient_.insert(toClient_.end(), piece, piece + count);
}

int TlsPeer::ToClient(std::uint8_t* buffer, int size) {
  if (!tlsStarted_ && startTlsAfter_ == 0) {
    tlsStarted_ = true;
    Pump();
  }
  const std::size_t end = Deliverable();
  // Nothing more to say: the end of the stream, as with ScriptedStream.
  if (delivered_ >= end) return Stalled() ? -1 : 0;
  const std::size_t count = std::min(end - delivered_, static_cast<std::size_t>(size));
  std::memcpy(buffer, toClient_.data() + delivered_, count);
  if (fault_ == Fault::Corrupt && faultAt_ >= delivered_ && faultAt_ < delivered_ + count)
    buffer[faultAt_ - delivered_] ^= 0xFF;
  delivered_ += count;
  sent_ = delivered_;
  return static_cast<int>(count);
}

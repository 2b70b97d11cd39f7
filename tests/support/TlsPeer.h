#pragma once
// An in-memory TLS server for the client's TLS tests: OpenSSL on the far end
// of a platform::TByteStream, without sockets or threads. Plain bytes come
// first (a MySQL greeting); once the client has written a given number of
// plain bytes (the SSL request) the server's TLS handshake begins, and after
// it the queued replies go out encrypted.
//
//   auto peer = std::make_shared<TlsPeer>(Certificates().Server, Certificates().ServerKey);
//   peer->PlainReply(greeting); peer->StartTlsAfter(36); peer->Reply(ok);
//   auto stream = peer->Stream();  // keeps the peer alive
//
// Faults fall on the bytes the server sends, counted from the first plain
// one: the connection closes before byte N, stalls there (every wait for
// data times out at once), or byte N arrives flipped. A wait for data ends
// at once: with data, with the end of a closed connection, or without
// either (the server has nothing to say); a read with nothing to hand out
// is the end of the stream, as with ScriptedStream.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/os/ByteStream.h"
#include "support/ScriptedStream.h"

class TlsPeer : public std::enable_shared_from_this<TlsPeer> {
 public:
  enum class Fault { None, Close, Stall, Corrupt };

  TlsPeer(const std::string& certFile, const std::string& keyFile);
  ~TlsPeer();
  TlsPeer(const TlsPeer&) = delete;
  TlsPeer& operator=(const TlsPeer&) = delete;

  void PlainReply(const Bytes& bytes);
  // TLS starts after this many plain bytes from the client (0: at once).
  void StartTlsAfter(std::size_t plainBytes) { startTlsAfter_ = plainBytes; }
  // Application data sent once the handshake is done.
  void Reply(const Bytes& bytes);
  // Sends back everything received over TLS.
  void Echo() { echo_ = true; }
  // Asks the client for a certificate (and fails without one).
  void RequireClientCertificate();
  enum class Version { Tls12, Tls13 };
  // Only this TLS version.
  void OnlyVersion(Version version);
  void InjectFault(Fault fault, std::size_t at) {
    fault_ = fault;
    faultAt_ = at;
  }
  // Ends the TLS session with close_notify after the replies.
  void CloseAfterReplies() { closeAfterReplies_ = true; }

  // The client's end; one per peer.
  std::unique_ptr<platform::TByteStream> Stream();

  [[nodiscard]] const Bytes& PlainReceived() const { return plainReceived_; }
  // What the client sent over TLS, decrypted.
  [[nodiscard]] const Bytes& Received() const { return received_; }
  [[nodiscard]] std::size_t Sent() const { return sent_; }
  // Everything the peer had for the client, delivered or held back by a fault.
  [[nodiscard]] std::size_t Produced() const { return toClient_.size(); }
  [[nodiscard]] bool HandshakeDone() const { return handshakeDone_; }
  [[nodiscard]] bool ClientClosed() const { return clientClosed_; }
  // The client ended its TLS session with close_notify.
  [[nodiscard]] bool GotCloseNotify() const { return gotCloseNotify_; }
  [[nodiscard]] bool Stalled() const;
  [[nodiscard]] bool Readable() const;

 private:
  friend class TlsPeerStream;
  struct TState;
  void FromClient(const std::uint8_t* data, std::size_t length);
  void Pump();
  [[nodiscard]] std::size_t Deliverable() const;
  int ToClient(std::uint8_t* buffer, int size);

  std::unique_ptr<TState> state_;
  Bytes toClient_;
  std::size_t delivered_ = 0;  // of toClient_
  std::size_t sent_ = 0;
  Bytes plainReceived_;
  Bytes received_;
  std::vector<Bytes> replies_;
  std::size_t startTlsAfter_ = 0;
  bool tlsStarted_ = false;
  bool handshakeDone_ = false;
  bool echo_ = false;
  bool closeAfterReplies_ = false;
  bool clientClosed_ = false;
  bool gotCloseNotify_ = false;
  bool failed_ = false;
  Fault fault_ = Fault::None;
  std::size_t faultAt_ = 0;
};

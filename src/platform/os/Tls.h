#pragma once
// TLS client over a connected byte stream: OpenSSL's libssl on Linux,
// SChannel through SSPI on Windows (certificates checked by the system's
// chain engine).
//
// Each back end is a TTlsEngine that does no I/O of its own: it takes the
// bytes received from the peer and hands out the bytes to send. TTlsStream
// moves those bytes over the stream underneath (a TCP socket, or a scripted
// peer in tests) and is itself a TByteStream, so the transport above reads
// and writes plaintext as before.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/os/ByteStream.h"
#include "platform/os/Clock.h"

namespace platform {

// How much of the server's certificate is checked.
enum class TTlsVerify : std::uint8_t {
  None,          // encrypted, but any certificate is taken
  Chain,         // the chain must lead to a trusted root, every certificate in date
  ChainAndName,  // as Chain, and the certificate must name the host (or IP address)
};

struct TTlsSettings {
  TTlsVerify Verify = TTlsVerify::None;
  // PEM file of the trusted roots; empty: the system's own trust.
  std::string CaFile;
  // Client certificate (PEM; on Windows a PFX file too) and its private key
  // (PEM; empty: the key is in CertFile). Empty: none is offered.
  std::string CertFile;
  std::string KeyFile;
  // The host connected to, as the script named it: checked against the
  // certificate and sent as the server name (unless it is an IP address).
  std::string HostName;
};

// Why no TLS connection was made.
enum class TTlsFailure : std::uint8_t {
  None,
  Setup,         // a file of the settings cannot be used, or the system has no TLS
  Handshake,     // the peers found no common ground (protocol, cipher) or broke the protocol
  Untrusted,     // the certificate chain leads to no trusted root
  Expired,       // a certificate of the chain is out of date
  NameMismatch,  // the certificate names another host
  Closed,        // the peer closed the connection during the handshake
  TimedOut,      // the handshake did not end by the deadline
};

struct TTlsError {
  TTlsFailure Failure = TTlsFailure::None;
  std::string Reason;  // for "SSL connection error: <reason>"
};

// One TLS client session without I/O of its own.
class TTlsEngine {
 public:
  virtual ~TTlsEngine() = default;

  enum class TStep : std::uint8_t { Done, NeedInput, Failed };
  // Takes the handshake as far as the bytes fed so far allow; what it wants
  // sent is in the output afterwards (also when it failed: an alert).
  [[nodiscard]] virtual TStep Handshake() = 0;
  // Bytes received from the peer.
  virtual void Feed(std::span<const std::uint8_t> data) = 0;
  // Moves the bytes to send to the end of `into`.
  virtual void TakeOutput(std::vector<std::uint8_t>& into) = 0;
  // Encrypts application data into the output; false when the session failed.
  [[nodiscard]] virtual bool Encrypt(std::span<const std::uint8_t> data) = 0;
  // Application data received: the count (> 0), kNeedInput, kPeerClosed
  // (orderly end) or kBroken.
  static constexpr int kNeedInput = 0;
  static constexpr int kPeerClosed = -1;
  static constexpr int kBroken = -2;
  [[nodiscard]] virtual int Decrypt(std::span<std::uint8_t> into) = 0;
  // Queues the end of the session (close_notify).
  virtual void Shutdown() = 0;
  // After a failed Handshake.
  [[nodiscard]] virtual TTlsError Error() const = 0;
  // Protocol and cipher suite once the handshake is done, for example
  // "TLSv1.3 TLS_AES_256_GCM_SHA384".
  [[nodiscard]] virtual std::string Description() const = 0;
};

// A client session for `settings`, or nullptr with `error` set (a file that
// cannot be read, no TLS on this system).
[[nodiscard]] std::unique_ptr<TTlsEngine> MakeTlsEngine(const TTlsSettings& settings,
                                                        TTlsError& error);

using TTlsClock = TMonotonicClock;

// Plaintext over a TLS session on `inner`.
class TTlsStream final : public TByteStream {
 public:
  // Runs the handshake on `inner`, waiting for the peer at most until
  // `deadline` (none: as long as `inner` blocks). On failure returns nullptr
  // with `error` set; `inner` is gone then.
  [[nodiscard]] static std::unique_ptr<TTlsStream> Start(
      std::unique_ptr<TByteStream> inner, const TTlsSettings& settings,
      std::optional<TTlsClock::time_point> deadline, TTlsError& error);
  ~TTlsStream() override;
  TTlsStream(const TTlsStream&) = delete;
  TTlsStream& operator=(const TTlsStream&) = delete;

  int Read(std::uint8_t* buffer, int size) override;
  int Write(const std::uint8_t* data, int size) override;
  // The stream underneath carries the records: its writes are what stall.
  void SetWriteTimeout(std::int64_t milliseconds) override {
    inner_->SetWriteTimeout(milliseconds);
  }
  int SetNonBlocking(bool on) override;
  // True only when application data, the end of the stream or a failure can
  // be read at once: TLS records that carry no data (session tickets) are
  // taken in here without waking the caller.
  bool WaitReadable(std::int64_t milliseconds) override;
  TIoError LastIoError() const override { return lastIoError_; }
  // Sends close_notify, then closes the stream underneath.
  void Close() override;

  [[nodiscard]] const std::string& Description() const { return description_; }

 private:
  TTlsStream(std::unique_ptr<TByteStream> inner, std::unique_ptr<TTlsEngine> engine);
  [[nodiscard]] bool Handshake(std::optional<TTlsClock::time_point> deadline, TTlsError& error);
  // Sends what the engine has for the peer; false when the stream fails.
  [[nodiscard]] bool SendOutput();
  // Reads once from the stream underneath into the engine: false at its end
  // or on failure (noted for the next Read).
  [[nodiscard]] bool Receive();
  // Decrypts what has been received into plain_: true when anything is there
  // to hand out (data, the end, a failure).
  [[nodiscard]] bool DecryptPending();
  [[nodiscard]] bool HasSomethingToRead() const;

  std::unique_ptr<TByteStream> inner_;
  std::unique_ptr<TTlsEngine> engine_;
  std::vector<std::uint8_t> output_;
  std::size_t outputSent_ = 0;
  std::vector<std::uint8_t> plain_;
  std::size_t plainStart_ = 0;
  std::size_t plainEnd_ = 0;
  std::vector<std::uint8_t> received_;
  bool ended_ = false;   // the peer ended the session or the stream
  bool broken_ = false;  // the session or the stream failed
  TIoError brokenError_ = TIoError::Other;
  TIoError lastIoError_ = TIoError::None;
  std::string description_;
};

}  // namespace platform

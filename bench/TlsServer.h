#pragma once
// The server's side of TLS for the replay server, on OpenSSL: one context
// with a throwaway self-signed certificate made in memory at start (RSA 2048,
// for 127.0.0.1; the cases do not check it), and a TLS connection over an
// accepted socket with the same whole-buffer reads and writes as Socket.

#include <openssl/ssl.h>

#include <cstdint>
#include <span>

#include "bench/Socket.h"

namespace bench {

class TlsContext {
 public:
  // Throws std::runtime_error when OpenSSL cannot make the key, the
  // certificate or the context.
  TlsContext();
  ~TlsContext();
  TlsContext(const TlsContext&) = delete;
  TlsContext& operator=(const TlsContext&) = delete;

  [[nodiscard]] SSL_CTX* Get() const { return context_; }

 private:
  SSL_CTX* context_ = nullptr;
};

class TlsSocket {
 public:
  // Runs the server's side of the handshake over `socket`, which must
  // outlive this; IsOpen() tells whether it succeeded.
  TlsSocket(const TlsContext& context, Socket& socket);
  ~TlsSocket();
  TlsSocket(const TlsSocket&) = delete;
  TlsSocket& operator=(const TlsSocket&) = delete;

  [[nodiscard]] bool IsOpen() const { return ssl_ != nullptr; }
  [[nodiscard]] bool WriteAll(std::span<const std::uint8_t> data);
  [[nodiscard]] bool ReadExactly(std::span<std::uint8_t> data);

 private:
  SSL* ssl_ = nullptr;
};

}  // namespace bench

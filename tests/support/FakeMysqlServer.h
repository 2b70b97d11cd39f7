#pragma once
// The scripted MySQL 8.4 / 9.x server (tests/support/fake_mysql_server.py)
// for this object's lifetime: greetings naming caching_sha2_password, the
// fast path and full authentication (over plain TCP with its own RSA key
// pair, over TLS and its Unix socket in clear), switch requests to the
// accounts' methods.
// It checks what clients send independently of the client under test and
// notes what a careful client never does. Its accounts are in the script.

#include <optional>
#include <string>
#include <vector>

#include "support/ChildProcess.h"

class FakeMysqlServer {
 public:
  // `version` as the greeting gives it, such as "8.4.3" or "9.1.0";
  // `options`: more of the script's options, such as "--tls" (TLS with a
  // certificate of its own) or "--tls-cert FILE --tls-key FILE".
  explicit FakeMysqlServer(const std::string& version, const std::string& options = "");
  ~FakeMysqlServer();
  FakeMysqlServer(const FakeMysqlServer&) = delete;
  FakeMysqlServer& operator=(const FakeMysqlServer&) = delete;

  [[nodiscard]] bool Ok() const { return port_ > 0; }
  [[nodiscard]] int Port() const { return port_; }
  [[nodiscard]] const std::string& Socket() const { return socket_; }
  // The server's RSA public key as a PEM file.
  [[nodiscard]] std::string PublicKeyFile() const { return dir_ + "/public.pem"; }
  // What the server found wrong in what clients sent, one line each.
  [[nodiscard]] std::vector<std::string> Violations() const;

 private:
  std::string dir_;
  std::string socket_;
  std::optional<ChildProcess> server_;
  int port_ = 0;
};

#pragma once
// Where the test MariaDB server is and which accounts it has.
//
// The shared server is started once per test run by the CTest fixture
// "mariadb" (tests/support/CMakeLists.txt) with scripts/mariadb-start, which
// writes <build>/mariadb/server.env. Tests that need it declare
// FIXTURES_REQUIRED mariadb and call SharedMariaDb(). A test that needs a
// server of its own (one it may shut down) starts a PrivateMariaDb.

#include <cstdint>
#include <optional>
#include <string>

struct MariaDbAccount {
  std::string User;
  std::string Password;
};

struct MariaDbServer {
  std::string Host;
  std::int32_t Port = 0;
  std::string Socket;
  std::string Database;
  MariaDbAccount Native;  // 4.1 password, all privileges
  MariaDbAccount Old;     // pre-4.1 password hash
  MariaDbAccount NoPass;  // no password
  MariaDbAccount Ssl;     // REQUIRE SSL
  MariaDbAccount X509;    // REQUIRE X509: a client certificate signed by the CA
  // The test certificates (scripts/make-test-certs): ca.pem, client.pem...
  std::string Certs;
  [[nodiscard]] std::string Cert(const std::string& file) const { return Certs + "/" + file; }
};

// Reads a server.env file written by scripts/mariadb-start.
std::optional<MariaDbServer> LoadMariaDbEnv(const std::string& path);

// The shared fixture's server, or nothing when it is not running.
std::optional<MariaDbServer> SharedMariaDb();

// A server of the test's own under <build>/mariadb-private/<name>, stopped
// and removed on destruction. Server() is empty when it failed to start.
class PrivateMariaDb {
 public:
  // `options`: further mariadbd options, as one shell word list, where
  // "{certs}" stands for the server's certificate folder.
  explicit PrivateMariaDb(const std::string& name, const std::string& options = "");
  ~PrivateMariaDb();
  PrivateMariaDb(const PrivateMariaDb&) = delete;
  PrivateMariaDb& operator=(const PrivateMariaDb&) = delete;

  [[nodiscard]] const std::optional<MariaDbServer>& Server() const { return server_; }
  // Stops the server and starts it again on the same data, port and socket;
  // `crash`: kills it at once instead of shutting it down.
  [[nodiscard]] bool Restart(bool crash = false);

 private:
  std::string dir_;
  std::optional<MariaDbServer> server_;
};

// Points the local pipe endpoint (platform::kLocalPipeDirectory + "/MySQL")
// at `socketPath` for this object's lifetime, or removes it when the path is
// empty. Holds an exclusive lock on the pipe directory meanwhile, so test
// runs on the same machine take turns instead of reaching each other's
// servers.
class LocalPipeLink {
 public:
  explicit LocalPipeLink(const std::string& socketPath);
  ~LocalPipeLink();
  LocalPipeLink(const LocalPipeLink&) = delete;
  LocalPipeLink& operator=(const LocalPipeLink&) = delete;

  [[nodiscard]] bool Ok() const { return ok_; }

 private:
  int lockFd_ = -1;
  bool ok_ = false;
};

#pragma once
// Sessions on the test MariaDB server (the CTest fixture "mariadb").

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "mysql/uMysqlClient.h"
#include "support/MariaDbFixture.h"

enum class Transport { Tcp, LocalEndpoint };

// Settings for `account` on `server`; the database is the test database.
void Configure(mysql::TMysqlClient& client, const MariaDbServer& server,
               const MariaDbAccount& account, Transport transport = Transport::Tcp,
               bool compress = false);

// The first value of a buffered query's first row, or nullopt.
std::optional<std::string> QueryValue(mysql::TMysqlClient& client, std::string_view statement);

// Tests on the fixture's server. Suites derived from it are named Server...,
// which is how CTest knows they need the fixture.
class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override;
  // A connected session of the all-privileges account over TCP.
  std::unique_ptr<mysql::TMysqlClient> NativeSession(bool compress = false);

  MariaDbServer server_;
};

// Kills `victim`'s connection from a session of its own, now or after a
// while, and waits until the server has really ended it.
class Killer {
 public:
  Killer(const MariaDbServer& server, std::uint32_t victim);
  ~Killer();
  Killer(const Killer&) = delete;
  Killer& operator=(const Killer&) = delete;

  void Now();
  void After(std::chrono::milliseconds delay);

 private:
  mysql::TMysqlClient session_;
  std::uint32_t victim_;
  std::thread thread_;
};

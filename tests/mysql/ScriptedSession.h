#pragma once
// Sessions over scripted in-memory connections: the session's connector hands
// out one prepared peer per connect, so reconnects, lost connections and
// stalls play out deterministically, without sockets or threads.
//
//   ScriptedConnections server;
//   auto first = server.Add();  first->Reply(Login());  ...
//   TMysqlClient client;  server.AttachTo(client);
//   client.Connect();

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mysql/uMysqlClient.h"
#include "support/ScriptedStream.h"
#include "support/Wire.h"

class ScriptedConnections {
 public:
  // The peer of the next connection the session opens.
  std::shared_ptr<ScriptedPeer> Add();
  // Points the session at these connections (settings for a 4.1 login),
  // which it takes for transports of `kind`; a connect beyond the prepared
  // ones is refused.
  void AttachTo(mysql::TMysqlClient& client, bool compress = false,
                mysql::TVioKind kind = mysql::VioTcpIp);
  [[nodiscard]] int Opened() const { return opened_; }
  [[nodiscard]] std::size_t Unused() const { return pending_.size(); }

 private:
  std::deque<std::unique_ptr<ScriptedStream>> pending_;
  int opened_ = 0;
};

// Builds what a 4.1 server sends, plain or in compressed blocks.
class ServerScript {
 public:
  // status: the server status word of every OK and end-of-data packet.
  explicit ServerScript(bool compress, std::uint16_t status = 2)
      : compress_(compress), status_(status) {}

  // Greeting (announcing compression when compressed) and the OK to the login.
  [[nodiscard]] Bytes Login() const;
  // The login of a server that reports session changes (MySQL 5.7 and
  // later, MariaDB 10.2 and later), with the OK to the client's request for
  // them.
  [[nodiscard]] Bytes LoginReportingChanges() const;
  // The same as MySQL 8.4 does it: a greeting naming caching_sha2_password,
  // full authentication over TCP (the request for it, the public key), the OK.
  [[nodiscard]] Bytes LoginWithFullAuthentication() const;
  // The replies to COM_CHANGE_USER of an account with caching_sha2_password:
  // the switch to it, full authentication, the OK.
  [[nodiscard]] Bytes ChangeUserWithFullAuthentication() const;
  // The reply to one command: packets numbered from 1. Compressed, one block
  // numbered 1 carries them all.
  [[nodiscard]] Bytes Reply(const std::vector<Bytes>& payloads) const;
  // A reply that continues an exchange: packets numbered from `firstPacket`,
  // the block (compressed) numbered `block`.
  [[nodiscard]] Bytes ReplyFrom(const std::vector<Bytes>& payloads, std::uint8_t firstPacket,
                                std::uint8_t block) const;
  // A result set of one VARCHAR column "v".
  [[nodiscard]] Bytes ResultSet(const std::vector<std::optional<std::string>>& rows) const;
  // The reply to a CALL of a procedure running two SELECTs (one VARCHAR
  // column "v" each) and then an UPDATE of 4 rows: both results, each ending
  // with SERVER_MORE_RESULTS_EXISTS, and the procedure's status.
  [[nodiscard]] Bytes CallWithTwoResults(
      const std::vector<std::optional<std::string>>& first,
      const std::vector<std::optional<std::string>>& second) const;
  [[nodiscard]] Bytes Ok(std::uint64_t affected = 0) const;
  [[nodiscard]] Bytes Ok(std::uint16_t status, std::uint64_t affected) const;

 private:
  bool compress_;
  std::uint16_t status_;
};

// The payloads of the commands a session wrote on one connection, after the
// login (plain or compressed stream).
std::vector<Bytes> CommandsWritten(const Bytes& written, bool compress);

// Command payloads as CommandsWritten gives them.
Bytes QueryCommand(std::string_view statement);
inline const Bytes kPingCommand{mysql::COM_PING};

#pragma once
// A server that answers from memory. It greets like a MySQL 4.1+ server,
// accepts any login, then answers each statement it has a recorded reply for
// with exactly the recorded bytes: as they are on a plain connection, or as
// compressed blocks prepared once when the client asked for compression.
// Single-row INSERTs, SET and DO statements, pings and database changes get
// an OK; anything else an error. A TLS server offers TLS and runs it (with a
// self-signed certificate made at start) for the clients that ask. Each
// connection is served on its own thread, so the server's work stays out of
// the figures of the client process that is measured.

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/Socket.h"
#include "bench/TlsServer.h"
#include "bench/Wire.h"

namespace bench {

// The reply to one statement, packets with sequence numbers from 1.
struct Recording {
  Bytes Plain;
  Bytes Compressed;  // Plain in compressed blocks, block numbers from 1
};

// Statement text -> its reply, prepared once and shared by the servers.
using Recordings = std::map<std::string, Recording>;

// `replies`: statement text -> its reply packets as the real server sent
// them on a plain connection.
std::shared_ptr<const Recordings> PrepareRecordings(const std::map<std::string, Bytes>& replies);

class ReplayServer {
 public:
  explicit ReplayServer(std::shared_ptr<const Recordings> replies, bool tls = false);
  ~ReplayServer();
  ReplayServer(const ReplayServer&) = delete;
  ReplayServer& operator=(const ReplayServer&) = delete;

  [[nodiscard]] std::uint16_t Port() const { return listener_.Port(); }
  [[nodiscard]] std::size_t CompressedSize(const std::string& statement) const;

 private:
  void AcceptLoop();
  void Serve(Socket client) const;
  template <typename Stream>
  void ServeCommands(Stream& stream, bool compressed) const;

  std::shared_ptr<const Recordings> recordings_;
  const Recordings& replies_;
  std::unique_ptr<TlsContext> tls_;
  Listener listener_;
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;
  std::vector<std::thread> connections_;
  std::thread acceptor_;
};

}  // namespace bench

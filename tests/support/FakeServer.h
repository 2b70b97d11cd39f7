#pragma once
// A scripted MySQL server on 127.0.0.1 (ephemeral port) for tests. Steps are
// queued before Start() and played on a thread against the accepted client:
//
//   FakeServer server;
//   server.Send(Packet(0, greeting)).Expect(Packet(1, auth)).Send(Packet(2, ok));
//   server.Start();
//   ... connect the client to 127.0.0.1:server.Port() ...
//   server.Wait();  EXPECT_TRUE(server.Failures().empty());
//
// Every read waits at most the step time-out (default 10 s), so a client that
// goes quiet fails the script instead of hanging the test.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/Wire.h"

class FakeServer {
 public:
  FakeServer();
  ~FakeServer();
  FakeServer(const FakeServer&) = delete;
  FakeServer& operator=(const FakeServer&) = delete;

  [[nodiscard]] std::uint16_t Port() const { return port_; }

  // Writes these bytes (in one send).
  FakeServer& Send(Bytes bytes);
  // Reads exactly as many bytes as given and records a failure on mismatch.
  FakeServer& Expect(Bytes bytes);
  // Reads `count` bytes and appends them to Received().
  FakeServer& Receive(std::size_t count);
  // Reads one packet (header and payload) and appends it to Received().
  FakeServer& ReceivePacket();
  // Does nothing for a while, connection open.
  FakeServer& Pause(std::chrono::milliseconds duration);
  // Says nothing until the client closes the connection (or Stop()).
  FakeServer& StaySilent();
  // Neither reads nor sends until Stop(): a server whose receive window stays
  // closed, alive for TCP all the while.
  FakeServer& StopReading();
  // Reads and drops everything until the client closes the connection.
  FakeServer& DrainUntilClosed();
  // Closes the current connection; later steps need AcceptNext().
  FakeServer& CloseConnection();
  // Closes the current connection and accepts the next one.
  FakeServer& AcceptNext();

  // Plays the steps on a thread. The first step runs on the first accepted
  // connection; when the steps end, the connection is closed.
  void Start();
  // Waits for the script to finish (Stop() ends silent steps first when the
  // script is still running after `limit`).
  void Wait(std::chrono::milliseconds limit = std::chrono::seconds(15));
  void Stop() { stopping_ = true; }

  [[nodiscard]] std::vector<std::string> Failures() const;
  [[nodiscard]] Bytes Received() const;
  [[nodiscard]] int Connections() const { return connections_; }

 private:
  enum class Kind {
    Send,
    Expect,
    Receive,
    ReceivePacket,
    Pause,
    Silent,
    StopReading,
    Drain,
    Close,
    Accept
  };
  struct Step {
    explicit Step(Kind k, Bytes b = {}, std::size_t n = 0, std::chrono::milliseconds d = {})
        : kind(k), bytes(std::move(b)), count(n), duration(d) {}
    Kind kind;
    Bytes bytes;
    std::size_t count;
    std::chrono::milliseconds duration;
  };

  void Run();
  bool AcceptClient();
  bool ReadExactly(std::uint8_t* target, std::size_t count, const char* what);
  void Fail(std::string message);
  void CloseClient();

  std::vector<Step> steps_;
  int listener_ = -1;
  int client_ = -1;
  std::uint16_t port_ = 0;
  std::thread thread_;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> finished_{false};
  std::atomic<int> connections_{0};
  mutable std::mutex mutex_;
  std::vector<std::string> failures_;
  Bytes received_;
  std::chrono::milliseconds stepTimeout_ = std::chrono::seconds(10);
};

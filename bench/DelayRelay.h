#pragma once
// A network with latency in front of a server on 127.0.0.1: a relay that
// passes every byte on a fixed time after it came, in both directions, so a
// round trip takes twice that time. Bytes keep their order and their
// grouping: what one side wrote at once arrives at once, so commands a client
// writes together reach the server together, as they would across a real
// network.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "bench/Socket.h"

namespace bench {

class DelayRelay {
 public:
  DelayRelay(std::uint16_t serverPort, std::chrono::microseconds oneWay);
  ~DelayRelay();
  DelayRelay(const DelayRelay&) = delete;
  DelayRelay& operator=(const DelayRelay&) = delete;

  [[nodiscard]] std::uint16_t Port() const { return listener_.Port(); }
  [[nodiscard]] std::chrono::microseconds OneWay() const { return oneWay_; }
  // How often, over all connections so far, the server answered after the
  // client had sent (or spoke first): the waits a client had for the server,
  // each at least a round trip (the greeting half of one).
  [[nodiscard]] std::uint64_t Waits() const { return waits_; }

  struct Link;

 private:
  void AcceptLoop();

  std::uint16_t serverPort_;
  std::chrono::microseconds oneWay_;
  std::atomic<std::uint64_t> waits_{0};
  Listener listener_;
  bool stopping_ = false;
  std::mutex mutex_;
  std::vector<std::unique_ptr<Link>> links_;
  std::thread acceptor_;
};

}  // namespace bench

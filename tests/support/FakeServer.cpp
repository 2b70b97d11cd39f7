#include "support/FakeServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace {

constexpr int PollTick = 50;  // ms; how often waits look at the stop flag

}  // namespace

FakeServer::FakeServer() {
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener_ < 0) throw std::runtime_error("fake server: socket failed");
  const int on = 1;
  setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener_, 4) != 0 ||
      getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    close(listener_);
    throw std::runtime_error("fake server: cannot listen on 127.0.0.1");
  }
  port_ = ntohs(address.sin_port);
}

FakeServer::~FakeServer() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
  CloseClient();
  if (listener_ >= 0) close(listener_);
}

FakeServer& FakeServer::Send(Bytes bytes) {
  steps_.emplace_back(Kind::Send, std::move(bytes));
  return *this;
}
FakeServer& FakeServer::Expect(Bytes bytes) {
  steps_.emplace_back(Kind::Expect, std::move(bytes));
  return *this;
}
FakeServer& FakeServer::Receive(std::size_t count) {
  steps_.emplace_back(Kind::Receive, Bytes{}, count);
  return *this;
}
FakeServer& FakeServer::ReceivePacket() {
  steps_.emplace_back(Kind::ReceivePacket);
  return *this;
}
FakeServer& FakeServer::Pause(std::chrono::milliseconds duration) {
  steps_.emplace_back(Kind::Pause, Bytes{}, 0, duration);
  return *this;
}
FakeServer& FakeServer::StaySilent() {
  steps_.emplace_back(Kind::Silent);
  return *this;
}
FakeServer& FakeServer::StopReading() {
  steps_.emplace_back(Kind::StopReading);
  return *this;
}
FakeServer& FakeServer::DrainUntilClosed() {
  steps_.emplace_back(Kind::Drain);
  return *this;
}
FakeServer& FakeServer::CloseConnection() {
  steps_.emplace_back(Kind::Close);
  return *this;
}
FakeServer& FakeServer::AcceptNext() {
  steps_.emplace_back(Kind::Accept);
  return *this;
}

void FakeServer::Start() {
  thread_ = std::thread([this] { Run(); });
}

void FakeServer::Wait(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!finished_ && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  if (!finished_) {
    Fail("script still running after the wait limit");
    stopping_ = true;
  }
  if (thread_.joinable()) thread_.join();
}

std::vector<std::string> FakeServer::Failures() const {
  std::lock_guard lock(mutex_);
  return failures_;
}

Bytes FakeServer::Received() const {
  std::lock_guard lock(mutex_);
  return received_;
}

void FakeServer::Fail(std::string message) {
  std::lock_guard lock(mutex_);
  failures_.push_back(std::move(message));
}

void FakeServer::CloseClient() {
  if (client_ >= 0) close(client_);
  client_ = -1;
}

bool FakeServer::AcceptClient() {
  CloseClient();
  pollfd entry{listener_, POLLIN, 0};
  const auto deadline = std::chrono::steady_clock::now() + stepTimeout_;
  while (!stopping_) {
    if (poll(&entry, 1, PollTick) > 0) {
      client_ = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (client_ < 0) {
        Fail("accept failed");
        return false;
      }
      ++connections_;
      return true;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      Fail("no client connected");
      return false;
    }
  }
  return false;
}

bool FakeServer::ReadExactly(std::uint8_t* target, std::size_t count, const char* what) {
  std::size_t got = 0;
  const auto deadline = std::chrono::steady_clock::now() + stepTimeout_;
  pollfd entry{client_, POLLIN, 0};
  while (got < count) {
    if (stopping_) return false;
    if (poll(&entry, 1, PollTick) <= 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        Fail(std::string("timed out reading ") + what);
        return false;
      }
      continue;
    }
    const ssize_t n = recv(client_, target + got, count - got, 0);
    if (n <= 0) {
      Fail(std::string("client closed the connection while reading ") + what + " (" +
           std::to_string(got) + " of " + std::to_string(count) + " bytes)");
      return false;
    }
    got += static_cast<std::size_t>(n);
  }
  return true;
}

void FakeServer::Run() {
  bool connected = AcceptClient();
  for (std::size_t index = 0; index < steps_.size() && !stopping_; ++index) {
    Step& step = steps_[index];
    if (step.kind == Kind::Accept) {
      connected = AcceptClient();
      if (!connected) break;
      continue;
    }
    if (!connected) {
      Fail("step " + std::to_string(index) + " needs a connection");
      break;
    }
    bool ok = true;
    switch (step.kind) {
      case Kind::Send: {
        std::size_t sent = 0;
        while (ok && sent < step.bytes.size()) {
          const ssize_t n =
              send(client_, step.bytes.data() + sent, step.bytes.size() - sent, MSG_NOSIGNAL);
          if (n <= 0) {
            Fail("send failed at step " + std::to_string(index));
            ok = false;
          } else {
            sent += static_cast<std::size_t>(n);
          }
        }
        break;
      }
      case Kind::Expect: {
        Bytes got(step.bytes.size());
        ok = ReadExactly(got.data(), got.size(), "expected bytes");
        if (ok && got != step.bytes) {
          std::size_t at = 0;
          while (got[at] == step.bytes[at]) ++at;
          Fail("step " + std::to_string(index) + ": bytes differ from offset " +
               std::to_string(at));
        }
        break;
      }
      case Kind::Receive: {
        Bytes got(step.count);
        ok = ReadExactly(got.data(), got.size(), "bytes");
        std::lock_guard lock(mutex_);
        received_.insert(received_.end(), got.begin(), got.end());
        break;
      }
      case Kind::ReceivePacket: {
        Bytes got(4);
        ok = ReadExactly(got.data(), 4, "a packet header");
        if (ok) {
          const std::size_t length = Length3(got.data());
          got.resize(4 + length);
          ok = ReadExactly(got.data() + 4, length, "a packet payload");
        }
        std::lock_guard lock(mutex_);
        received_.insert(received_.end(), got.begin(), got.end());
        break;
      }
      case Kind::Pause:
        std::this_thread::sleep_for(step.duration);
        break;
      case Kind::StopReading:
        while (!stopping_) std::this_thread::sleep_for(std::chrono::milliseconds(PollTick));
        break;
      case Kind::Silent:
      case Kind::Drain: {
        // Both wait for the client to close; a silent server just never answers.
        pollfd entry{client_, POLLIN, 0};
        std::uint8_t scratch[4096];
        while (!stopping_) {
          if (poll(&entry, 1, PollTick) > 0 && recv(client_, scratch, sizeof scratch, 0) <= 0)
            break;
        }
        break;
      }
      case Kind::Close:
        CloseClient();
        connected = false;
        break;
      case Kind::Accept:
        break;
    }
    if (!ok) break;
  }
  CloseClient();
  finished_ = true;
}

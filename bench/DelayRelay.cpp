#include "bench/DelayRelay.h"

#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/socket.h>

#include <condition_variable>
#include <deque>
#include <functional>

#include "bench/Wire.h"

namespace bench {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kChunk = 64 * 1024;
// The kernel may wake a sleeping thread this late (50 µs by default), which
// would add to every delivery.
constexpr unsigned long kTimerSlackNs = 1000;

// The relay stands for the network, which a busy machine does not slow: its
// threads (which mostly sleep) take the processor first where the system
// allows it, and wake on time.
void ActLikeTheNetwork() {
  prctl(PR_SET_TIMERSLACK, kTimerSlackNs);
  const sched_param first{sched_get_priority_min(SCHED_FIFO)};
  static_cast<void>(pthread_setschedparam(pthread_self(), SCHED_FIFO, &first));
}

// One direction: a reader takes what arrives and stamps when it is due; a
// writer hands each piece on at that time. An empty piece is the end.
class Pipe {
 public:
  // `onData`: called with every piece that arrives, before it is passed on.
  Pipe(Socket& from, Socket& to, std::chrono::microseconds delay, std::function<void()> onData)
      : from_(from), to_(to), delay_(delay), onData_(std::move(onData)) {
    reader_ = std::thread([this] { Read(); });
    writer_ = std::thread([this] { Write(); });
  }
  ~Pipe() {
    reader_.join();
    writer_.join();
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;

 private:
  struct Piece {
    Clock::time_point Due;
    Bytes Data;
  };

  void Read() {
    ActLikeTheNetwork();
    for (;;) {
      Bytes data(kChunk);
      const long count = from_.ReadSome(data);
      data.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
      const bool end = data.empty();
      if (!end) onData_();
      {
        const std::lock_guard lock(mutex_);
        pieces_.push_back({Clock::now() + delay_, std::move(data)});
      }
      ready_.notify_one();
      if (end) return;
    }
  }

  void Write() {
    ActLikeTheNetwork();
    for (;;) {
      Piece piece;
      {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [this] { return !pieces_.empty(); });
        piece = std::move(pieces_.front());
        pieces_.pop_front();
      }
      std::this_thread::sleep_until(piece.Due);
      if (piece.Data.empty() || !to_.WriteAll(piece.Data)) {
        // Passes the end on; the other direction ends when its side closes.
        shutdown(to_.Fd(), SHUT_WR);
        shutdown(from_.Fd(), SHUT_RD);
        return;
      }
    }
  }

  Socket& from_;
  Socket& to_;
  std::chrono::microseconds delay_;
  std::function<void()> onData_;
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<Piece> pieces_;
  std::thread reader_;
  std::thread writer_;
};

}  // namespace

// A client's connection and the relay's own to the server, with a pipe each
// way.
struct DelayRelay::Link {
  Link(Socket accepted, std::uint16_t serverPort, std::chrono::microseconds delay,
       std::atomic<std::uint64_t>& waits)
      : client(std::move(accepted)) {
    if (!server.Connect("127.0.0.1", serverPort)) return;
    toServer = std::make_unique<Pipe>(client, server, delay, [this] { clientSpoke = true; });
    toClient = std::make_unique<Pipe>(server, client, delay, [this, &waits] {
      if (clientSpoke.exchange(false) || !serverSpoke.exchange(true)) ++waits;
    });
  }
  Socket client;
  Socket server;
  std::atomic<bool> clientSpoke{false};
  std::atomic<bool> serverSpoke{false};
  std::unique_ptr<Pipe> toServer;
  std::unique_ptr<Pipe> toClient;
};

DelayRelay::DelayRelay(std::uint16_t serverPort, std::chrono::microseconds oneWay)
    : serverPort_(serverPort), oneWay_(oneWay) {
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

DelayRelay::~DelayRelay() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  listener_.Close();
  acceptor_.join();
  links_.clear();
}

void DelayRelay::AcceptLoop() {
  for (;;) {
    Socket client = listener_.Accept();
    const std::lock_guard lock(mutex_);
    if (stopping_) return;
    if (client.IsOpen())
      links_.push_back(std::make_unique<Link>(std::move(client), serverPort_, oneWay_, waits_));
  }
}

}  // namespace bench

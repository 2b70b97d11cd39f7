#pragma once
// An in-memory peer for the packet layer: reads return the queued chunks one
// by one (each chunk at most once, so tests choose where the stream is split),
// writes are recorded, and failures can be injected at any step.
//
//   auto [stream, peer] = ScriptedStream::Make();
//   peer->Reply(bytes); peer->FailRead(platform::TIoError::Interrupted);
//   peer->Stall();  // from here on the peer says nothing
//   net.OpenStream(std::move(stream), VioTcpIp);
//   ... peer->Written() ...

#include <cstdint>
#include <deque>
#include <memory>
#include <utility>
#include <vector>

#include "platform/os/ByteStream.h"

using Bytes = std::vector<std::uint8_t>;

class ScriptedPeer {
 public:
  // Room for what a test writes, so recording it needs no allocation (tests
  // that make allocations fail must not fail here).
  ScriptedPeer() { written_.reserve(1 << 16); }
  // Bytes the next reads return, exactly this chunk at most per read.
  void Reply(Bytes chunk) { steps_.push_back({std::move(chunk), platform::TIoError::None, false}); }
  // Bytes the peer sends only once the client has written something after
  // this call, as a server answers what it is asked: before that the stream
  // has nothing to read (WaitReadable says so; a read fails like a stall).
  // An empty chunk is the end of the stream, sent in answer.
  void Answer(Bytes chunk) {
    steps_.push_back({std::move(chunk), platform::TIoError::None, false, false, writes_ + 1});
  }
  // One read that fails with `error` (-1).
  void FailRead(platform::TIoError error) { steps_.push_back({{}, error, true}); }
  // The peer stops answering for good, connection open: every wait for data
  // times out, and a read without a wait fails as a socket does once its
  // keep-alive gives up.
  void Stall() { steps_.push_back({{}, platform::TIoError::Other, true, true}); }
  // The next `count` writes fail with `error`.
  void FailWrites(int count, platform::TIoError error) {
    failWrites_ = count;
    writeError_ = error;
  }
  // Writes accept at most this many bytes per call (0 = all).
  void LimitWrites(int bytes) { writeLimit_ = bytes; }

  [[nodiscard]] const Bytes& Written() const { return written_; }
  void ClearWritten() { written_.clear(); }
  [[nodiscard]] bool Closed() const { return closed_; }
  [[nodiscard]] int Reads() const { return reads_; }
  [[nodiscard]] int Writes() const { return writes_; }
  [[nodiscard]] bool AllRepliesRead() const { return steps_.empty(); }
  // Everything the peer sent has been read (a stall may follow).
  [[nodiscard]] bool NothingUnread() const {
    return steps_.empty() || (steps_.size() == 1 && Stalled());
  }
  // Non-blocking switches the transport asked for, in order.
  [[nodiscard]] const std::vector<bool>& ModeChanges() const { return modeChanges_; }

 private:
  friend class ScriptedStream;
  struct Step {
    Bytes data;
    platform::TIoError error;
    bool fails;
    bool stalls = false;
    int afterWrites = 0;  // readable once the client has written this often
  };
  [[nodiscard]] bool Stalled() const {
    return !steps_.empty() && (steps_.front().stalls || steps_.front().afterWrites > writes_);
  }
  std::deque<Step> steps_;
  Bytes written_;
  std::vector<bool> modeChanges_;
  int failWrites_ = 0;
  platform::TIoError writeError_ = platform::TIoError::Other;
  int writeLimit_ = 0;
  int reads_ = 0;
  int writes_ = 0;
  bool closed_ = false;
};

class ScriptedStream final : public platform::TByteStream {
 public:
  static std::pair<std::unique_ptr<ScriptedStream>, std::shared_ptr<ScriptedPeer>> Make();

  int Read(std::uint8_t* buffer, int size) override;
  int Write(const std::uint8_t* data, int size) override;
  int SetNonBlocking(bool on) override;
  // Data and the end of the stream are both readable; only a stall is not.
  bool WaitReadable(std::int64_t) override { return !peer_->Stalled(); }
  platform::TIoError LastIoError() const override { return lastError_; }
  void Close() override { peer_->closed_ = true; }

 private:
  explicit ScriptedStream(std::shared_ptr<ScriptedPeer> peer) : peer_(std::move(peer)) {}

  std::shared_ptr<ScriptedPeer> peer_;
  platform::TIoError lastError_ = platform::TIoError::None;
};

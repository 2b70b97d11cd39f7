#include "support/ScriptedStream.h"

#include <algorithm>
#include <cstring>

std::pair<std::unique_ptr<ScriptedStream>, std::shared_ptr<ScriptedPeer>> ScriptedStream::Make() {
  auto peer = std::make_shared<ScriptedPeer>();
  return {std::unique_ptr<ScriptedStream>(new ScriptedStream(peer)), peer};
}

int ScriptedStream::Read(std::uint8_t* buffer, int size) {
  ++peer_->reads_;
  auto& steps = peer_->steps_;
  if (steps.empty()) {  // the peer has nothing more to say: end of stream
    lastError_ = platform::TIoError::None;
    return 0;
  }
  ScriptedPeer::Step& step = steps.front();
  if (step.afterWrites > peer_->writes_) {  // not sent yet: nothing arrives
    lastError_ = platform::TIoError::Other;
    return -1;
  }
  if (step.data.empty() && step.afterWrites > 0) {  // the end, sent in answer
    steps.pop_front();
    lastError_ = platform::TIoError::None;
    return 0;
  }
  if (step.fails) {
    lastError_ = step.error;
    if (!step.stalls) steps.pop_front();
    return -1;
  }
  const std::size_t count = std::min(step.data.size(), static_cast<std::size_t>(size));
  if (count > 0) std::memcpy(buffer, step.data.data(), count);
  step.data.erase(step.data.begin(), step.data.begin() + static_cast<std::ptrdiff_t>(count));
  if (step.data.empty()) steps.pop_front();
  lastError_ = platform::TIoError::None;
  return static_cast<int>(count);
}

int ScriptedStream::Write(const std::uint8_t* data, int size) {
  ++peer_->writes_;
  if (peer_->failWrites_ > 0) {
    --peer_->failWrites_;
    lastError_ = peer_->writeError_;
    return -1;
  }
  const int count = peer_->writeLimit_ > 0 ? std::min(size, peer_->writeLimit_) : size;
  peer_->written_.insert(peer_->written_.end(), data, data + count);
  lastError_ = platform::TIoError::None;
  return count;
}

int ScriptedStream::SetNonBlocking(bool on) {
  peer_->modeChanges_.push_back(on);
  return 0;
}

#include <algorithm>
#include <climits>

#include "platform/os/Tls.h"

namespace platform {

namespace {

// One TLS record and its framing: what a read of the stream underneath takes
// at most, and what one decryption hands out at most.
constexpr std::size_t kReceiveChunk = 16 * 1024 + 512;
constexpr std::size_t kPlainChunk = 16 * 1024;

bool Retryable(TIoError error) {
  return error == TIoError::Interrupted || error == TIoError::WouldBlock ||
         error == TIoError::InProgress;
}

TIoError Broken(TIoError error) {
  return error == TIoError::None ? TIoError::Other : error;
}

// Milliseconds to `deadline`, never negative; -1 (no bound) when unbounded.
std::int64_t MillisecondsLeft(bool bounded, TTlsClock::time_point deadline) {
  if (!bounded) return -1;
  const auto left =
      std::chrono::ceil<std::chrono::milliseconds>(deadline - TTlsClock::now()).count();
  return std::max<std::int64_t>(left, 0);
}

}  // namespace

TTlsStream::TTlsStream(std::unique_ptr<TByteStream> inner, std::unique_ptr<TTlsEngine> engine)
    : inner_(std::move(inner)), engine_(std::move(engine)) {}

TTlsStream::~TTlsStream() = default;

std::unique_ptr<TTlsStream> TTlsStream::Start(std::unique_ptr<TByteStream> inner,
                                              const TTlsSettings& settings,
                                              std::optional<TTlsClock::time_point> deadline,
                                              TTlsError& error) {
  std::unique_ptr<TTlsEngine> engine = MakeTlsEngine(settings, error);
  if (!engine) {
    inner->Close();
    return nullptr;
  }
  std::unique_ptr<TTlsStream> stream(new TTlsStream(std::move(inner), std::move(engine)));
  if (!stream->Handshake(deadline, error)) {
    stream->inner_->Close();
    return nullptr;
  }
  stream->description_ = stream->engine_->Description();
  return stream;
}

bool TTlsStream::Handshake(std::optional<TTlsClock::time_point> deadline, TTlsError& error) {
  const TTlsError lost{TTlsFailure::Closed, "the connection was lost during the TLS handshake"};
  const bool bounded = deadline.has_value();
  const TTlsClock::time_point until = deadline.value_or(TTlsClock::time_point{});
  std::vector<std::uint8_t> piece(kReceiveChunk);
  for (;;) {
    const TTlsEngine::TStep step = engine_->Handshake();
    // Sent also after a failure: the alert tells the server why.
    const bool sent = SendOutput();
    if (step == TTlsEngine::TStep::Failed) {
      error = engine_->Error();
      return false;
    }
    if (!sent) {
      error = lost;
      return false;
    }
    if (step == TTlsEngine::TStep::Done) return true;
    if (bounded && !inner_->WaitReadable(MillisecondsLeft(bounded, until))) {
      error = {TTlsFailure::TimedOut, "the TLS handshake timed out"};
      return false;
    }
    const int count = inner_->Read(piece.data(), static_cast<int>(piece.size()));
    if (count > 0) {
      engine_->Feed({piece.data(), static_cast<std::size_t>(count)});
    } else if (count < 0 && inner_->LastIoError() == TIoError::Interrupted) {
      continue;
    } else if (count == 0) {
      error = {TTlsFailure::Closed, "the server closed the connection during the TLS handshake"};
      return false;
    } else {
      error = lost;
      return false;
    }
  }
}

bool TTlsStream::SendOutput() {
  engine_->TakeOutput(output_);
  while (outputSent_ < output_.size()) {
    const std::size_t left = output_.size() - outputSent_;
    const int count = inner_->Write(output_.data() + outputSent_,
                                    static_cast<int>(std::min<std::size_t>(left, INT_MAX)));
    if (count > 0) {
      outputSent_ += static_cast<std::size_t>(count);
      continue;
    }
    const TIoError failure = inner_->LastIoError();
    if (failure == TIoError::Interrupted) continue;
    lastIoError_ = Broken(failure);
    return false;
  }
  output_.clear();
  outputSent_ = 0;
  return true;
}

bool TTlsStream::Receive() {
  received_.resize(kReceiveChunk);
  const int count = inner_->Read(received_.data(), static_cast<int>(received_.size()));
  if (count > 0) {
    engine_->Feed({received_.data(), static_cast<std::size_t>(count)});
    return true;
  }
  if (count == 0) {
    ended_ = true;
    return false;
  }
  const TIoError failure = inner_->LastIoError();
  if (Retryable(failure)) {
    lastIoError_ = failure;
    return false;
  }
  broken_ = true;
  brokenError_ = Broken(failure);
  return false;
}

bool TTlsStream::HasSomethingToRead() const {
  return plainStart_ < plainEnd_ || ended_ || broken_;
}

bool TTlsStream::DecryptPending() {
  if (plainStart_ < plainEnd_ || broken_) return true;
  plain_.resize(kPlainChunk);
  const int count = engine_->Decrypt(plain_);
  // The session may answer on its own (a key update); a failure to send it
  // shows on the next write.
  static_cast<void>(SendOutput());
  if (count > 0) {
    plainStart_ = 0;
    plainEnd_ = static_cast<std::size_t>(count);
    return true;
  }
  if (count == TTlsEngine::kPeerClosed) ended_ = true;
  if (count == TTlsEngine::kBroken) {
    broken_ = true;
    brokenError_ = TIoError::Other;
  }
  return HasSomethingToRead();
}

int TTlsStream::Read(std::uint8_t* buffer, int size) {
  while (!DecryptPending()) {
    if (!Receive() && !HasSomethingToRead()) return -1;  // retryable; lastIoError_ says why
  }
  if (plainStart_ < plainEnd_) {
    const std::size_t count =
        std::min(plainEnd_ - plainStart_, static_cast<std::size_t>(std::max(size, 0)));
    std::copy_n(plain_.begin() + static_cast<std::ptrdiff_t>(plainStart_), count, buffer);
    plainStart_ += count;
    lastIoError_ = TIoError::None;
    return static_cast<int>(count);
  }
  if (broken_) {
    lastIoError_ = brokenError_;
    return -1;
  }
  lastIoError_ = TIoError::None;
  return 0;
}

int TTlsStream::Write(const std::uint8_t* data, int size) {
  if (broken_) {
    lastIoError_ = brokenError_;
    return -1;
  }
  // What is still pending goes first, so records keep their order.
  if (!SendOutput()) return -1;
  if (!engine_->Encrypt({data, static_cast<std::size_t>(std::max(size, 0))})) {
    broken_ = true;
    lastIoError_ = brokenError_ = TIoError::Other;
    return -1;
  }
  // The data is taken once encrypted; a stream that would block now sends
  // the rest with the next write.
  if (!SendOutput() && !Retryable(lastIoError_)) return -1;
  lastIoError_ = TIoError::None;
  return size;
}

int TTlsStream::SetNonBlocking(bool on) {
  return inner_->SetNonBlocking(on);
}

bool TTlsStream::WaitReadable(std::int64_t milliseconds) {
  const bool bounded = milliseconds >= 0;
  const TTlsClock::time_point deadline =
      TTlsClock::now() + std::chrono::milliseconds(std::max<std::int64_t>(milliseconds, 0));
  for (;;) {
    if (DecryptPending()) return true;
    if (!inner_->WaitReadable(MillisecondsLeft(bounded, deadline))) return false;
    static_cast<void>(Receive());
  }
}

void TTlsStream::Close() {
  if (!inner_) return;
  if (!broken_) {
    engine_->Shutdown();
    static_cast<void>(SendOutput());
  }
  inner_->Close();
  broken_ = true;
  brokenError_ = TIoError::Other;
}

}  // namespace platform

#include "mysql/uMysqlNet.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "mysql/uMysqlCodec.h"

namespace mysql {

namespace {

constexpr std::size_t kPacketHeaderSize = 4;
constexpr std::size_t kBlockHeaderSize = 7;
constexpr std::size_t kBufferStep = 4096;
// The size a buffer grows to for a stream that keeps it full.
constexpr std::size_t kStreamingBufferSize = 65536;
constexpr int kMaxRetries = 2;
// Payloads shorter than this are never worth compressing.
constexpr std::size_t kMinCompressLength = 50;
// A long wait is taken a day at a time, so the clock is read often enough to
// see every wrap of a 32-bit tick.
constexpr std::chrono::milliseconds kLongestWait = std::chrono::hours(24);
constexpr std::uint8_t kErrorPacketMarker = 255;
// The classic client kept a server's message with its NUL in the 200 bytes
// of the error slot.
constexpr std::size_t kMaxServerMessage = kMaxErrorMessage - 1;
// "#" and the five characters of an SQL state.
constexpr std::size_t kSqlStateLength = 6;

std::uint32_t Get3(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16;
}

void Put3(std::uint8_t* p, std::size_t value) {
  p[0] = static_cast<std::uint8_t>(value);
  p[1] = static_cast<std::uint8_t>(value >> 8);
  p[2] = static_cast<std::uint8_t>(value >> 16);
}

int ChunkSize(std::size_t length) {
  return static_cast<int>(std::min<std::size_t>(length, INT_MAX));
}

// Sends `length` bytes with `step` (one write of at most `chunk` bytes at
// offset `done`), retrying as long as the transport says a retry can help. A
// write stalled on a non-blocking transport switches it to blocking.
template <typename Step>
bool TransferAll(TMysqlVio& vio, std::size_t length, int& retries, Step step) {
  std::size_t done = 0;
  while (done < length) {
    const int count = step(done, ChunkSize(length - done));
    if (count > 0) {
      done += static_cast<std::size_t>(count);
      continue;
    }
    // The peer took nothing for the whole write time-out: it is stuck.
    if (vio.WriteTimedOut()) return false;
    if (retries < kMaxRetries && !vio.IsBlocking()) {
      ++retries;
      vio.SetBlocking(true);
      continue;
    }
    if (retries < kMaxRetries && vio.ShouldRetry()) {
      ++retries;
      continue;
    }
    if (vio.WasInterrupted()) continue;
    return false;
  }
  return true;
}

// Restores the transport's blocking mode and the idle state however an I/O
// routine ends.
class TIoScope {
 public:
  TIoScope(TMysqlVio& vio, std::uint8_t& activity, std::uint8_t kind)
      : vio_(vio), activity_(activity), wasBlocking_(vio.IsBlocking()) {
    activity_ = kind;
  }
  ~TIoScope() {
    if (vio_.Kind() != VioClosed) vio_.SetBlocking(wasBlocking_);
    activity_ = 0;
  }

 private:
  TMysqlVio& vio_;
  std::uint8_t& activity_;
  bool wasBlocking_;
};

}  // namespace

TReadDeadlineScope::TReadDeadlineScope(TMysqlNet& net, std::uint32_t seconds)
    : net_(net), previous_(net.ReadDeadline()) {
  if (seconds == 0) return;
  const TClock::time_point deadline = TClock::now() + std::chrono::seconds(seconds);
  if (!previous_ || deadline < *previous_) net_.SetReadDeadline(deadline);
}

TReadDeadlineScope::~TReadDeadlineScope() {
  net_.SetReadDeadline(previous_);
}

TReadSilenceScope::TReadSilenceScope(TMysqlNet& net, std::uint32_t seconds)
    : net_(net), previous_(net.ReadSilenceLimit()) {
  if (seconds == 0) return;
  const std::chrono::milliseconds limit = std::chrono::seconds(seconds);
  if (!previous_ || limit < *previous_) net_.SetReadSilenceLimit(limit);
}

TReadSilenceScope::~TReadSilenceScope() {
  net_.SetReadSilenceLimit(previous_);
}

TMysqlNet::TMysqlNet(std::size_t payloadLimit) : payloadLimit_(payloadLimit) {}

TMysqlNet::~TMysqlNet() = default;

int TMysqlNet::Open(TVioKind kind, const std::string& host, const std::string& pipeName,
                    std::int32_t port, std::uint32_t timeoutSeconds, bool allowTcp) {
  if (IsOpen()) return 0;
  const int result = vio_.Connect(kind, host, pipeName, port, timeoutSeconds, allowTcp);
  if (result != 0) return result;
  return ResetState();
}

int TMysqlNet::OpenStream(std::unique_ptr<platform::TByteStream> stream, TVioKind kind) {
  if (IsOpen()) return 0;
  const int result = vio_.AttachStream(std::move(stream), kind);
  if (result != 0) return result;
  return ResetState();
}

int TMysqlNet::ResetState() {
  BufferWillChange();
  try {
    TByteBuffer buffer(kInitialBufferSize);
    std::vector<std::uint8_t>(kInitialBufferSize).swap(out_);
    buffer_ = std::move(buffer);
  } catch (const std::bad_alloc&) {
    vio_.Close();
    vio_.SetClientError(ErrOutOfMemory);
    return -1;
  }
  raw_.Free();
  vio_.SetWriteTimeout(writeTimeoutMs_);
  writePos_ = 0;
  start_ = end_ = readPos_ = lastLength_ = 0;
  rawStart_ = rawEnd_ = 0;
  byteSaved_ = false;
  sequenceNumber_ = 0;
  compress_ = false;
  activity_ = 0;
  protocolVersion_ = kProtocolVersion;
  readTimedOut_ = false;
  fullReads_ = 0;
  batching_ = false;
  return 0;
}

int TMysqlNet::Close() {
  if (!IsOpen()) return 0;
  const int result = vio_.Close();
  BufferWillChange();
  // Whatever was received and not handed out lived in the freed buffers; a
  // read before the next Open must find nothing pending rather than touch it.
  buffer_.Free();
  std::vector<std::uint8_t>().swap(out_);
  raw_.Free();
  std::vector<std::uint8_t>().swap(block_);
  writePos_ = 0;
  start_ = end_ = readPos_ = lastLength_ = 0;
  rawStart_ = rawEnd_ = 0;
  byteSaved_ = false;
  return result;
}

void TMysqlNet::SetCompress(bool on) {
  if (on && !compress_ && start_ != end_) {
    // Read ahead in plain framing; they are the start of the first block.
    RestoreSavedByte();
    // A few bytes at most (a greeting's worth); should even those not fit,
    // the first read of a block finds nothing and fails.
    try {
      raw_.Resize(end_ - start_);
      std::memcpy(raw_.data(), buffer_.data() + start_, end_ - start_);
      rawEnd_ = raw_.size();
    } catch (const std::bad_alloc&) {
      rawEnd_ = 0;
    }
    rawStart_ = 0;
    start_ = end_;
  }
  compress_ = on;
}

void TMysqlNet::SetReadTimeout(std::uint32_t seconds) {
  readTimeout_.reset();
  if (seconds != 0) readTimeout_ = std::chrono::seconds(seconds);
}

void TMysqlNet::SetWriteTimeout(std::uint32_t seconds) {
  writeTimeoutMs_ = std::int64_t{seconds} * 1000;
  if (IsOpen()) vio_.SetWriteTimeout(writeTimeoutMs_);
}

bool TMysqlNet::StartTls(const platform::TTlsSettings& settings, platform::TTlsError& error) {
  if (start_ != end_ || writePos_ != 0) {
    error = {platform::TTlsFailure::Handshake, "the server did not wait for the TLS handshake"};
    Close();
    return false;
  }
  const bool started = vio_.StartTls(settings, readDeadline_, error);
  if (!started) Close();
  return started;
}

void TMysqlNet::Clear() {
  sequenceNumber_ = 0;
  writePos_ = 0;
}

void TMysqlNet::RecordPacketTooLarge() {
  vio_.SetError(kErrNetPacketTooLarge, {});
}

// --- Writing ------------------------------------------------------------------

int TMysqlNet::WritePacket(std::span<const std::uint8_t> data) {
  return WritePieces(nullptr, data);
}

int TMysqlNet::WriteCommand(std::uint8_t command, std::span<const std::uint8_t> data) {
  if (WritePieces(&command, data) != 0) return 1;
  return Flush() != 0 ? 1 : 0;
}

int TMysqlNet::WritePieces(const std::uint8_t* command, std::span<const std::uint8_t> data) {
  const std::size_t total = data.size() + (command != nullptr ? 1 : 0);
  if (total > payloadLimit_) {
    RecordPacketTooLarge();
    return 1;
  }
  if (out_.empty()) return 1;  // never opened, or closed
  // A payload of 0xFFFFFF bytes or more goes out in pieces of 0xFFFFFF bytes,
  // each a packet of its own; a shorter piece (empty when nothing is left)
  // ends it.
  const std::uint8_t* next = data.data();
  std::size_t left = total;
  std::size_t piece = 0;
  do {
    piece = std::min(left, kMaxPacketLength);
    std::uint8_t header[kPacketHeaderSize];
    Put3(header, piece);
    // Inside compressed blocks the packets carry 0; the block carries the number.
    header[3] = compress_ ? 0 : sequenceNumber_++;
    if (WriteBuffered(header, sizeof header) != 0) return 1;
    std::size_t bytes = piece;
    if (left == total && command != nullptr) {
      if (WriteBuffered(command, 1) != 0) return 1;
      --bytes;
    }
    if (WriteBuffered(next, bytes) != 0) return 1;
    next += bytes;
    left -= piece;
  } while (piece == kMaxPacketLength);
  return 0;
}

int TMysqlNet::WriteBuffered(const std::uint8_t* data, std::size_t length) {
  // A packet larger than the free space goes out in buffer-sized pieces.
  while (length > out_.size() - writePos_) {
    const std::size_t piece = out_.size() - writePos_;
    if (piece > 0) std::memcpy(out_.data() + writePos_, data, piece);
    data += piece;
    length -= piece;
    writePos_ = 0;
    if (RealWrite(out_.data(), out_.size()) != 0) return 1;
  }
  if (length > 0) std::memcpy(out_.data() + writePos_, data, length);
  writePos_ += length;
  return 0;
}

void TMysqlNet::BeginBatch() {
  batch_.clear();
  batching_ = true;
}

int TMysqlNet::EndBatch(bool send) {
  batching_ = false;
  int result = 0;
  if (send && !batch_.empty()) {
    if (!IsOpen()) {
      result = -1;
    } else {
      TIoScope scope(vio_, activity_, kActivityWriting);
      int retries = 0;
      result = SendAll(batch_.data(), batch_.size(), retries) ? 0 : 2;
    }
  }
  batch_.clear();
  // A large statement's bytes are not kept for the small ones after it.
  if (batch_.capacity() > 2 * kInitialBufferSize) std::vector<std::uint8_t>().swap(batch_);
  return result;
}

bool TMysqlNet::QuietlyOpen() {
  return IsOpen() && !vio_.WaitForData(0);
}

int TMysqlNet::Flush() {
  int result = 0;
  if (writePos_ > 0) result = RealWrite(out_.data(), writePos_);
  writePos_ = 0;
  return result;
}

int TMysqlNet::RealWrite(const std::uint8_t* data, std::size_t length) {
  if (!IsOpen()) return -1;
  TIoScope scope(vio_, activity_, kActivityWriting);
  int retries = 0;
  if (!compress_) return SendAll(data, length, retries) ? 0 : 2;
  // A block's length fields hold at most 0xFFFFFF, so a larger write goes out
  // as several blocks.
  int result = 0;
  while (length > 0 && result == 0) {
    const std::size_t piece = std::min(length, kMaxPacketLength);
    if (!WriteBlock(data, piece, retries)) result = outOfMemory_ ? 1 : 2;
    data += piece;
    length -= piece;
  }
  // A block of a large statement is not kept for the small ones after it.
  if (block_.size() > kBlockHeaderSize + kInitialBufferSize)
    std::vector<std::uint8_t>().swap(block_);
  return result;
}

bool TMysqlNet::WriteBlock(const std::uint8_t* data, std::size_t length, int& retries) {
  outOfMemory_ = false;
  try {
    if (block_.size() < kBlockHeaderSize + length) block_.resize(kBlockHeaderSize + length);
  } catch (const std::bad_alloc&) {
    vio_.SetClientError(ErrOutOfMemory);
    outOfMemory_ = true;
    return false;
  }
  // Short payloads are never worth compressing, and a compressed form that
  // is not smaller is never sent: it must fit in length - 1 bytes.
  std::size_t payloadLength = 0;
  if (length >= kMinCompressLength)
    payloadLength =
        deflater_.Deflate({data, length}, {block_.data() + kBlockHeaderSize, length - 1});
  const std::size_t uncompressedLength = payloadLength != 0 ? length : 0;
  if (payloadLength == 0) {
    std::memcpy(block_.data() + kBlockHeaderSize, data, length);
    payloadLength = length;
  }
  Put3(block_.data(), payloadLength);
  block_[3] = sequenceNumber_++;
  Put3(block_.data() + 4, uncompressedLength);
  return SendAll(block_.data(), kBlockHeaderSize + payloadLength, retries);
}

bool TMysqlNet::SendAll(const std::uint8_t* data, std::size_t length, int& retries) {
  if (batching_) {
    try {
      batch_.insert(batch_.end(), data, data + length);
    } catch (const std::bad_alloc&) {
      vio_.SetClientError(ErrOutOfMemory);
      outOfMemory_ = true;
      return false;
    }
    return true;
  }
  return TransferAll(vio_, length, retries,
                     [&](std::size_t done, int chunk) { return vio_.Write(data + done, chunk); });
}

// --- Reading ------------------------------------------------------------------

int TMysqlNet::ReadPacket() {
  outOfMemory_ = false;
  readTimedOut_ = false;
  RestoreSavedByte();
  lastLength_ = 0;
  const int result = NextPacket();
  if (result < 0) return -1;
  lastLength_ = static_cast<std::size_t>(result);
  return result;
}

void TMysqlNet::RestoreSavedByte() {
  if (byteSaved_) buffer_[readPos_ + lastLength_] = savedByte_;
  byteSaved_ = false;
}

int TMysqlNet::NextPacket() {
  if (!IsOpen()) return -1;
  // Most packets are in the buffer already, with room for their 0 behind.
  const std::size_t pending = end_ - start_;
  if (pending >= kPacketHeaderSize) {
    const std::uint8_t* header = buffer_.data() + start_;
    const std::size_t length = Get3(header);
    if (length < kMaxPacketLength && pending - kPacketHeaderSize >= length &&
        start_ + kPacketHeaderSize + length < buffer_.size() &&
        (compress_ || header[3] == sequenceNumber_)) {
      if (!compress_) ++sequenceNumber_;
      start_ += kPacketHeaderSize;
      return HandOut(length);
    }
  }
  return ReadNextPacket();
}

int TMysqlNet::ReadNextPacket() {
  TIoScope scope(vio_, activity_, kActivityReading);
  int retries = 0;
  // A payload of 0xFFFFFF bytes or more comes in pieces of that length, a
  // shorter one ending it; they are joined where the first one begins, each
  // piece's header taken out of the way.
  std::size_t length = 0;
  for (;;) {
    if (!Fill(length + kPacketHeaderSize, retries)) return -1;
    std::uint8_t* header = buffer_.data() + start_ + length;
    const std::size_t piece = Get3(header);
    // Inside compressed blocks the packets' own numbers are not checked.
    if (!compress_) {
      if (header[3] != sequenceNumber_) return -1;
      ++sequenceNumber_;
    }
    if (length + piece > payloadLimit_) {
      RecordPacketTooLarge();
      return -1;
    }
    if (length == 0) {
      start_ += kPacketHeaderSize;
    } else {
      std::uint8_t* const rest = header + kPacketHeaderSize;
      std::memmove(header, rest, static_cast<std::size_t>(buffer_.data() + end_ - rest));
      end_ -= kPacketHeaderSize;
    }
    if (!Fill(length + piece, retries)) return -1;
    length += piece;
    if (piece < kMaxPacketLength) return HandOut(length);
  }
}

int TMysqlNet::HandOut(std::size_t length) {
  readPos_ = start_;
  start_ += length;
  // Text at the end of a packet reads as a C string; the byte the 0 covers
  // (the next packet's first, if it is here already) comes back on the next
  // read.
  byteSaved_ = start_ < end_;
  savedByte_ = buffer_[start_];
  buffer_[start_] = 0;
  return static_cast<int>(length);
}

bool TMysqlNet::Fill(std::size_t needed, int& retries) {
  // A stream that keeps filling the buffer (the rows of a large result, not
  // one large packet) is read in larger pieces from its next packet on.
  if (needed == kPacketHeaderSize && fullReads_ >= 2 && buffer_.size() < kStreamingBufferSize &&
      !GrowBuffer(kStreamingBufferSize))
    return false;
  // Room for the bytes needed and the terminating 0 behind them.
  if (!MakeRoom(needed + 1)) return false;
  while (end_ - start_ < needed) {
    if (compress_ ? !ReadBlock(retries) : !ReadSome(buffer_, end_, retries)) return false;
  }
  return true;
}

bool TMysqlNet::MakeRoom(std::size_t needed) {
  if (start_ + needed <= buffer_.size()) return true;
  // What was handed out goes; what is pending moves to the front.
  if (start_ > 0) {
    BufferWillChange();
    if (end_ > start_) std::memmove(buffer_.data(), buffer_.data() + start_, end_ - start_);
    end_ -= start_;
    start_ = 0;
  }
  return needed <= buffer_.size() || GrowBuffer(needed);
}

bool TMysqlNet::GrowBuffer(std::size_t size) {
  // The largest payload, and for compressed reading a whole block behind
  // what of it is here already: checked before anything is allocated.
  const std::size_t largest = payloadLimit_ + kPacketHeaderSize + kMaxPacketLength + 1;
  if (size > largest) {
    RecordPacketTooLarge();
    return false;
  }
  // Geometric growth keeps a large packet from being moved once per piece,
  // but never past what a stream may need.
  const std::size_t wanted = std::max(size, std::min(buffer_.size() * 2, largest));
  const std::size_t rounded =
      std::min((wanted + kBufferStep - 1) / kBufferStep * kBufferStep, largest);
  BufferWillChange();
  try {
    buffer_.Resize(rounded);
  } catch (const std::bad_alloc&) {
    outOfMemory_ = true;
    return false;
  }
  return true;
}

bool TMysqlNet::ReadBlock(int& retries) {
  if (!FillRaw(kBlockHeaderSize, retries)) return false;
  const std::uint8_t* header = raw_.data() + rawStart_;
  if (header[3] != sequenceNumber_) return false;
  ++sequenceNumber_;
  const std::size_t length = Get3(header);
  const std::size_t uncompressedLength = Get3(header + 4);
  rawStart_ += kBlockHeaderSize;
  if (!FillRaw(length, retries)) return false;
  const std::size_t produced = uncompressedLength != 0 ? uncompressedLength : length;
  // Behind what is pending, with room for a terminating 0.
  if (end_ + produced + 1 > buffer_.size()) {
    const std::size_t pending = end_ - start_;
    if (!MakeRoom(pending + produced + 1)) return false;
  }
  const std::span<const std::uint8_t> payload(raw_.data() + rawStart_, length);
  if (uncompressedLength == 0) {
    std::memcpy(buffer_.data() + end_, payload.data(), length);
    end_ += length;
  } else {
    const auto inflated = inflater_.Inflate(payload, {buffer_.data() + end_, produced});
    if (!inflated) {
      outOfMemory_ = inflater_.OutOfMemory();
      return false;
    }
    end_ += *inflated;
  }
  rawStart_ += length;
  return true;
}

bool TMysqlNet::FillRaw(std::size_t needed, int& retries) {
  if (rawStart_ + needed > raw_.size()) {
    if (rawStart_ > 0) {
      if (rawEnd_ > rawStart_)
        std::memmove(raw_.data(), raw_.data() + rawStart_, rawEnd_ - rawStart_);
      rawEnd_ -= rawStart_;
      rawStart_ = 0;
    }
    const std::size_t wanted = fullReads_ >= 2 ? std::max(needed, kStreamingBufferSize) : needed;
    if (wanted > raw_.size()) {
      const std::size_t rounded = std::max<std::size_t>(
          kInitialBufferSize, (wanted + kBufferStep - 1) / kBufferStep * kBufferStep);
      try {
        raw_.Resize(rounded);
      } catch (const std::bad_alloc&) {
        outOfMemory_ = true;
        return false;
      }
    }
  }
  while (rawEnd_ - rawStart_ < needed) {
    if (!ReadSome(raw_, rawEnd_, retries)) return false;
  }
  return true;
}

bool TMysqlNet::ReadSome(TByteBuffer& into, std::size_t& end, int& retries) {
  for (;;) {
    if (!AwaitData()) return false;
    const int room = ChunkSize(into.size() - end);
    const int count = vio_.Read(into.data() + end, room);
    if (count > 0) {
      end += static_cast<std::size_t>(count);
      fullReads_ = count == room ? fullReads_ + 1 : 0;
      return true;
    }
    if (retries < kMaxRetries && vio_.ShouldRetry()) {
      ++retries;
      continue;
    }
    if (vio_.WasInterrupted()) continue;
    return false;
  }
}

std::optional<TClock::time_point> TMysqlNet::WaitLimit() const {
  std::optional<std::chrono::milliseconds> silence = readTimeout_;
  if (silenceLimit_ && (!silence || *silenceLimit_ < *silence)) silence = silenceLimit_;
  std::optional<TClock::time_point> limit = readDeadline_;
  if (silence) {
    const TClock::time_point quiet = TClock::now() + *silence;
    if (!limit || quiet < *limit) limit = quiet;
  }
  return limit;
}

bool TMysqlNet::AwaitData() {
  const std::optional<TClock::time_point> limit = WaitLimit();
  if (!limit) return true;
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*limit - TClock::now());
    if (left.count() <= 0) break;
    if (vio_.WaitForData(std::min(left, kLongestWait).count())) return true;
    // A wait that was given all the time left has used it up.
    if (left <= kLongestWait) break;
  }
  readTimedOut_ = true;
  return false;
}

int TMysqlNet::SafeRead(std::uint32_t clientFlags) {
  const int length = ReadPacket();
  if (length <= 0) {
    const std::int32_t number = outOfMemory_                                  ? ErrOutOfMemory
                                : vio_.ErrorNumber() == kErrNetPacketTooLarge ? ErrPacketTooLarge
                                                                              : ErrServerLost;
    vio_.Close();
    vio_.SetClientError(number);
    return -1;
  }
  if (buffer_[readPos_] != kErrorPacketMarker) return length;
  RecordServerError(clientFlags);
  return -1;
}

void TMysqlNet::RecordServerError(std::uint32_t clientFlags) {
  TPacketReader reader(Payload(), 1);  // past the error marker
  // Too short to hold a number and a message: no error can be named.
  if (reader.Remaining() < 3) {
    vio_.SetClientError(ErrUnknown);
    return;
  }
  std::int32_t number = ErrUnknown;  // protocol 9 sends text only
  bool sqlState = false;
  if (protocolVersion_ > kOldestProtocolVersion) {
    number = static_cast<std::int32_t>(reader.ReadUInt(2));
    sqlState = (clientFlags & CLIENT_RESERVED) != 0;
  }
  std::string_view text = reader.ReadRest();
  // A packet too short to hold all of the SQL state has no text after it.
  if (sqlState && text.starts_with('#')) text.remove_prefix(std::min(kSqlStateLength, text.size()));
  // Number 0 would read as "no error" although the command failed.
  vio_.SetError(number != 0 ? number : ErrUnknown, UpToNul(text).substr(0, kMaxServerMessage));
}

bool TMysqlNet::ShrinkBuffer() {
  // Only compressed reading gives a grown buffer back, and only when nothing
  // received is pending (it would lie beyond the shrunk buffer).
  if (activity_ != 0 || !compress_ || start_ != end_ || rawStart_ != rawEnd_ ||
      buffer_.size() <= kInitialBufferSize)
    return true;
  BufferWillChange();
  try {
    TByteBuffer buffer(kInitialBufferSize);
    TByteBuffer raw(kInitialBufferSize);
    buffer_ = std::move(buffer);
    raw_ = std::move(raw);
  } catch (const std::bad_alloc&) {
    return false;
  }
  byteSaved_ = false;
  start_ = end_ = readPos_ = lastLength_ = 0;
  rawStart_ = rawEnd_ = 0;
  return true;
}

}  // namespace mysql

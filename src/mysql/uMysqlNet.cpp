#include "mysql/uMysqlNet.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

namespace {

constexpr size_t PacketHeaderSize = 4;
constexpr size_t BlockHeaderSize = 7;
constexpr size_t BufferStep = 4096;
constexpr int MaxRetries = 2;
// Payloads shorter than this are never worth compressing.
constexpr size_t MinCompressLength = 50;
constexpr uint8_t ErrorPacketMarker = 255;
constexpr size_t MaxServerMessage = 199;

uint32_t Get3(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16;
}

void Put3(uint8_t* p, size_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
  p[2] = static_cast<uint8_t>(value >> 16);
}

// A transfer step that gave up without touching the transport.
constexpr int StepGaveUp = INT_MIN;

int ChunkSize(size_t length) {
  return static_cast<int>(std::min<size_t>(length, INT_MAX));
}

// Moves `length` bytes with `step` (one read or write of at most `chunk`
// bytes at offset `done`), retrying as long as the transport says a retry can
// help. A write stalled on a non-blocking transport switches it to blocking.
template <typename Step>
bool TransferAll(TMysqlVio& vio, size_t length, int& retries, bool isWrite, Step step) {
  size_t done = 0;
  while (done < length) {
    const int count = step(done, ChunkSize(length - done));
    if (count == StepGaveUp) return false;
    if (count > 0) {
      done += static_cast<size_t>(count);
      continue;
    }
    if (isWrite && retries < MaxRetries && !vio.IsBlocking()) {
      ++retries;
      vio.SetBlocking(true);
      continue;
    }
    if (retries < MaxRetries && vio.ShouldRetry()) {
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
class IoScope {
 public:
  IoScope(TMysqlVio& vio, uint8_t& activity, uint8_t kind)
      : vio_(vio), activity_(activity), wasBlocking_(vio.IsBlocking()) {
    activity_ = kind;
  }
  ~IoScope() {
    if (vio_.Kind() != VioClosed) vio_.SetBlocking(wasBlocking_);
    activity_ = 0;
  }

 private:
  TMysqlVio& vio_;
  uint8_t& activity_;
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

TMysqlNet::TMysqlNet() = default;

TMysqlNet::~TMysqlNet() = default;

int TMysqlNet::Open(TVioKind kind, const std::string& host, const std::string& pipeName,
                    int32_t port, uint32_t timeoutSeconds, bool allowTcp) {
  if (IsOpen()) return 0;
  const int result = vio_.Connect(kind, host, pipeName, port, timeoutSeconds, allowTcp);
  if (result != 0) return result;
  return ResetState();
}

int TMysqlNet::OpenStream(std::unique_ptr<platform::ByteStream> stream, TVioKind kind) {
  if (IsOpen()) return 0;
  const int result = vio_.AttachStream(std::move(stream), kind);
  if (result != 0) return result;
  return ResetState();
}

int TMysqlNet::ResetState() {
  try {
    std::vector<uint8_t>(InitialBufferSize).swap(buffer_);
  } catch (const std::bad_alloc&) {
    vio_.Close();
    vio_.SetClientError(ErrOutOfMemory);
    return -1;
  }
  writePos_ = 0;
  readPos_ = 0;
  lastLength_ = 0;
  sequenceNumber_ = 0;
  compress_ = false;
  blockLength_ = InitialBufferSize;
  blockOffset_ = 0;
  remaining_ = 0;
  savedByte_ = 0;
  activity_ = 0;
  protocolVersion_ = 10;
  readTimedOut_ = false;
  return 0;
}

int TMysqlNet::Close() {
  if (!IsOpen()) return 0;
  const int result = vio_.Close();
  std::vector<uint8_t>().swap(buffer_);
  writePos_ = readPos_ = lastLength_ = 0;
  // Decompressed bytes not yet handed out lived in the freed buffer; a read
  // before the next Open must find nothing pending rather than touch it.
  blockLength_ = blockOffset_ = remaining_ = 0;
  return result;
}

void TMysqlNet::Clear() {
  sequenceNumber_ = 0;
  writePos_ = 0;
}

void TMysqlNet::RecordPacketTooLarge() {
  vio_.ErrorNumber = ErrNetPacketTooLarge;
  vio_.SetErrorMessage({});
}

int TMysqlNet::WritePacket(std::span<const uint8_t> data) {
  if (data.size() >= MaxPacketLength) {
    RecordPacketTooLarge();
    return 1;
  }
  if (buffer_.empty()) return 1;  // never opened, or closed
  uint8_t header[PacketHeaderSize];
  Put3(header, data.size());
  // Inside compressed blocks the packets carry 0; the block carries the number.
  header[3] = compress_ ? 0 : sequenceNumber_++;
  if (WriteBuffered(header, sizeof header) != 0) return 1;
  return WriteBuffered(data.data(), data.size()) != 0 ? 1 : 0;
}

int TMysqlNet::WriteCommand(uint8_t command, std::span<const uint8_t> data) {
  // The length field holds the code byte too; 0xFFFFFF there would announce a
  // continuation packet the server would wait for.
  if (data.size() + 1 >= MaxPacketLength) {
    RecordPacketTooLarge();
    return 1;
  }
  if (buffer_.empty()) return 1;
  uint8_t header[PacketHeaderSize + 1];
  Put3(header, data.size() + 1);
  header[3] = compress_ ? 0 : sequenceNumber_++;
  header[4] = command;
  if (WriteBuffered(header, sizeof header) != 0 || WriteBuffered(data.data(), data.size()) != 0)
    return 1;
  return Flush() != 0 ? 1 : 0;
}

int TMysqlNet::WriteBuffered(const uint8_t* data, size_t length) {
  // A packet larger than the free space goes out in buffer-sized pieces.
  while (length > buffer_.size() - writePos_) {
    const size_t piece = buffer_.size() - writePos_;
    if (piece > 0) std::memcpy(buffer_.data() + writePos_, data, piece);
    data += piece;
    length -= piece;
    writePos_ = 0;
    if (RealWrite(buffer_.data(), buffer_.size()) != 0) return 1;
  }
  if (length > 0) std::memcpy(buffer_.data() + writePos_, data, length);
  writePos_ += length;
  return 0;
}

int TMysqlNet::Flush() {
  int result = 0;
  if (writePos_ > 0) result = RealWrite(buffer_.data(), writePos_);
  writePos_ = 0;
  return result;
}

int TMysqlNet::RealWrite(const uint8_t* data, size_t length) {
  if (!IsOpen()) return -1;
  IoScope scope(vio_, activity_, ActivityWriting);
  int retries = 0;
  if (!compress_) return SendAll(data, length, retries) ? 0 : 2;

  // A block's length fields hold at most 0xFFFFFF, so a larger write (the
  // buffer can grow to 16 MiB) goes out as several blocks.
  while (length > 0) {
    const size_t piece = std::min(length, MaxPacketLength);
    std::vector<uint8_t> block;
    try {
      block.resize(BlockHeaderSize + piece);
    } catch (const std::bad_alloc&) {
      vio_.SetClientError(ErrOutOfMemory);
      return 1;
    }
    std::memcpy(block.data() + BlockHeaderSize, data, piece);
    size_t uncompressedLength = 0;
    const size_t payloadLength = CompressBlockPayload(block, piece, uncompressedLength);
    Put3(block.data(), payloadLength);
    block[3] = sequenceNumber_++;
    Put3(block.data() + 4, uncompressedLength);
    if (!SendAll(block.data(), BlockHeaderSize + payloadLength, retries)) return 2;
    data += piece;
    length -= piece;
  }
  return 0;
}

size_t TMysqlNet::CompressBlockPayload(std::vector<uint8_t>& block, size_t length,
                                       size_t& uncompressedLength) {
  uncompressedLength = 0;
  if (length < MinCompressLength) return length;
  uint8_t* payload = block.data() + BlockHeaderSize;
  std::vector<uint8_t> packed;
  try {
    packed.resize(length * 120 / 100 + 12);
  } catch (const std::bad_alloc&) {
    return length;
  }
  uLongf packedLength = static_cast<uLongf>(packed.size());
  if (compress(packed.data(), &packedLength, payload, static_cast<uLong>(length)) != Z_OK ||
      packedLength >= length)
    return length;  // sent as it is
  std::memcpy(payload, packed.data(), packedLength);
  uncompressedLength = length;
  return packedLength;
}

bool TMysqlNet::SendAll(const uint8_t* data, size_t length, int& retries) {
  return TransferAll(vio_, length, retries, true,
                     [&](size_t done, int chunk) { return vio_.Write(data + done, chunk); });
}

bool TMysqlNet::ReadFully(uint8_t* target, size_t length, int& retries) {
  return TransferAll(vio_, length, retries, false, [&](size_t done, int chunk) {
    return AwaitData() ? vio_.Read(target + done, chunk) : StepGaveUp;
  });
}

bool TMysqlNet::AwaitData() {
  if (!readDeadline_) return true;
  const auto left =
      std::chrono::ceil<std::chrono::milliseconds>(*readDeadline_ - TClock::now()).count();
  if (left > 0 && vio_.WaitForData(left)) return true;
  readTimedOut_ = true;
  return false;
}

bool TMysqlNet::GrowBuffer(size_t size) {
  if (size >= (compress_ ? 2 * MaxBufferSize : MaxBufferSize)) {
    RecordPacketTooLarge();
    return false;
  }
  const size_t rounded = (size + BufferStep - 1) / BufferStep * BufferStep;
  try {
    buffer_.resize(rounded);
  } catch (const std::bad_alloc&) {
    outOfMemory_ = true;
    return false;
  }
  writePos_ = 0;
  readPos_ = 0;
  lastLength_ = 0;
  return true;
}

int TMysqlNet::ReadRaw() {
  readTimedOut_ = false;
  if (!IsOpen()) return -1;
  IoScope scope(vio_, activity_, ActivityReading);
  const size_t headerSize = compress_ ? BlockHeaderSize : PacketHeaderSize;
  // Compressed reading keeps an incomplete packet before the block offset;
  // make sure the header still fits behind it.
  if (blockOffset_ + headerSize >= buffer_.size() && !GrowBuffer(blockOffset_ + headerSize + 1))
    return -1;
  int retries = 0;
  uint8_t* header = buffer_.data() + blockOffset_;
  if (!ReadFully(header, headerSize, retries)) return -1;
  if (header[3] != sequenceNumber_) return -1;
  ++sequenceNumber_;
  const size_t length = Get3(header);
  // A packet length of 0xFFFFFF announces a continuation packet, which this
  // client never reassembles: too large, whatever the buffer holds now.
  if (!compress_ && length == MaxPacketLength) {
    RecordPacketTooLarge();
    return -1;
  }
  rawUncompressedLength_ = compress_ ? Get3(header + 4) : 0;
  const size_t needed = std::max(length, rawUncompressedLength_) + blockOffset_;
  if (needed >= buffer_.size() && !GrowBuffer(needed + 1)) return -1;
  if (!ReadFully(buffer_.data() + blockOffset_, length, retries)) return -1;
  return static_cast<int>(length);
}

int TMysqlNet::ReadPacket() {
  outOfMemory_ = false;
  int result;
  if (compress_) {
    result = ReadCompressedPacket();
  } else {
    result = ReadRaw();
    readPos_ = blockOffset_;
    if (result != -1) buffer_[readPos_ + static_cast<size_t>(result)] = 0;
  }
  lastLength_ = result > 0 ? static_cast<size_t>(result) : 0;
  return result;
}

int TMysqlNet::ReadCompressedPacket() {
  if (remaining_ > 0) buffer_[blockLength_ - remaining_] = savedByte_;
  for (;;) {
    if (remaining_ >= PacketHeaderSize) {
      const size_t start = blockLength_ - remaining_;
      const size_t length = Get3(buffer_.data() + start);
      // The limit is the packet's own length, however many blocks carry it.
      if (length >= MaxPacketLength) {
        RecordPacketTooLarge();
        return -1;
      }
      if (length <= remaining_ - PacketHeaderSize) {
        readPos_ = start + PacketHeaderSize;
        remaining_ -= length + PacketHeaderSize;
        savedByte_ = buffer_[readPos_ + length];
        buffer_[readPos_ + length] = 0;
        return static_cast<int>(length);
      }
    }
    // The next packet is incomplete: keep its bytes at the buffer start and
    // append the next block behind them.
    if (remaining_ > 0) {
      const size_t start = blockLength_ - remaining_;
      if (start != 0) std::memmove(buffer_.data(), buffer_.data() + start, remaining_);
      blockLength_ = remaining_;
      blockOffset_ = blockLength_;
    } else {
      blockLength_ = 0;
      blockOffset_ = 0;
    }
    const int length = ReadRaw();
    if (length == -1) return -1;
    size_t inflated = 0;
    if (!UncompressBlock(blockOffset_, static_cast<size_t>(length), rawUncompressedLength_,
                         inflated))
      return -1;
    blockLength_ += inflated;
    remaining_ += inflated;
  }
}

bool TMysqlNet::UncompressBlock(size_t offset, size_t length, size_t uncompressedLength,
                                size_t& result) {
  if (uncompressedLength == 0) {
    result = length;
    return true;
  }
  std::vector<uint8_t> inflated;
  try {
    inflated.resize(uncompressedLength);
  } catch (const std::bad_alloc&) {
    outOfMemory_ = true;
    return false;
  }
  uLongf inflatedLength = static_cast<uLongf>(uncompressedLength);
  if (uncompress(inflated.data(), &inflatedLength, buffer_.data() + offset,
                 static_cast<uLong>(length)) != Z_OK)
    return false;
  std::memcpy(buffer_.data() + offset, inflated.data(), inflatedLength);
  result = inflatedLength;
  return true;
}

int TMysqlNet::SafeRead(uint32_t clientFlags) {
  const int length = ReadPacket();
  if (length <= 0) {
    const int32_t number = outOfMemory_                               ? ErrOutOfMemory
                           : vio_.ErrorNumber == ErrNetPacketTooLarge ? ErrPacketTooLarge
                                                                      : ErrServerLost;
    vio_.Close();
    vio_.SetClientError(number);
    return -1;
  }
  if (buffer_[readPos_] != ErrorPacketMarker) return length;
  RecordServerError(clientFlags);
  return -1;
}

void TMysqlNet::RecordServerError(uint32_t clientFlags) {
  const std::span<const uint8_t> packet = Payload();
  if (packet.size() <= 3) {
    vio_.SetClientError(ErrUnknown);
    return;
  }
  int32_t number;
  size_t textStart;
  if (protocolVersion_ <= 9) {
    number = ErrUnknown;
    textStart = 1;
  } else {
    number = packet[1] | packet[2] << 8;
    textStart = 3;
    // "#" and a 5-character SQL state; a packet too short to hold them all
    // has no text after them.
    if ((clientFlags & ClientProtocol41Layouts) != 0 && packet[3] == '#')
      textStart = std::min<size_t>(9, packet.size());
  }
  const auto text = packet.subspan(textStart);
  const auto end = std::find(text.begin(), text.end(), uint8_t{0});
  const size_t textLength =
      std::min<size_t>(static_cast<size_t>(end - text.begin()), MaxServerMessage);
  // Number 0 would read as "no error" although the command failed.
  vio_.ErrorNumber = number != 0 ? number : ErrUnknown;
  vio_.SetErrorMessage(std::string_view(reinterpret_cast<const char*>(text.data()), textLength));
}

bool TMysqlNet::ShrinkBuffer() {
  // Decompressed bytes still pending would lie beyond a shrunk buffer; keep
  // it until they are handed out.
  if (activity_ != 0 || blockLength_ <= InitialBufferSize || remaining_ > 0 ||
      buffer_.size() <= InitialBufferSize)
    return true;
  try {
    std::vector<uint8_t>(buffer_.begin(), buffer_.begin() + InitialBufferSize).swap(buffer_);
  } catch (const std::bad_alloc&) {
    return false;
  }
  writePos_ = 0;
  readPos_ = 0;
  lastLength_ = 0;
  return true;
}

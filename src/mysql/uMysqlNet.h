#pragma once
// TMysqlNet: MySQL packets over the transport. Frames outgoing data with the
// 4-byte header and sequence number, reads the incoming stream in large
// pieces into a growable buffer and hands out one packet at a time, decodes
// server error packets into the last error, and wraps everything in
// zlib-compressed blocks once compression is on.
//
// The payload of the packet just read is Payload() (also ReadPos()/length);
// a 0 byte is stored right after it so text at the end can be read as a
// C string. It stays valid until the next read, write or ShrinkBuffer.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "mysql/uMysqlByteBuffer.h"
#include "mysql/uMysqlErrors.h"
#include "mysql/uMysqlGreeting.h"
#include "mysql/uMysqlVio.h"
#include "mysql/uMysqlZlib.h"
#include "platform/os/Clock.h"

namespace mysql {

// The largest piece a packet carries (0xFFFFFF); a payload that long or
// longer travels as several packets.
inline constexpr std::size_t kMaxPacketLength = 0xFFFFFF;
// The largest packet the client says it takes, in its authentication packet
// (16 MiB, the classic client's figure).
inline constexpr std::uint32_t kAnnouncedMaxPacket = kMaxPacketLength + 1;
// The largest payload this client sends or takes (1 GiB, the protocol's own
// largest max_allowed_packet): a 32-bit process must not try for more.
inline constexpr std::size_t kMaxPayloadLength = 0x40000000;
inline constexpr std::uint32_t kInitialBufferSize = 8192;
// The protocol version this client speaks, and the older one it still takes
// (its error packets carry no number).
inline constexpr std::uint32_t kProtocolVersion = 10;
inline constexpr std::uint32_t kOldestProtocolVersion = 9;

// Every time-out is measured on the monotonic clock: setting the system's
// date and time stretches or cuts no wait.
using TClock = platform::TMonotonicClock;

class TMysqlNet;

// Bounds the packet reads of a scope to `seconds` from now (0: no bound of its
// own). A nested bound never extends an outer one; the outer one comes back
// when the scope ends.
class TReadDeadlineScope {
 public:
  TReadDeadlineScope(TMysqlNet& net, std::uint32_t seconds);
  ~TReadDeadlineScope();
  TReadDeadlineScope(const TReadDeadlineScope&) = delete;
  TReadDeadlineScope& operator=(const TReadDeadlineScope&) = delete;

 private:
  TMysqlNet& net_;
  std::optional<TClock::time_point> previous_;
};

// Bounds every wait of the packet reads of a scope to `seconds` without a
// byte from the peer (0: no bound of its own): a peer that keeps sending is
// never cut off. A nested bound never loosens an outer one.
class TReadSilenceScope {
 public:
  TReadSilenceScope(TMysqlNet& net, std::uint32_t seconds);
  ~TReadSilenceScope();
  TReadSilenceScope(const TReadSilenceScope&) = delete;
  TReadSilenceScope& operator=(const TReadSilenceScope&) = delete;

 private:
  TMysqlNet& net_;
  std::optional<std::chrono::milliseconds> previous_;
};

class TMysqlNet {
 public:
  // payloadLimit: the largest payload sent or taken (tests use less).
  explicit TMysqlNet(std::size_t payloadLimit = kMaxPayloadLength);
  ~TMysqlNet();
  TMysqlNet(const TMysqlNet&) = delete;
  TMysqlNet& operator=(const TMysqlNet&) = delete;

  // Connects the transport (arguments as TMysqlVio::Connect) and sets up the
  // buffer: 0, or the transport's negative result. 0 at once when open.
  [[nodiscard]] int Open(TVioKind kind, const std::string& host, const std::string& pipeName,
                         std::int32_t port, std::uint32_t timeoutSeconds, bool allowTcp);
  // Like Open, over a ready stream (scripted peers in tests).
  [[nodiscard]] int OpenStream(std::unique_ptr<platform::TByteStream> stream, TVioKind kind);
  // Closes the transport and frees the buffer; nothing when closed.
  int Close();
  // Sequence number 0 and an empty write buffer, once per command.
  void Clear();

  // Buffers one packet (sent by Flush or when the buffer fills): 0, or 1 on
  // failure. A payload beyond the limit records 1153 and sends nothing.
  [[nodiscard]] int WritePacket(std::span<const std::uint8_t> data);
  // One command packet (code byte + data), flushed at once: 0, or 1 on failure.
  [[nodiscard]] int WriteCommand(std::uint8_t command, std::span<const std::uint8_t> data);
  // Sends the buffered bytes: 0, or non-zero on failure; the buffer is empty
  // afterwards either way.
  [[nodiscard]] int Flush();
  // Between BeginBatch and EndBatch every send is gathered (framed and
  // compressed as usual) and EndBatch sends it all at once (`send` false:
  // drops it): two commands in one write. EndBatch: 0, or non-zero on
  // failure (how much of it arrived is not known then).
  void BeginBatch();
  [[nodiscard]] int EndBatch(bool send = true);

  // Open, and nothing waiting to be read: no end of the stream, no reset,
  // no packet the server sent unasked. Does not wait.
  [[nodiscard]] bool QuietlyOpen();

  // Next packet: payload length, or -1. No error is recorded here beyond 1153.
  [[nodiscard]] int ReadPacket();
  // Next packet that is not an error packet: payload length (>= 1), or -1.
  // A lost connection closes the transport and records 2013 (2020 for an
  // oversized packet, 2008 when the packet does not fit in memory); a server error packet records
  // the server's number and text and keeps the connection. `clientFlags` with CLIENT_RESERVED (the
  // 4.1 layouts) takes the "#" SQL state of 4.1 error packets.
  [[nodiscard]] int SafeRead(std::uint32_t clientFlags);

  // Gives a grown buffer back (8192 bytes) after a compressed result when no
  // received bytes are pending; false only when re-allocation fails.
  [[nodiscard]] bool ShrinkBuffer();

  // Reads wait for the peer at most until `deadline`; none: as long as the
  // transport blocks. A read that gives up fails like a lost connection.
  void SetReadDeadline(std::optional<TClock::time_point> deadline) { readDeadline_ = deadline; }
  [[nodiscard]] std::optional<TClock::time_point> ReadDeadline() const { return readDeadline_; }
  // The script's time-outs, in seconds (0: none). Reads: every wait for the
  // peer's next bytes lasts at most that long. Writes: a send that makes no
  // progress for that long fails. Both hold for the connection open now and
  // every later one.
  void SetReadTimeout(std::uint32_t seconds);
  void SetWriteTimeout(std::uint32_t seconds);
  // Each wait of a read for the peer's next bytes lasts at most `limit`
  // (none: as long as the deadline or the transport allows).
  void SetReadSilenceLimit(std::optional<std::chrono::milliseconds> limit) {
    silenceLimit_ = limit;
  }
  [[nodiscard]] std::optional<std::chrono::milliseconds> ReadSilenceLimit() const {
    return silenceLimit_;
  }
  // The last failed read gave up at the deadline or the silence limit.
  [[nodiscard]] bool ReadTimedOut() const { return readTimedOut_; }
  // The last failed read met the end of the stream: the peer closed it in
  // order, after everything it had sent.
  [[nodiscard]] bool ReadEndOfStream() const { return readEndOfStream_; }
  // Bytes the transport took and gave so far, on this and earlier connections.
  [[nodiscard]] std::uint64_t BytesReceived() const { return bytesReceived_; }
  [[nodiscard]] std::uint64_t BytesSent() const { return bytesSent_; }

  // Switches the connection to TLS, the SSL request having been sent: nothing
  // received may be pending (a server that spoke first is out of step). The
  // handshake waits for the peer at most until the read deadline. On failure
  // the transport is closed and `error` says why (nothing is recorded).
  [[nodiscard]] bool StartTls(const platform::TTlsSettings& settings, platform::TTlsError& error);
  // Protocol and cipher in use; empty when the connection is not encrypted.
  [[nodiscard]] const std::string& TlsDescription() const { return vio_.TlsDescription(); }
  [[nodiscard]] bool Encrypted() const { return !vio_.TlsDescription().empty(); }

  // Switches the framing of what follows. Bytes already received belong to
  // the new framing: switched on, they are read as compressed blocks.
  void SetCompress(bool on);
  [[nodiscard]] bool Compress() const { return compress_; }

  // The packet just read.
  [[nodiscard]] const std::uint8_t* ReadPos() const { return buffer_.data() + readPos_; }
  [[nodiscard]] std::span<const std::uint8_t> Payload() const {
    return {buffer_.data() + readPos_, lastLength_};
  }
  // The same, for a caller that terminates values where they lie.
  [[nodiscard]] std::span<std::uint8_t> MutablePayload() {
    return {buffer_.data() + readPos_, lastLength_};
  }
  // Whoever keeps pointers into packets already read (a row decoded in
  // place) is told here before the buffer's contents move or go.
  void SetBeforeBufferChange(std::function<void()> hook) { beforeBufferChange_ = std::move(hook); }

  [[nodiscard]] std::uint8_t SequenceNumber() const { return sequenceNumber_; }
  void SetSequenceNumber(std::uint8_t value) { sequenceNumber_ = value; }
  [[nodiscard]] std::uint32_t ProtocolVersion() const { return protocolVersion_; }
  void SetProtocolVersion(std::uint32_t value) { protocolVersion_ = value; }
  [[nodiscard]] std::size_t Capacity() const { return buffer_.size(); }
  [[nodiscard]] std::size_t PayloadLimit() const { return payloadLimit_; }

  // The connection's last error (held by the transport).
  [[nodiscard]] std::int32_t LastErrorNo() const { return vio_.ErrorNumber(); }
  [[nodiscard]] const std::string& LastError() const { return vio_.ErrorMessage(); }
  void SetError(std::int32_t number, std::string_view text) { vio_.SetError(number, text); }
  // Number plus its formatted catalogue message.
  void SetClientError(std::int32_t number, std::initializer_list<TErrorArg> args = {}) {
    vio_.SetClientError(number, args);
  }

  [[nodiscard]] bool IsOpen() const { return vio_.Kind() != VioClosed; }
  [[nodiscard]] TVioKind Kind() const { return vio_.Kind(); }
  [[nodiscard]] TMysqlVio& Vio() { return vio_; }

 private:
  static constexpr std::uint8_t kActivityReading = 1;
  static constexpr std::uint8_t kActivityWriting = 2;

  [[nodiscard]] int ResetState();
  void RecordPacketTooLarge();
  // Writing.
  [[nodiscard]] int WritePieces(const std::uint8_t* command, std::span<const std::uint8_t> data);
  [[nodiscard]] int WriteBuffered(const std::uint8_t* data, std::size_t length);
  [[nodiscard]] int RealWrite(const std::uint8_t* data, std::size_t length);
  [[nodiscard]] bool WriteBlock(const std::uint8_t* data, std::size_t length, int& retries);
  [[nodiscard]] bool SendAll(const std::uint8_t* data, std::size_t length, int& retries);
  // Reading: the packet stream is read in as large pieces as the buffer
  // takes, and packets are handed out of it in place.
  [[nodiscard]] int NextPacket();
  [[nodiscard]] int ReadNextPacket();
  // The packet of `length` bytes at start_ is the one just read.
  int HandOut(std::size_t length);
  [[nodiscard]] bool Fill(std::size_t needed, int& retries);
  [[nodiscard]] bool ReadBlock(int& retries);
  [[nodiscard]] bool FillRaw(std::size_t needed, int& retries);
  [[nodiscard]] bool ReadSome(TByteBuffer& into, std::size_t& end, int& retries);
  [[nodiscard]] bool AwaitData();
  // The bound of the next wait for data: the sooner of the deadline and the
  // silence allowed from now; none when there is neither.
  [[nodiscard]] std::optional<TClock::time_point> WaitLimit() const;
  [[nodiscard]] bool MakeRoom(std::size_t needed);
  [[nodiscard]] bool GrowBuffer(std::size_t size);
  void RestoreSavedByte();
  void BufferWillChange() {
    if (beforeBufferChange_) beforeBufferChange_();
  }
  void RecordServerError(std::uint32_t clientFlags);

  TMysqlVio vio_;
  std::size_t payloadLimit_;
  bool compress_ = false;
  std::uint8_t activity_ = 0;  // 0 idle, 1 reading, 2 writing
  std::uint8_t sequenceNumber_ = 0;
  // Outgoing packets collect here until a flush or a full buffer sends them.
  std::vector<std::uint8_t> out_;
  std::size_t writePos_ = 0;
  // The incoming packet stream (compressed: as inflated): bytes start_ to end_
  // are not handed out yet. The packet just read is at readPos_; the byte
  // after it, covered by its terminating 0, is kept in savedByte_.
  TByteBuffer buffer_;
  std::size_t start_ = 0;
  std::size_t end_ = 0;
  std::size_t readPos_ = 0;
  std::size_t lastLength_ = 0;
  bool byteSaved_ = false;
  std::uint8_t savedByte_ = 0;
  // Compressed reading: the blocks as they come from the transport.
  TByteBuffer raw_;
  std::size_t rawStart_ = 0;
  std::size_t rawEnd_ = 0;
  TZlibInflater inflater_;
  TZlibDeflater deflater_;
  std::vector<std::uint8_t> block_;  // an outgoing compressed block
  std::uint32_t protocolVersion_ = kProtocolVersion;
  std::optional<TClock::time_point> readDeadline_;
  bool batching_ = false;
  std::vector<std::uint8_t> batch_;
  std::optional<std::chrono::milliseconds> silenceLimit_;
  std::optional<std::chrono::milliseconds> readTimeout_;
  std::int64_t writeTimeoutMs_ = 0;
  bool readTimedOut_ = false;
  // Reads of the transport in a row that took all the room they were given.
  int fullReads_ = 0;
  bool readEndOfStream_ = false;
  std::uint64_t bytesReceived_ = 0;
  std::uint64_t bytesSent_ = 0;
  // The packet being read did not fit in memory (reported as 2008).
  bool outOfMemory_ = false;
  std::function<void()> beforeBufferChange_;
};

}  // namespace mysql

#pragma once
// Byte-level pieces of the client/server protocol that the benchmark's own
// peers need: packet headers, a scanner that walks packets through a byte
// stream, and compressed blocks.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace bench {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::size_t kPacketHeader = 4;
inline constexpr std::size_t kBlockHeader = 7;
// Uncompressed bytes per compressed block (the server's default net buffer).
inline constexpr std::size_t kBlockData = 16384;

std::uint32_t Get3(const std::uint8_t* p);
void Append3(Bytes& out, std::size_t value);
void AppendInt(Bytes& out, std::uint64_t value, std::size_t width);
void AppendText(Bytes& out, std::string_view text);
// A packet: 3-byte length, sequence number, payload.
void AppendPacket(Bytes& out, std::uint8_t sequence, std::span<const std::uint8_t> payload);

// The packet stream `plain` cut into compressed blocks of kBlockData bytes,
// sequence numbers from `firstSequence`; a block that zlib cannot shrink is
// stored as it is (uncompressed length 0), as servers do.
Bytes CompressStream(std::span<const std::uint8_t> plain, std::uint8_t firstSequence);
// The payload of one block: inflated when its uncompressed length is not 0.
// Empty on a zlib failure.
Bytes InflateBlock(std::span<const std::uint8_t> payload, std::uint32_t uncompressedLength);

// Where a reply ends. Feed packet payloads in order; Done() turns true on
// the packet that completes the reply: an OK or error packet in place of a
// result set, or the end-of-data packet after the rows.
class ReplyTracker {
 public:
  void Feed(std::span<const std::uint8_t> payload);
  [[nodiscard]] bool Done() const { return done_; }
  [[nodiscard]] std::uint64_t Rows() const { return rows_; }

 private:
  int endMarkers_ = 0;  // end-of-data packets seen: after the fields, after the rows
  bool started_ = false;
  bool done_ = false;
  std::uint64_t rows_ = 0;
};

// Walks whole packets through bytes that arrive in arbitrary pieces; a packet
// split across pieces is kept until its rest comes.
class PacketScanner {
 public:
  // Calls `onPacket(payload)` for each packet completed by `chunk`. Whole
  // packets are handed out in place; only one split across two pieces is
  // copied.
  template <typename OnPacket>
  void Feed(std::span<const std::uint8_t> chunk, OnPacket onPacket) {
    std::size_t pos = 0;
    if (!pending_.empty()) {
      pos = CompletePending(chunk);
      if (!PendingWhole()) return;
      onPacket(std::span<const std::uint8_t>(pending_).subspan(kPacketHeader));
      pending_.clear();
    }
    while (chunk.size() - pos >= kPacketHeader) {
      const std::size_t length = Get3(chunk.data() + pos);
      if (chunk.size() - pos - kPacketHeader < length) break;
      onPacket(chunk.subspan(pos + kPacketHeader, length));
      pos += kPacketHeader + length;
    }
    pending_.assign(chunk.begin() + static_cast<std::ptrdiff_t>(pos), chunk.end());
  }

 private:
  // Moves bytes of `chunk` into the split packet until it is whole (or the
  // chunk is used up); answers how many bytes it took.
  std::size_t CompletePending(std::span<const std::uint8_t> chunk);
  [[nodiscard]] bool PendingWhole() const;

  Bytes pending_;
};

}  // namespace bench

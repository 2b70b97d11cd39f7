#include "bench/Wire.h"

#include <zlib.h>

#include <algorithm>

namespace bench {

namespace {
constexpr std::uint8_t kOkMarker = 0x00;
constexpr std::uint8_t kErrorMarker = 0xFF;
constexpr std::uint8_t kEndMarker = 0xFE;
// An end-of-data packet is shorter than this; a longer one starting with
// 0xFE is a row.
constexpr std::size_t kEndLimit = 9;
}  // namespace

std::uint32_t Get3(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16;
}

void AppendInt(Bytes& out, std::uint64_t value, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i)
    out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void Append3(Bytes& out, std::size_t value) {
  AppendInt(out, value, 3);
}

void AppendText(Bytes& out, std::string_view text) {
  out.insert(out.end(), text.begin(), text.end());
}

void AppendPacket(Bytes& out, std::uint8_t sequence, std::span<const std::uint8_t> payload) {
  Append3(out, payload.size());
  out.push_back(sequence);
  out.insert(out.end(), payload.begin(), payload.end());
}

Bytes CompressStream(std::span<const std::uint8_t> plain, std::uint8_t firstSequence) {
  Bytes out;
  Bytes packed(compressBound(kBlockData));
  std::uint8_t sequence = firstSequence;
  for (std::size_t pos = 0; pos < plain.size(); pos += kBlockData) {
    const auto piece = plain.subspan(pos, std::min(kBlockData, plain.size() - pos));
    uLongf packedLength = static_cast<uLongf>(packed.size());
    const bool shrunk = compress(packed.data(), &packedLength, piece.data(),
                                 static_cast<uLong>(piece.size())) == Z_OK &&
                        packedLength < piece.size();
    const auto body = shrunk ? std::span<const std::uint8_t>(packed.data(), packedLength) : piece;
    Append3(out, body.size());
    out.push_back(sequence++);
    Append3(out, shrunk ? piece.size() : 0);
    out.insert(out.end(), body.begin(), body.end());
  }
  return out;
}

Bytes InflateBlock(std::span<const std::uint8_t> payload, std::uint32_t uncompressedLength) {
  if (uncompressedLength == 0) return Bytes(payload.begin(), payload.end());
  Bytes out(uncompressedLength);
  uLongf length = uncompressedLength;
  if (uncompress(out.data(), &length, payload.data(), static_cast<uLong>(payload.size())) != Z_OK)
    return {};
  out.resize(length);
  return out;
}

void ReplyTracker::Feed(std::span<const std::uint8_t> payload) {
  if (done_ || payload.empty()) return;
  const bool endMarker = payload[0] == kEndMarker && payload.size() < kEndLimit;
  if (!started_) {
    started_ = true;
    done_ = payload[0] == kOkMarker || payload[0] == kErrorMarker;
    return;
  }
  if (endMarker) {
    done_ = ++endMarkers_ == 2;
    return;
  }
  if (endMarkers_ == 1) {
    if (payload[0] == kErrorMarker)
      done_ = true;  // the rows broke off
    else
      ++rows_;
  }
}

std::size_t PacketScanner::CompletePending(std::span<const std::uint8_t> chunk) {
  std::size_t pos = 0;
  while (pending_.size() < kPacketHeader && pos < chunk.size()) pending_.push_back(chunk[pos++]);
  if (pending_.size() < kPacketHeader) return pos;
  const std::size_t whole = kPacketHeader + Get3(pending_.data());
  const std::size_t take = std::min(whole - pending_.size(), chunk.size() - pos);
  pending_.insert(pending_.end(), chunk.begin() + static_cast<std::ptrdiff_t>(pos),
                  chunk.begin() + static_cast<std::ptrdiff_t>(pos + take));
  return pos + take;
}

bool PacketScanner::PendingWhole() const {
  return pending_.size() >= kPacketHeader &&
         pending_.size() == kPacketHeader + Get3(pending_.data());
}

}  // namespace bench

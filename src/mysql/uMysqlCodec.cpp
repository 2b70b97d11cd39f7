#include "mysql/uMysqlCodec.h"

#include <algorithm>

namespace mysql {

TPacketReader::TPacketReader(TBytes packet, std::size_t pos) : packet_(packet), pos_(pos) {
  if (pos_ > packet_.size()) ok_ = false;
}

bool TPacketReader::Need(std::size_t count) {
  if (ok_ && count > packet_.size() - pos_) ok_ = false;
  return ok_;
}

std::uint8_t TPacketReader::ReadByte() {
  if (!Need(1)) return 0;
  return packet_[pos_++];
}

std::uint32_t TPacketReader::ReadUInt(std::size_t width) {
  if (!Need(width)) return 0;
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < width; ++i) value |= std::uint32_t{packet_[pos_ + i]} << (8 * i);
  pos_ += width;
  return value;
}

std::uint64_t TPacketReader::ReadUInt64() {
  if (!Need(8)) return 0;
  const std::uint64_t low = ReadUInt(4);
  const std::uint64_t high = ReadUInt(4);
  return low | (high << 32);
}

std::string_view TPacketReader::ReadBytes(std::size_t count) {
  if (!Need(count)) return {};
  const auto* start = reinterpret_cast<const char*>(packet_.data() + pos_);
  pos_ += count;
  return {start, count};
}

void TPacketReader::Skip(std::size_t count) {
  if (Need(count)) pos_ += count;
}

std::string_view TPacketReader::ReadNulTerminated() {
  if (!ok_) return {};
  const auto rest = packet_.subspan(pos_);
  const auto nul = std::find(rest.begin(), rest.end(), std::uint8_t{0});
  const auto length = static_cast<std::size_t>(nul - rest.begin());
  const std::string_view text = ReadBytes(length);
  if (nul != rest.end()) ++pos_;
  return text;
}

std::string_view TPacketReader::ReadRest() {
  return ReadBytes(Remaining());
}

std::optional<std::uint64_t> TPacketReader::ReadLengthCoded() {
  const std::uint8_t first = ReadByte();
  if (first == kLengthCodedNull) return std::nullopt;
  const std::size_t width = LengthCodedExtraBytes(first);
  const std::uint64_t value = width == 0 ? first : width == 8 ? ReadUInt64() : ReadUInt(width);
  if (!ok_) return std::nullopt;
  return value;
}

std::optional<std::uint32_t> TPacketReader::ReadLengthCoded32() {
  const auto value = ReadLengthCoded();
  if (!value) return std::nullopt;
  return static_cast<std::uint32_t>(*value);
}

std::optional<std::string_view> TPacketReader::ReadLengthCodedString() {
  const auto length = ReadLengthCoded();
  if (!length) return std::nullopt;
  if (*length > Remaining()) {
    ok_ = false;
    return std::nullopt;
  }
  return ReadBytes(static_cast<std::size_t>(*length));
}

TBytes AsBytes(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string_view AsText(TBytes bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

void AppendUInt(std::vector<std::uint8_t>& out, std::uint32_t value, std::size_t width) {
  for (std::size_t i = 0; i < width; ++i)
    out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void AppendText(std::vector<std::uint8_t>& out, std::string_view text) {
  const TBytes bytes = AsBytes(text);
  out.insert(out.end(), bytes.begin(), bytes.end());
}

std::string_view UpToNul(std::string_view text) {
  return text.substr(0, text.find('\0'));
}

}  // namespace mysql

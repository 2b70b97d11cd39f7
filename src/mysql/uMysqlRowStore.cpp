#include "mysql/uMysqlRowStore.h"

#include <algorithm>
#include <cstring>

namespace {

// Buffered rows are stored in blocks of this many 32-bit words (64 KiB),
// or one block of its own for a larger row.
constexpr std::size_t kBlockWords = 16384;

// Record words needed at most for a row packet of `length` bytes: the
// offsets, and the values, which with their NULs never take more bytes than
// their length prefixes and texts did in the packet.
std::size_t RecordWords(std::size_t columns, std::size_t length) {
  return columns + 1 + (length + 3) / 4;
}

// Writes the record of `packet` at `out` (RecordWords long): its size in
// words, or 0 when the packet ends before its values do. Record layout: word
// i is the byte offset where value i begins, word i + 1 where it ends (after
// its NUL); a value that takes no bytes at all is NULL.
std::size_t EncodeRow(TBytes packet, std::size_t columns, std::uint32_t* out) {
  auto* bytes = reinterpret_cast<std::uint8_t*>(out);
  std::size_t write = (columns + 1) * 4;
  const std::uint8_t* in = packet.data();
  const std::uint8_t* const end = in + packet.size();
  for (std::size_t column = 0; column < columns; ++column) {
    out[column] = static_cast<std::uint32_t>(write);
    if (in == end) return 0;
    const std::uint8_t first = *in++;
    std::uint64_t length = first;
    if (first == kLengthCodedNull) continue;
    if (first >= 252) {
      const std::size_t width = first == 252 ? 2 : first == 253 ? 3 : 8;
      if (static_cast<std::size_t>(end - in) < width) return 0;
      length = 0;
      for (std::size_t i = 0; i < width; ++i) length |= std::uint64_t{in[i]} << (8 * i);
      in += width;
    }
    if (length > static_cast<std::uint64_t>(end - in)) return 0;
    std::memcpy(bytes + write, in, static_cast<std::size_t>(length));
    in += length;
    write += static_cast<std::size_t>(length);
    bytes[write++] = 0;
  }
  out[columns] = static_cast<std::uint32_t>(write);
  return (write + 3) / 4;
}

}  // namespace

std::optional<std::string_view> TRowRef::Value(std::size_t column) const {
  const std::uint32_t begin = record_[column];
  const std::uint32_t end = record_[column + 1];
  if (begin == end) return std::nullopt;
  return std::string_view(reinterpret_cast<const char*>(record_) + begin, end - begin - 1);
}

bool TRowStore::Append(TBytes packet) {
  const std::size_t words = RecordWords(columns_, packet.size());
  if (capacity_ - used_ < words) {
    const std::size_t size = std::max(kBlockWords, words);
    blocks_.push_back(std::make_unique_for_overwrite<std::uint32_t[]>(size));
    used_ = 0;
    capacity_ = size;
  }
  std::uint32_t* record = blocks_.back().get() + used_;
  const std::size_t used = EncodeRow(packet, columns_, record);
  if (used == 0) return false;
  rows_.push_back(record);  // when this throws, the record is simply not kept
  used_ += used;
  return true;
}

bool TCurrentRow::Assign(TBytes packet, std::size_t columns) {
  const std::size_t words = RecordWords(columns, packet.size());
  if (decoding_.size() < words) decoding_.resize(words);
  if (EncodeRow(packet, columns, decoding_.data()) == 0) return false;
  record_.swap(decoding_);
  present_ = true;
  return true;
}

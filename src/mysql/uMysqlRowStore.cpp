#include "mysql/uMysqlRowStore.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// Buffered rows are stored in blocks of this many 32-bit words (256 KiB),
// or one block of its own for a larger row.
constexpr std::size_t kBlockWords = 65536;

// Record words needed at most for a row packet of `length` bytes: the
// offsets, and the values, which with their NULs never take more bytes than
// their length prefixes and texts did in the packet.
std::size_t RecordWords(std::size_t columns, std::size_t length) {
  return columns + 1 + (length + 3) / 4;
}

// Writes the record of `packet` at `out` (RecordWords long), raising the
// longest value of each column it holds: the record's size in words, or 0
// when the packet ends before its values do. Record layout: word i is the
// byte offset where value i begins, word i + 1 where it ends (after its NUL);
// a value that takes no bytes at all is NULL.
std::size_t EncodeRow(TBytes packet, std::size_t columns, std::uint32_t* out,
                      std::uint32_t* longest) {
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
    if (length > longest[column]) longest[column] = static_cast<std::uint32_t>(length);
    std::memcpy(bytes + write, in, static_cast<std::size_t>(length));
    in += length;
    write += static_cast<std::size_t>(length);
    bytes[write++] = 0;
  }
  out[columns] = static_cast<std::uint32_t>(write);
  return (write + 3) / 4;
}

}  // namespace

bool TRowStore::Append(TBytes packet) {
  const std::size_t words = RecordWords(columns_, packet.size());
  if (capacity_ - used_ < words) {
    const std::size_t size = std::max(kBlockWords, words);
    blocks_.push_back(std::make_unique_for_overwrite<std::uint32_t[]>(size));
    used_ = 0;
    capacity_ = size;
  }
  std::uint32_t* record = blocks_.back().get() + used_;
  const std::size_t used = EncodeRow(packet, columns_, record, longest_.data());
  if (used == 0) return false;
  rows_.push_back(record);  // when this throws, the record is simply not kept
  used_ += used;
  return true;
}

bool TCurrentRow::Assign(std::span<std::uint8_t> packet, std::size_t columns) {
  if (decoding_.size() != 2 * columns) decoding_.resize(2 * columns);
  std::uint8_t* const base = packet.data();
  std::uint8_t* p = base;
  const std::uint8_t* const end = base + packet.size();
  std::uint32_t* span = decoding_.data();
  for (std::size_t column = 0; column < columns; ++column, span += 2) {
    if (p == end) return false;
    const std::uint8_t first = *p;
    // The value before ends where this prefix begins: now that the prefix is
    // read, its first byte becomes that value's terminator.
    *p++ = 0;
    std::uint64_t length = first;
    if (first >= kLengthCodedNull) {
      if (first == kLengthCodedNull) {
        span[1] = kNull;
        continue;
      }
      const std::size_t width = first == 252 ? 2 : first == 253 ? 3 : 8;
      if (static_cast<std::size_t>(end - p) < width) return false;
      length = 0;
      for (std::size_t i = 0; i < width; ++i) length |= std::uint64_t{p[i]} << (8 * i);
      p += width;
    }
    if (length > static_cast<std::uint64_t>(end - p)) return false;
    span[0] = static_cast<std::uint32_t>(p - base);
    span[1] = static_cast<std::uint32_t>(length);
    p += length;
  }
  // The last value ends at the packet's own terminating 0, or before bytes
  // the packet carries beyond its values.
  if (p != end) *p = 0;
  spans_.swap(decoding_);
  base_ = reinterpret_cast<const char*>(base);
  inPlace_ = true;
  present_ = true;
  return true;
}

void TCurrentRow::Keep() noexcept {
  if (!inPlace_) return;
  inPlace_ = false;
  std::size_t bytes = 0;
  for (std::size_t i = 1; i < spans_.size(); i += 2)
    if (spans_[i] != kNull) bytes += spans_[i] + 1;
  std::vector<char> copy;
  try {
    copy.resize(bytes);
  } catch (const std::bad_alloc&) {
    // Nothing to keep the row in: it is gone rather than left dangling.
    present_ = false;
    return;
  }
  std::size_t at = 0;
  for (std::size_t i = 0; i < spans_.size(); i += 2) {
    const std::uint32_t length = spans_[i + 1];
    if (length == kNull) continue;
    std::memcpy(copy.data() + at, base_ + spans_[i], length);
    copy[at + length] = 0;
    spans_[i] = static_cast<std::uint32_t>(at);
    at += length + 1;
  }
  owned_.swap(copy);
  base_ = owned_.data();
}

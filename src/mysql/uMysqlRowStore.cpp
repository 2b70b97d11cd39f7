#include "mysql/uMysqlRowStore.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace mysql {

namespace {

// Buffered rows are stored in blocks of 256 KiB, or a block of its own for
// a larger row.
constexpr std::size_t kBlockBytes = 262144;
// Records begin at multiples of this, for their offsets.
constexpr std::size_t kRecordAlignment = 4;
// A record whose bytes stay below this takes 16-bit offsets.
constexpr std::size_t kNarrowRecord = 65536;

std::size_t Aligned(std::size_t bytes) {
  return (bytes + kRecordAlignment - 1) / kRecordAlignment * kRecordAlignment;
}

// Record bytes needed at most for a row packet of `length` bytes with offsets
// of `width` bytes: the offsets, and the values, which with their NULs never
// take more bytes than their length prefixes and texts did in the packet.
std::size_t RecordBytes(std::size_t columns, std::size_t length, std::size_t width) {
  return (columns + 1) * width + length;
}

// Writes the record of `packet` at `out` (RecordBytes long), raising the
// longest value of each column it holds: the record's size in bytes, or 0
// when the packet ends before its values do.
template <typename Offset>
std::size_t EncodeRow(TBytes packet, std::size_t columns, unsigned char* out,
                      std::uint32_t* longest) {
  std::size_t write = (columns + 1) * sizeof(Offset);
  const auto offset = [out](std::size_t index, std::size_t value) {
    const auto narrow = static_cast<Offset>(value);
    std::memcpy(out + index * sizeof(Offset), &narrow, sizeof(Offset));
  };
  const std::uint8_t* in = packet.data();
  const std::uint8_t* const end = in + packet.size();
  for (std::size_t column = 0; column < columns; ++column) {
    offset(column, write);
    if (in == end) return 0;
    const std::uint8_t first = *in++;
    std::uint64_t length = first;
    if (first == kLengthCodedNull) continue;
    if (const std::size_t width = LengthCodedExtraBytes(first); width != 0) {
      if (static_cast<std::size_t>(end - in) < width) return 0;
      length = 0;
      for (std::size_t i = 0; i < width; ++i) length |= std::uint64_t{in[i]} << (8 * i);
      in += width;
    }
    if (length > static_cast<std::uint64_t>(end - in)) return 0;
    if (length > longest[column]) longest[column] = static_cast<std::uint32_t>(length);
    std::memcpy(out + write, in, static_cast<std::size_t>(length));
    in += length;
    write += static_cast<std::size_t>(length);
    out[write++] = 0;
  }
  offset(columns, write);
  return write;
}

}  // namespace

bool TRowStore::Append(TBytes packet) {
  const bool wide = RecordBytes(columns_, packet.size(), 2) >= kNarrowRecord;
  const std::size_t bytes = Aligned(RecordBytes(columns_, packet.size(), wide ? 4 : 2));
  if (capacity_ - used_ < bytes) {
    const std::size_t size = std::max(kBlockBytes, bytes);
    blocks_.push_back(std::make_unique_for_overwrite<unsigned char[]>(size));
    used_ = 0;
    capacity_ = size;
  }
  if (count_ % kIndexChunk == 0 && count_ / kIndexChunk == index_.size())
    index_.push_back(std::make_unique_for_overwrite<std::uintptr_t[]>(kIndexChunk));
  unsigned char* record = blocks_.back().get() + used_;
  const std::size_t used =
      wide ? EncodeRow<std::uint32_t>(packet, columns_, record, longest_.data())
           : EncodeRow<std::uint16_t>(packet, columns_, record, longest_.data());
  if (used == 0) return false;
  index_[count_ / kIndexChunk][count_ % kIndexChunk] =
      reinterpret_cast<std::uintptr_t>(record) | (wide ? 1 : 0);
  ++count_;
  used_ += Aligned(used);
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
      const std::size_t width = LengthCodedExtraBytes(first);
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

}  // namespace mysql

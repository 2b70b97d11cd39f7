#pragma once
// Where the rows of a result live. A row is one record: the offsets of its
// values, then the values one after another, each followed by a NUL, so every
// value is its own NUL-terminated text and a row takes one piece of memory.
// The rows of a buffered result lie back to back in large blocks of one store;
// the current row of a row-by-row result is a record that each row reuses.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "mysql/uMysqlCodec.h"

namespace mysql {

// A stored row record, read only; it stays valid while its store lives. A
// record is its value offsets, 16-bit when the whole record stays below
// 64 KiB and 32-bit otherwise, then the values: offset i is where value i
// begins, offset i + 1 where it ends (after its NUL); a value that takes no
// bytes at all is NULL.
class TRowRef {
 public:
  TRowRef() = default;
  TRowRef(const unsigned char* record, bool wide) : record_(record), wide_(wide) {}

  // The value of a column (which must exist): nullopt for SQL NULL.
  [[nodiscard]] std::optional<std::string_view> Value(std::size_t column) const {
    const std::uint32_t begin = Offset(column);
    const std::uint32_t end = Offset(column + 1);
    if (begin == end) return std::nullopt;
    return std::string_view(reinterpret_cast<const char*>(record_) + begin, end - begin - 1);
  }

 private:
  [[nodiscard]] std::uint32_t Offset(std::size_t index) const {
    if (wide_) {
      std::uint32_t offset;
      std::memcpy(&offset, record_ + 4 * index, 4);
      return offset;
    }
    std::uint16_t offset;
    std::memcpy(&offset, record_ + 2 * index, 2);
    return offset;
  }

  const unsigned char* record_ = nullptr;
  bool wide_ = false;
};

// The rows of a buffered result, in arrival order: records back to back in
// large blocks, found through an index that grows in chunks (no copying).
class TRowStore {
 public:
  explicit TRowStore(std::size_t columns) : columns_(columns), longest_(columns) {}

  // Decodes a row packet (one length-coded string per column, 251 for NULL)
  // into a new record: false, storing nothing, when the packet ends before
  // its values do. Running out of memory throws std::bad_alloc.
  [[nodiscard]] bool Append(TBytes packet);
  [[nodiscard]] std::size_t Count() const { return count_; }
  [[nodiscard]] TRowRef Row(std::size_t index) const {
    const std::uintptr_t entry = index_[index / kIndexChunk][index % kIndexChunk];
    return TRowRef(reinterpret_cast<const unsigned char*>(entry & ~std::uintptr_t{1}),
                   (entry & 1) != 0);
  }
  // The length of the longest value of each column so far.
  [[nodiscard]] const std::vector<std::uint32_t>& LongestValues() const { return longest_; }

 private:
  static constexpr std::size_t kIndexChunk = 65536;

  std::size_t columns_;
  std::vector<std::uint32_t> longest_;
  std::vector<std::unique_ptr<unsigned char[]>> blocks_;
  std::size_t used_ = 0;      // bytes of the last block in use
  std::size_t capacity_ = 0;  // bytes of the last block
  // Where each record begins, its lowest bit set for 32-bit offsets.
  std::vector<std::unique_ptr<std::uintptr_t[]>> index_;
  std::size_t count_ = 0;
};

// The current row of a row-by-row result. Rows are decoded where they lie in
// the packet buffer, and copied into memory of the row's own only when the
// buffer is about to change under them or no row follows.
class TCurrentRow {
 public:
  // Decodes a row packet in place: every value is NUL-terminated where it
  // lies, over the length prefix of the value after it (read before) or, for
  // the last one, by the packet's own terminating 0. The row then refers into
  // the packet until Keep() or the next Assign; false, keeping the row before
  // (and the packet spoilt), when the packet ends before its values do.
  [[nodiscard]] bool Assign(std::span<std::uint8_t> packet, std::size_t columns);
  // Copies a row that refers into a packet into memory of its own (without
  // memory for it, the row is dropped).
  void Keep() noexcept;
  [[nodiscard]] bool Present() const { return present_; }
  // The value of a column (which must exist): nullopt for SQL NULL.
  [[nodiscard]] std::optional<std::string_view> Value(std::size_t column) const {
    const std::uint32_t length = spans_[2 * column + 1];
    if (length == kNull) return std::nullopt;
    return std::string_view(base_ + spans_[2 * column], length);
  }

 private:
  static constexpr std::uint32_t kNull = 0xFFFFFFFF;

  std::vector<std::uint32_t> spans_;     // per column: where the value begins, its length
  std::vector<std::uint32_t> decoding_;  // the spans of a row being decoded
  const char* base_ = nullptr;           // the packet, or owned_
  std::vector<char> owned_;
  bool inPlace_ = false;
  bool present_ = false;
};

}  // namespace mysql

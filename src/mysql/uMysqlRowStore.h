#pragma once
// Where the rows of a result live. A row is one record: the offsets of its
// values, then the values one after another, each followed by a NUL, so every
// value is its own NUL-terminated text and a row takes one piece of memory.
// The rows of a buffered result lie back to back in large blocks of one store;
// the current row of a row-by-row result is a record that each row reuses.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "mysql/uMysqlCodec.h"

// A row record, read only; it stays valid while its store or current row
// holds it.
class TRowRef {
 public:
  TRowRef() = default;
  explicit TRowRef(const std::uint32_t* record) : record_(record) {}

  [[nodiscard]] bool Present() const { return record_ != nullptr; }
  // The value of a column (which must exist): nullopt for SQL NULL.
  [[nodiscard]] std::optional<std::string_view> Value(std::size_t column) const;

 private:
  const std::uint32_t* record_ = nullptr;
};

// The rows of a buffered result, in arrival order.
class TRowStore {
 public:
  explicit TRowStore(std::size_t columns) : columns_(columns) {}

  // Decodes a row packet (one length-coded string per column, 251 for NULL)
  // into a new record: false, storing nothing, when the packet ends before
  // its values do. Running out of memory throws std::bad_alloc.
  [[nodiscard]] bool Append(TBytes packet);
  [[nodiscard]] std::size_t Count() const { return rows_.size(); }
  [[nodiscard]] TRowRef Row(std::size_t index) const { return TRowRef(rows_[index]); }

 private:
  std::size_t columns_;
  std::vector<std::unique_ptr<std::uint32_t[]>> blocks_;
  std::size_t used_ = 0;      // words of the last block in use
  std::size_t capacity_ = 0;  // words of the last block
  std::vector<const std::uint32_t*> rows_;
};

// The current row of a row-by-row result.
class TCurrentRow {
 public:
  // Decodes a row packet into the record, replacing the row before; false,
  // keeping the row before, when the packet ends before its values do.
  [[nodiscard]] bool Assign(TBytes packet, std::size_t columns);
  [[nodiscard]] TRowRef Row() const { return TRowRef(present_ ? record_.data() : nullptr); }

 private:
  std::vector<std::uint32_t> record_;
  std::vector<std::uint32_t> decoding_;
  bool present_ = false;
};

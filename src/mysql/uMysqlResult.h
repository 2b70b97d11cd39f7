#pragma once
// TMysqlResult: the rows of one statement and a cursor over them.
//
// A buffered result holds every row and is independent of its session; it may
// outlive it. A row-by-row result reads its rows from the session as the
// cursor moves forward; while it still has unread rows the session refuses
// every other command (2014). Destroying it early reads and drops the rest of
// its rows; closing the session cuts it off (it then reports end of data).
// Results are made only by TMysqlClient (uMysqlClient.h).

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "mysql/uMysqlFieldPacket.h"
#include "mysql/uMysqlRowStore.h"

namespace mysql {

class TMysqlClient;

class TMysqlResult {
 public:
  ~TMysqlResult();
  TMysqlResult(const TMysqlResult&) = delete;
  TMysqlResult& operator=(const TMysqlResult&) = delete;

  [[nodiscard]] int FieldCount() const { return static_cast<int>(fields_.size()); }
  // Rows held (buffered) or rows read so far (row-by-row).
  [[nodiscard]] std::uint64_t RowCount() const { return rowCount_; }
  // Current row number from 0; -1 when there is none.
  [[nodiscard]] std::int32_t RecNo() const { return recNo_; }
  // End and start flags (the script's EOF and BOF).
  [[nodiscard]] bool Eof() const { return eof_; }
  [[nodiscard]] bool Bof() const { return bof_; }
  // 0 while rows may still come, 1 after the end of data, -1 when reading
  // stopped without it (lost connection, session closed).
  [[nodiscard]] int ReadStatus() const { return readStatus_; }
  [[nodiscard]] bool LastRowRead() const { return readStatus_ != 0; }
  [[nodiscard]] bool Buffered() const { return buffered_; }

  // nullptr when the index is outside 0 .. FieldCount() - 1.
  [[nodiscard]] const TFieldDescriptor* Field(int index) const;
  [[nodiscard]] const std::vector<TFieldDescriptor>& Fields() const { return fields_; }
  // The current row's value: nullopt for SQL NULL, for an index out of range
  // and when there is no current row. Valid until the cursor moves.
  [[nodiscard]] std::optional<std::string_view> Value(int index) const {
    if (index < 0 || index >= FieldCount()) return std::nullopt;
    const auto column = static_cast<std::size_t>(index);
    if (!buffered_) return current_.Present() ? current_.Value(column) : std::nullopt;
    if (recNo_ < 0) return std::nullopt;
    return rows_.Row(static_cast<std::size_t>(recNo_)).Value(column);
  }
  // Column index by name, -1 when none. Not exact: ASCII letters compare
  // without regard to case (no other folding). First match wins.
  [[nodiscard]] int FieldIndex(std::string_view name, bool exact) const;
  [[nodiscard]] const TFieldDescriptor* FieldByName(std::string_view name, bool exact) const;

  // Cursor moves. A row-by-row result moves only forward; First and Prior
  // just set the flags there, and Locate does nothing.
  void First();
  void Next();
  void Prior();
  void Last();
  void Locate(std::int64_t row);

 private:
  friend class TMysqlClient;

  TMysqlResult(TMysqlClient* session, bool buffered, std::vector<TFieldDescriptor> fields);

  // A buffered result's move to row `recNo` (-1: none).
  void MoveTo(std::int32_t recNo);
  void NextBuffered();
  void NextRowByRow();
  void LastRowByRow();
  // Cuts the link to the session once no more rows come from it.
  void Detach();

  // The session that feeds a row-by-row result; none once it stopped feeding
  // it. Not owned: the session and the result cut this link from either side.
  TMysqlClient* session_;
  bool buffered_;
  std::vector<TFieldDescriptor> fields_;
  TRowStore rows_;       // buffered rows in arrival order
  TRowRef row_;          // the current one of them
  TCurrentRow current_;  // the current row of a row-by-row result
  std::uint64_t rowCount_ = 0;
  std::int32_t recNo_ = -1;
  bool eof_ = false;
  bool bof_ = true;
  int readStatus_ = 0;
};

}  // namespace mysql

#pragma once
// TMysqlResult: the rows of one statement and a cursor over them.
//
// A buffered result holds every row and is independent of its session; it may
// outlive it. A row-by-row result reads its rows from a TRowSource (the
// session) as the cursor moves forward; while it still has unread rows the
// session refuses every other command (2014). Destroying it early reads and
// drops the rest of its rows; closing the session cuts it off (it then
// reports end of data). TMysqlClient (uMysqlClient.h) makes both kinds.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "mysql/uMysqlFieldPacket.h"
#include "mysql/uMysqlRowStore.h"

namespace mysql {

// The result's side of the link to its source: what the source tells the
// row-by-row result it feeds.
class TRowSink {
 public:
  // The current row refers into the source's packet buffer, which is about
  // to change: it is copied out.
  virtual void KeepRow() noexcept = 0;
  // No more rows come from the source (it closed or reconnected, or is going);
  // the result must not call it again.
  virtual void SourceGone() noexcept = 0;

 protected:
  ~TRowSink() = default;
};

// Where a row-by-row result reads its rows: the session whose statement
// announced them. The result calls it until it ends or abandons the rows,
// or until the source tells it it is gone.
class TRowSource {
 public:
  // `sink` takes the rows from now on (called once, by the result's constructor).
  virtual void Feed(TRowSink& sink) = 0;
  // The next row into `row`: 0 a row was read, 1 end of data, -1 failure.
  virtual int ReadRow(std::size_t columns, TCurrentRow& row) = 0;
  // The rows ended (end of data or a failed read) after `rowsRead` rows; the
  // source takes commands again.
  virtual void EndRows(std::uint64_t rowsRead) = 0;
  // The result goes before its rows ended: the rest are read and dropped.
  virtual void AbandonRows(std::uint64_t rowsRead) = 0;

 protected:
  ~TRowSource() = default;
};

class TMysqlResult final : private TRowSink {
 public:
  // A buffered result of `rows`, its cursor on the first of them.
  TMysqlResult(std::vector<TFieldDescriptor> fields, TRowStore rows);
  // A row-by-row result fed by `source`; its first row is read by the first Next.
  TMysqlResult(TRowSource& source, std::vector<TFieldDescriptor> fields);
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
    return row_.Value(column);
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
  void KeepRow() noexcept override { current_.Keep(); }
  void SourceGone() noexcept override { source_ = nullptr; }

  // A buffered result's move to row `recNo` (-1: none).
  void MoveTo(std::int32_t recNo);
  void NextBuffered();
  void NextRowByRow();
  void LastRowByRow();
  // Ends the link to the source once no more rows come from it.
  void Detach();

  // The source that feeds a row-by-row result; none once it stopped feeding
  // it. Not owned: the source and the result cut this link from either side.
  TRowSource* source_ = nullptr;
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

#include "mysql/uMysqlResult.h"

#include <algorithm>

namespace mysql {

namespace {
char AsciiUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) { return AsciiUpper(x) == AsciiUpper(y); });
}
}  // namespace

TMysqlResult::TMysqlResult(std::vector<TFieldDescriptor> fields, TRowStore rows)
    : buffered_(true), fields_(std::move(fields)), rows_(std::move(rows)) {
  rowCount_ = rows_.Count();
  readStatus_ = 1;
  if (rowCount_ > 0)
    MoveTo(0);
  else
    eof_ = true;
}

TMysqlResult::TMysqlResult(TRowSource& source, std::vector<TFieldDescriptor> fields)
    : source_(&source), buffered_(false), fields_(std::move(fields)), rows_(fields_.size()) {
  source.Feed(*this);
}

TMysqlResult::~TMysqlResult() {
  // Rows nobody will read are drained so the session can take commands again.
  if (source_ != nullptr) source_->AbandonRows(rowCount_);
}

void TMysqlResult::Detach() {
  if (source_ == nullptr) return;
  source_->EndRows(rowCount_);
  source_ = nullptr;
}

const TFieldDescriptor* TMysqlResult::Field(int index) const {
  if (index < 0 || index >= FieldCount()) return nullptr;
  return &fields_[static_cast<std::size_t>(index)];
}

int TMysqlResult::FieldIndex(std::string_view name, bool exact) const {
  if (name.empty()) return -1;
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    const std::string& candidate = fields_[i].Name;
    if (exact ? candidate == name : SameIgnoringAsciiCase(candidate, name))
      return static_cast<int>(i);
  }
  return -1;
}

const TFieldDescriptor* TMysqlResult::FieldByName(std::string_view name, bool exact) const {
  return Field(FieldIndex(name, exact));
}

// Buffered results keep the current row at index RecNo (-1: none); the
// cursor never moves past the last row, EOF only says a move found none.

void TMysqlResult::First() {
  bof_ = true;
  if (buffered_ && rowCount_ > 0) {
    MoveTo(0);
    eof_ = false;
  } else if (buffered_) {
    MoveTo(-1);
    eof_ = true;
  } else {
    eof_ = rowCount_ == 0;
  }
}

void TMysqlResult::Next() {
  if (buffered_)
    NextBuffered();
  else
    NextRowByRow();
}

void TMysqlResult::NextBuffered() {
  if (recNo_ >= 0 && static_cast<std::uint64_t>(recNo_) + 1 < rowCount_) {
    MoveTo(recNo_ + 1);
    eof_ = false;
  } else {
    eof_ = true;
  }
  bof_ = rowCount_ == 0;
}

void TMysqlResult::NextRowByRow() {
  bof_ = rowCount_ == 0;
  eof_ = false;
  if (source_ == nullptr) {
    if (readStatus_ == 0) readStatus_ = -1;
    eof_ = true;
    return;
  }
  const int read = source_->ReadRow(fields_.size(), current_);
  if (read == 0) {
    recNo_ = static_cast<std::int32_t>(rowCount_);
    ++rowCount_;
    return;
  }
  readStatus_ = read;
  eof_ = true;
  Detach();
}

void TMysqlResult::Prior() {
  if (buffered_ && recNo_ > 0) {
    MoveTo(recNo_ - 1);
    bof_ = false;
  } else {
    bof_ = true;
  }
  eof_ = rowCount_ == 0;
}

void TMysqlResult::Last() {
  if (!buffered_) {
    LastRowByRow();
    return;
  }
  eof_ = true;
  bof_ = rowCount_ == 0;
  MoveTo(static_cast<std::int32_t>(rowCount_) - 1);
}

void TMysqlResult::LastRowByRow() {
  eof_ = true;
  bof_ = rowCount_ == 0;
  if (source_ == nullptr) {
    if (readStatus_ == 0) readStatus_ = -1;
    return;
  }
  int read = 0;
  while ((read = source_->ReadRow(fields_.size(), current_)) == 0) ++rowCount_;
  readStatus_ = read;
  recNo_ = static_cast<std::int32_t>(rowCount_) - 1;
  Detach();
}

void TMysqlResult::Locate(std::int64_t row) {
  if (!buffered_ || row < 0 || static_cast<std::uint64_t>(row) >= rowCount_) return;
  bof_ = false;
  eof_ = false;
  MoveTo(static_cast<std::int32_t>(row));
}

void TMysqlResult::MoveTo(std::int32_t recNo) {
  recNo_ = recNo;
  row_ = recNo < 0 ? TRowRef() : rows_.Row(static_cast<std::size_t>(recNo));
}

}  // namespace mysql

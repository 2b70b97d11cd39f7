#include "addin/HostDialect.h"

namespace addin {

using platform::TOleVariant;

TOleVariant THostDialect::NewObject(const TOleVariant& app, const std::string& kind) const {
  if (expressions_)
    return HostFunction(app, "EvalExpr", {TOleVariant("CreateObject(\"" + kind + "\")")});
  return HostFunction(app, "NewObject", {TOleVariant(kind)});
}

TOleVariant THostDialect::NewComObject(const TOleVariant& app, const std::string& progId) const {
  return HostFunction(app, expressions_ ? "CreateObject" : "NewObject", {TOleVariant(progId)});
}

TOleVariant THostDialect::ForScript(const TOleVariant& object) const {
  return expressions_ ? TOleVariant(object.ToDispatch()) : object;
}

void THostDialect::AddToList(const TOleVariant& list, const TOleVariant& value,
                             const TOleVariant& presentation) const {
  HostProcedure(list, expressions_ ? "AddValue" : "Add", {value, presentation});
}

void THostTable::DeleteLines() const {
  HostProcedure(table_, dialect_.Expressions() ? "DeleteLines" : "Clear");
}

void THostTable::Clear() {
  HostProcedure(dialect_.Expressions() ? table_ : Columns(), "Clear");
}

void THostTable::AddColumn(const std::string& name, const TOleVariant& typeName) {
  if (dialect_.Expressions()) {
    HostProcedure(table_, "NewColumn", {TOleVariant(name), typeName});
  } else {
    HostProcedure(Columns(), "Add", {TOleVariant(name)});
  }
}

std::int32_t THostTable::ColumnCount() {
  if (dialect_.Expressions()) return HostFunction(table_, "ColumnCount").ToInt32();
  return HostFunction(Columns(), "Count").ToInt32();
}

std::string THostTable::ColumnName(std::int32_t column) {
  if (dialect_.Expressions())
    return HostFunction(table_, "GetColumnParameters", {TOleVariant(column + 1)}).ToString();
  return HostFunction(HostFunction(Columns(), "Get", {TOleVariant(column)}), "Name").ToString();
}

void THostTable::NewLine(std::int32_t line) {
  if (dialect_.Expressions()) {
    if (!newLine_) newLine_.emplace(table_, "NewLine");
    if (!setValue_) setValue_.emplace(table_, "SetValue");
    line_ = TOleVariant(line);
    const TOleVariant args[] = {ByRef(line_)};
    newLine_->Procedure(args);
  } else {
    if (!newLine_) newLine_.emplace(table_, "Add");
    const TOleVariant args[] = {OmittedArg()};
    row_ = newLine_->Function(args);
    setValue_.emplace(row_, "Set");
  }
}

void THostTable::SetCell(std::int32_t column, TOleVariant value) {
  if (dialect_.Expressions()) {
    const TOleVariant args[] = {ByRef(line_), TOleVariant(column + 1), std::move(value)};
    setValue_->Procedure(args);
  } else {
    const TOleVariant args[] = {TOleVariant(column), std::move(value)};
    setValue_->Procedure(args);
  }
}

std::int32_t THostTable::LineCount() {
  return HostFunction(table_, dialect_.Expressions() ? "LineCount" : "Count").ToInt32();
}

void THostTable::GoToLine(std::int32_t line) {
  if (dialect_.Expressions()) {
    if (!getValue_) getValue_.emplace(table_, "GetValue");
    line_ = TOleVariant(line);
  } else {
    if (!getLine_) getLine_.emplace(table_, "Get");
    const TOleVariant args[] = {TOleVariant(line - 1)};
    row_ = getLine_->Function(args);
    getValue_.emplace(row_, "Get");
  }
}

TOleVariant THostTable::Cell(std::int32_t column) {
  if (dialect_.Expressions()) {
    const TOleVariant args[] = {line_, TOleVariant(column + 1)};
    return getValue_->Function(args);
  }
  const TOleVariant args[] = {TOleVariant(column)};
  return getValue_->Function(args);
}

const TOleVariant& THostTable::Columns() {
  if (columns_.IsEmpty()) columns_ = HostFunction(table_, "Columns");
  return columns_;
}

}  // namespace addin

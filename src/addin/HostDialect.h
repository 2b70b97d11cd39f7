// The two ways a 1C:Enterprise host lets an add-in drive its objects, told
// apart by the probe at Init. The expression dialect evaluates expressions
// (CreateObject("ValueTable")) and names table operations after its built-in
// language (NewColumn, NewLine, SetValue, lines and columns counted from 1);
// the object dialect makes objects with NewObject and reaches a table's
// columns and rows as objects of their own (counted from 0). Callers say what
// they want done; only this file knows how each dialect spells it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "addin/HostAutomation.h"
#include "platform/com/OleVariant.h"

namespace addin {

class THostDialect {
 public:
  explicit THostDialect(bool expressions) noexcept : expressions_(expressions) {}

  bool Expressions() const noexcept { return expressions_; }

  // A new object of one of the host's own kinds ("ValueList", "ValueTable")
  // made on the application object.
  platform::TOleVariant NewObject(const platform::TOleVariant& app, const std::string& kind) const;

  // A new object of a registered COM class, by its ProgID, made by the host.
  platform::TOleVariant NewComObject(const platform::TOleVariant& app,
                                     const std::string& progId) const;

  // An object made by NewComObject as a script should receive it: a
  // reference to its dispatch interface in the expression dialect, the value
  // the host gave in the object dialect.
  platform::TOleVariant ForScript(const platform::TOleVariant& object) const;

  // One item, a value with its presentation, appended to a host value list.
  void AddToList(const platform::TOleVariant& list, const platform::TOleVariant& value,
                 const platform::TOleVariant& presentation) const;

 private:
  bool expressions_;
};

// A host value table driven in one dialect. Columns count from 0 here
// whatever the dialect. The members called for every line and cell are looked
// up once: per table, and in the object dialect per row. The table variant
// must outlive this object.
class THostTable {
 public:
  THostTable(const platform::TOleVariant& table, THostDialect dialect) noexcept
      : table_(table), dialect_(dialect) {}

  // Removes the lines and keeps the columns.
  void DeleteLines() const;
  // Removes the columns, and with them the lines.
  void Clear();

  // A column named exactly `name`. Only the expression dialect takes a type
  // name (an empty variant leaves the column untyped).
  void AddColumn(const std::string& name, const platform::TOleVariant& typeName);

  std::int32_t ColumnCount();
  std::string ColumnName(std::int32_t column);

  // Adds a line; the cells set next belong to it. Line numbers count from 1
  // (the expression dialect passes it to the host).
  void NewLine(std::int32_t line);
  // The value goes to the host as it is, without a copy.
  void SetCell(std::int32_t column, platform::TOleVariant value);

  // Reading: the number of lines, then a line (counted from 1) chosen for
  // the cells read next.
  std::int32_t LineCount();
  void GoToLine(std::int32_t line);
  platform::TOleVariant Cell(std::int32_t column);

 private:
  // The table's column collection (object dialect), fetched once.
  const platform::TOleVariant& Columns();

  const platform::TOleVariant& table_;
  THostDialect dialect_;
  platform::TOleVariant columns_;       // object dialect
  platform::TOleVariant line_;          // the line number, passed by reference (expression dialect)
  platform::TOleVariant row_;           // the row just added (object dialect)
  std::optional<THostMember> newLine_;  // NewLine of the table, or its Add
  std::optional<THostMember> setValue_;  // SetValue of the table, or Set of the row
  std::optional<THostMember> getLine_;   // Get of the table (object dialect)
  std::optional<THostMember> getValue_;  // GetValue of the table, or Get of the row
};

}  // namespace addin

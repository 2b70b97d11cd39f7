#include "connection/handlers/TableFill.h"

#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <string>

#include "addin/HostAutomation.h"
#include "connection/handlers/FieldAccess.h"
#include "connection/handlers/HostObjects.h"
#include "connection/values/FieldValue.h"
#include "platform/bstr.h"

namespace connection {

namespace {

using platform::TOleVariant;

IStatusLine& StatusLineOf(TDalvora& object) {
  IStatusLine* statusLine = object.StatusLine();
  if (!statusLine) throw addin::TAddinError("The host offers no status line");
  return *statusLine;
}

void ResetStatus(TDalvora& object) {
  if (FAILED(StatusLineOf(object).ResetStatusLine())) {
    throw addin::TAddinError("The host refused to reset its status line");
  }
}

void ShowStatus(TDalvora& object, const std::string& text) {
  const platform::TBstr message = platform::TBstr::FromAnsi(text);
  if (FAILED(StatusLineOf(object).SetStatusLine(message.Get()))) {
    throw addin::TAddinError("The host refused to show a status line");
  }
}

// Writes rows into a host table one line at a time, in the object's dialect.
// The members called for every line and cell are looked up once: per table,
// and in the object dialect per row object.
class TTableWriter {
 public:
  TTableWriter(const TOleVariant& table, bool expressions)
      : table_(table), expressions_(expressions) {}

  // One column per field, named exactly as the field; the expression dialect
  // also gets the column type name (empty with AutoType on).
  void AddColumns(const mysql::TMysqlResult& result, bool autoType) {
    const TOleVariant columns =
        expressions_ ? TOleVariant() : addin::HostFunction(table_, "Columns");
    for (const mysql::TFieldDescriptor& field : result.Fields()) {
      if (expressions_) {
        addin::HostProcedure(table_, "NewColumn",
                             {TOleVariant(field.Name), ColumnTypeName(field.Type, autoType)});
      } else {
        addin::HostProcedure(columns, "Add", {TOleVariant(field.Name)});
      }
    }
  }

  void NewLine(int32_t line) {
    if (expressions_) {
      if (!newLine_) newLine_.emplace(table_, "NewLine");
      if (!setValue_) setValue_.emplace(table_, "SetValue");
      line_ = TOleVariant(line);
      const TOleVariant args[] = {addin::ByRef(line_)};
      newLine_->Procedure(args);
    } else {
      if (!add_) add_.emplace(table_, "Add");
      const TOleVariant args[] = {addin::OmittedArg()};
      row_ = add_->Function(args);
      setValue_.emplace(row_, "Set");
    }
  }

  // Column numbers count from 0 here; the expression dialect counts from 1.
  // The value goes to the host as it is, without a copy.
  void Set(int32_t column, TOleVariant value) {
    if (expressions_) {
      const TOleVariant args[] = {addin::ByRef(line_), TOleVariant(column + 1), std::move(value)};
      setValue_->Procedure(args);
    } else {
      const TOleVariant args[] = {TOleVariant(column), std::move(value)};
      setValue_->Procedure(args);
    }
  }

  // Every field into the column of the same position.
  void SetAll(const mysql::TMysqlResult& result, bool autoType) {
    for (int i = 0; i < result.FieldCount(); ++i) Set(i, FieldValueAt(result, i, autoType));
  }

  // The table's own columns, each filled from the field of its name, if any.
  void SetByColumnName(const mysql::TMysqlResult& result, bool autoType) {
    if (expressions_) {
      const int32_t count = addin::HostFunction(table_, "ColumnCount").ToInt32();
      for (int32_t c = 1; c <= count; ++c) {
        const std::string name =
            addin::HostFunction(table_, "GetColumnParameters", {TOleVariant(c)}).ToString();
        SetFromField(result, c - 1, name, autoType);
      }
    } else {
      const TOleVariant columns = addin::HostFunction(table_, "Columns");
      const int32_t last = addin::HostFunction(columns, "Count").ToInt32() - 1;
      for (int32_t c = 0; c <= last; ++c) {
        const TOleVariant column = addin::HostFunction(columns, "Get", {TOleVariant(c)});
        SetFromField(result, c, addin::HostFunction(column, "Name").ToString(), autoType);
      }
    }
  }

 private:
  void SetFromField(const mysql::TMysqlResult& result, int32_t column, const std::string& name,
                    bool autoType) {
    const int field = result.FieldIndex(name, false);
    if (field >= 0) Set(column, FieldValueAt(result, field, autoType));
  }

  const TOleVariant& table_;
  bool expressions_;
  TOleVariant line_;  // the line number, passed by reference (expression dialect)
  TOleVariant row_;   // the row just added (object dialect)
  std::optional<addin::THostMember> newLine_;   // expression dialect
  std::optional<addin::THostMember> add_;       // object dialect
  std::optional<addin::THostMember> setValue_;  // SetValue of the table, or Set of the row
};

}  // namespace

TOleVariant FillTableFromResult(TDalvora& object, const TOleVariant& target) {
  ResetStatus(object);
  const bool expressions = object.ExpressionDialect();
  const bool fresh = addin::TAddin::IsOmitted(target);
  TOleVariant table;
  if (fresh) {
    table = NewHostObject(object, "ValueTable");
  } else {
    table = target.Dereferenced();
    addin::HostProcedure(table, expressions ? "DeleteLines" : "Clear");
  }
  if (mysql::TMysqlResult* result = object.CurrentResult()) {
    // A script tells a complete fill by LastErrorNo 0 afterwards, so an
    // error left by something earlier must not stand for this fill.
    mysql::TMysqlClient& client = object.Client();
    client.ClearError();
    int32_t line = 0;
    // What the host refuses while filling ends the fill; the table keeps
    // the lines written so far, and the reason is the last error.
    try {
      TTableWriter writer(table, expressions);
      if (fresh) writer.AddColumns(*result, object.AutoType());
      result->First();
      for (line = 1; !result->Eof(); ++line, result->Next()) {
        ShowStatus(object, std::string("Fetching... ").append(std::to_string(line)));
        writer.NewLine(line);
        if (fresh) {
          writer.SetAll(*result, object.AutoType());
        } else {
          writer.SetByColumnName(*result, object.AutoType());
        }
      }
      ShowStatus(object, "Fetching... done.");
    } catch (const std::bad_alloc&) {
      client.SetError(mysql::ErrOutOfMemory, mysql::FormatClientError(mysql::ErrOutOfMemory));
    } catch (const std::exception& refusal) {
      client.SetError(mysql::ErrFillRefused,
                      mysql::FormatClientError(mysql::ErrFillRefused, {line, refusal.what()}));
    } catch (...) {
      client.SetError(mysql::ErrFillRefused,
                      mysql::FormatClientError(mysql::ErrFillRefused, {line, "unknown failure"}));
    }
    // Rows that stopped coming: the session recorded why (a lost connection,
    // no memory), unless the script closed the session under the result.
    if (result->ReadStatus() < 0 && client.LastErrorNo() == 0)
      client.SetError(mysql::ErrResultCutOff, mysql::FormatClientError(mysql::ErrResultCutOff));
  }
  ResetStatus(object);
  return table;
}

TOleVariant FillTableWithProcesses(TDalvora& object, const TOleVariant& target) {
  const bool expressions = object.ExpressionDialect();
  TOleVariant table;
  try {
    if (addin::TAddin::IsOmitted(target)) {
      table = NewHostObject(object, "ValueTable");
    } else {
      table = target.Dereferenced();
      if (expressions) {
        addin::HostProcedure(table, "Clear");
      } else {
        addin::HostProcedure(addin::HostFunction(table, "Columns"), "Clear");
      }
    }
    const std::unique_ptr<mysql::TMysqlResult> processes = object.Client().ListProcesses();
    if (!processes) return table;
    TTableWriter writer(table, expressions);
    writer.AddColumns(*processes, object.AutoType());
    processes->First();
    for (int32_t line = 1; !processes->Eof(); ++line, processes->Next()) {
      writer.NewLine(line);
      writer.SetAll(*processes, object.AutoType());
    }
  } catch (...) {
  }
  return table;
}

}  // namespace connection

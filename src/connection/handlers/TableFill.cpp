#include "connection/handlers/TableFill.h"

#include <exception>
#include <memory>
#include <new>
#include <string>

#include "addin/HostDialect.h"
#include "connection/handlers/FieldAccess.h"
#include "connection/handlers/StatusLine.h"
#include "connection/values/FieldValue.h"

namespace connection {

namespace {

using platform::TOleVariant;

// Writes rows of a result into a host table one line at a time.
class TTableWriter {
 public:
  TTableWriter(addin::THostTable& table, bool autoType) : table_(table), autoType_(autoType) {}

  // One column per field, named exactly as the field, with the column type
  // name where the dialect takes one (empty with AutoType on).
  void AddColumns(const mysql::TMysqlResult& result) {
    for (const mysql::TFieldDescriptor& field : result.Fields())
      table_.AddColumn(field.Name, ColumnTypeName(field.Type, autoType_));
  }

  void NewLine(std::int32_t line) { table_.NewLine(line); }

  // Every field into the column of the same position.
  void SetAll(const mysql::TMysqlResult& result) {
    for (int i = 0; i < result.FieldCount(); ++i)
      table_.SetCell(i, FieldValueAt(result, i, autoType_));
  }

  // The table's own columns, each filled from the field of its name, if any.
  void SetByColumnName(const mysql::TMysqlResult& result) {
    const std::int32_t count = table_.ColumnCount();
    for (std::int32_t c = 0; c < count; ++c) {
      const int field = result.FieldIndex(table_.ColumnName(c), false);
      if (field >= 0) table_.SetCell(c, FieldValueAt(result, field, autoType_));
    }
  }

 private:
  addin::THostTable& table_;
  bool autoType_;
};

}  // namespace

TOleVariant FillTableFromResult(TDalvora& object, const TOleVariant& target) {
  ResetStatus(object);
  const bool fresh = addin::TAddin::IsOmitted(target);
  const TOleVariant table = fresh ? object.NewHostObject("ValueTable") : target.Dereferenced();
  addin::THostTable host(table, object.Dialect());
  if (!fresh) host.DeleteLines();
  if (mysql::TMysqlResult* result = object.CurrentResult()) {
    // A script tells a complete fill by LastErrorNo 0 afterwards, so an
    // error left by something earlier must not stand for this fill.
    mysql::TMysqlClient& client = object.Client();
    client.ClearError();
    std::int32_t line = 0;
    // What the host refuses while filling ends the fill; the table keeps
    // the lines written so far, and the reason is the last error.
    try {
      TTableWriter writer(host, object.AutoType());
      if (fresh) writer.AddColumns(*result);
      result->First();
      for (line = 1; !result->Eof(); ++line, result->Next()) {
        ShowStatus(object, std::string("Fetching... ").append(std::to_string(line)));
        writer.NewLine(line);
        if (fresh) {
          writer.SetAll(*result);
        } else {
          writer.SetByColumnName(*result);
        }
      }
      ShowStatus(object, "Fetching... done.");
    } catch (const std::bad_alloc&) {
      client.SetClientError(mysql::ErrOutOfMemory);
    } catch (const std::exception& refusal) {
      client.SetClientError(mysql::ErrFillRefused, {line, refusal.what()});
    } catch (...) {
      client.SetClientError(mysql::ErrFillRefused, {line, "unknown failure"});
    }
    // Rows that stopped coming: the session recorded why (a lost connection,
    // no memory), unless the script closed the session under the result.
    if (result->ReadStatus() < 0 && client.LastErrorNo() == 0)
      client.SetClientError(mysql::ErrResultCutOff);
  }
  ResetStatus(object);
  return table;
}

TOleVariant FillTableWithProcesses(TDalvora& object, const TOleVariant& target) {
  TOleVariant table;
  try {
    const bool fresh = addin::TAddin::IsOmitted(target);
    table = fresh ? object.NewHostObject("ValueTable") : target.Dereferenced();
    addin::THostTable host(table, object.Dialect());
    if (!fresh) host.Clear();
    const std::unique_ptr<mysql::TMysqlResult> processes = object.Client().ListProcesses();
    if (!processes) return table;
    TTableWriter writer(host, object.AutoType());
    writer.AddColumns(*processes);
    processes->First();
    for (std::int32_t line = 1; !processes->Eof(); ++line, processes->Next()) {
      writer.NewLine(line);
      writer.SetAll(*processes);
    }
  } catch (...) {
  }
  return table;
}

}  // namespace connection

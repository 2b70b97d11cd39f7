// Field properties: while a current result exists, each column is also a
// read-only property "_" + column name, numbered after the 18 table
// properties. The host finds it by name, and every later request finds the
// column again by that name.
#include <string>

#include "connection/OrbelinModule.h"
#include "connection/TDalvora.h"
#include "connection/handlers/FieldAccess.h"
#include "platform/os/CodePage.h"

namespace connection {

namespace {

// Longest column name a property name carries.
constexpr std::size_t kMaxColumnNameLength = 255;

// The column a property name stands for: its first character (whatever it
// is) dropped, the rest compared with letter case ignored. -1 when none.
// A column without a name is listed as "_" alone, so "_" finds it again
// (the result's own lookup takes no empty name).
int ColumnOfProperty(const mysql::TMysqlResult& result, const std::string& propertyName) {
  if (propertyName.empty()) return -1;
  const std::string_view columnName = std::string_view(propertyName).substr(1);
  if (!columnName.empty()) return result.FieldIndex(columnName, false);
  for (int i = 0; i < result.FieldCount(); ++i)
    if (result.Field(i)->Name.empty()) return i;
  return -1;
}

}  // namespace

void TModule::AddinHelperGetProperty(TAddin& sender, const std::string& propertyName, TValue& value,
                                     bool& handled) {
  TDalvora& object = TDalvora::Of(sender);
  const mysql::TMysqlResult* result = object.CurrentResult();
  if (!result) return;
  const int column = ColumnOfProperty(*result, propertyName);
  if (column < 0) {
    throw addin::TAddinError("No column of the current result is called \"" +
                             addin::NameForMessage(propertyName) + "\"");
  }
  value = FieldValueAt(*result, column, object.AutoType());
  handled = true;
}

void TModule::AddinHelperFindProperty(TAddin& sender, const std::string& propertyName,
                                      std::int32_t& index) {
  try {
    if (const mysql::TMysqlResult* result = TDalvora::Of(sender).CurrentResult()) {
      index = ColumnOfProperty(*result, propertyName);
    }
  } catch (...) {
  }
}

void TModule::AddinHelperGetPropertyName(TAddin& sender, addin::TOleString& propertyName,
                                         std::int32_t index, std::int32_t) {
  try {
    const mysql::TMysqlResult* result = TDalvora::Of(sender).CurrentResult();
    const mysql::TFieldDescriptor* field = result ? result->Field(index) : nullptr;
    if (field) {
      std::string name(1, '_');
      name.append(field->Name, 0, kMaxColumnNameLength);
      propertyName = platform::FromAnsi(name);
    }
  } catch (...) {
  }
}

void TModule::AddinHelperGetPropertyCount(TAddin& sender, std::int32_t& count) {
  if (const mysql::TMysqlResult* result = TDalvora::Of(sender).CurrentResult()) {
    count += result->FieldCount();
  }
}

void TModule::AddinHelperIsPropertyReadable(TAddin& sender, const std::string& propertyName,
                                            bool& readable) {
  try {
    if (const mysql::TMysqlResult* result = TDalvora::Of(sender).CurrentResult()) {
      readable = ColumnOfProperty(*result, propertyName) >= 0;
    }
  } catch (...) {
  }
}

void TModule::AddinHelperIsPropertyWriteable(TAddin& sender, const std::string& propertyName,
                                             bool& writeable) {
  try {
    const mysql::TMysqlResult* result = TDalvora::Of(sender).CurrentResult();
    if (result && ColumnOfProperty(*result, propertyName) >= 0) writeable = false;
  } catch (...) {
  }
}

}  // namespace connection

// Field properties: while a current result exists, each column is also a
// read-only property "_" + column name, numbered after the 18 table
// properties. The host finds it by name, and every later request finds the
// column again by that name.
#include <string>

#include "connection/FieldAccess.h"
#include "connection/OrbelinModule.h"
#include "connection/TDalvora.h"
#include "platform/codepage.h"

namespace connection {

namespace {

// Longest column name a property name carries.
constexpr size_t kMaxColumnNameLength = 255;

// The column a property name stands for: its first character (whatever it
// is) dropped, the rest compared with letter case ignored. -1 when none.
int ColumnOfProperty(const TMysqlResult& result, const std::string& propertyName) {
  if (propertyName.empty()) return -1;
  return result.FieldIndex(std::string_view(propertyName).substr(1), false);
}

}  // namespace

void TModule::AddinHelperGetProperty(TAddin& Sender, const std::string& PropertyName, TValue& Value,
                                     bool& Handled) {
  TDalvora& object = TDalvora::Of(Sender);
  const TMysqlResult* result = object.CurrentResult();
  if (!result) return;
  const int column = ColumnOfProperty(*result, PropertyName);
  if (column < 0) {
    throw addin::TAddinError("No column of the current result is called \"" + PropertyName + "\"");
  }
  Value = FieldValueAt(*result, column, object.AutoType());
  Handled = true;
}

void TModule::AddinHelperFindProperty(TAddin& Sender, const std::string& PropertyName,
                                      int32_t& Index) {
  try {
    if (const TMysqlResult* result = TDalvora::Of(Sender).CurrentResult()) {
      Index = ColumnOfProperty(*result, PropertyName);
    }
  } catch (...) {
  }
}

void TModule::AddinHelperGetPropertyName(TAddin& Sender, addin::TOleString& PropertyName,
                                         int32_t Index, int32_t) {
  try {
    const TMysqlResult* result = TDalvora::Of(Sender).CurrentResult();
    const TFieldDescriptor* field = result ? result->Field(Index) : nullptr;
    if (field) {
      std::string name(1, '_');
      name.append(field->Name, 0, kMaxColumnNameLength);
      PropertyName = platform::FromAnsi(name);
    }
  } catch (...) {
  }
}

void TModule::AddinHelperGetPropertyCount(TAddin& Sender, int32_t& Count) {
  if (const TMysqlResult* result = TDalvora::Of(Sender).CurrentResult()) {
    Count += result->FieldCount();
  }
}

void TModule::AddinHelperIsPropertyReadable(TAddin& Sender, const std::string& PropertyName,
                                            bool& Readable) {
  try {
    if (const TMysqlResult* result = TDalvora::Of(Sender).CurrentResult()) {
      Readable = ColumnOfProperty(*result, PropertyName) >= 0;
    }
  } catch (...) {
  }
}

void TModule::AddinHelperIsPropertyWriteable(TAddin& Sender, const std::string& PropertyName,
                                             bool& Writeable) {
  try {
    const TMysqlResult* result = TDalvora::Of(Sender).CurrentResult();
    if (result && ColumnOfProperty(*result, PropertyName) >= 0) Writeable = false;
  } catch (...) {
  }
}

}  // namespace connection

#include "connection/handlers/FieldAccess.h"

#include "connection/values/FieldValue.h"
#include "connection/values/TextNumbers.h"

namespace connection {

TFieldReference ResolveFieldReference(const mysql::TMysqlResult& result,
                                      const std::string& reference, TIndexRange range) {
  if (const auto index = TextToInt32(reference)) {
    if (range == TIndexRange::Anything || (*index >= 0 && *index < result.FieldCount())) {
      return {*index, true};
    }
  }
  return {result.FieldIndex(reference, false), false};
}

platform::TOleVariant FieldValueAt(const mysql::TMysqlResult& result, int index, bool autoType) {
  const mysql::TFieldDescriptor* field = result.Field(index);
  return ConvertFieldValue(field ? field->Type : std::uint8_t{mysql::FIELD_TYPE_NULL},
                           result.Value(index).value_or(""), autoType);
}

}  // namespace connection

// Turning the text of a field, as the server sends it, into the host value a
// script reads, by the column's type code.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/OleVariant.h"

namespace connection {

// Column type codes of the protocol that the conversions tell apart.
enum FieldTypeCode : uint8_t {
  kTypeDecimal = 0,
  kTypeTiny = 1,
  kTypeShort = 2,
  kTypeLong = 3,
  kTypeFloat = 4,
  kTypeDouble = 5,
  kTypeNull = 6,
  kTypeTimestamp = 7,
  kTypeLongLong = 8,
  kTypeInt24 = 9,
  kTypeDate = 10,
  kTypeTime = 11,
  kTypeDateTime = 12,
  kTypeYear = 13,
  kTypeNewDate = 14,
};

// The host value of a field text (SQL NULL is passed as the empty text).
// With autoType on, integers become 32-bit integers (0 when out of range),
// other numbers doubles, date-times OLE date numbers as doubles; dates are
// date variants either way; everything else stays a string. Text that does
// not parse gives 0 (or the date 1899-12-30); nothing here fails.
platform::OleVariant ConvertFieldValue(uint8_t typeCode, std::string_view text, bool autoType);

// The host column type for a field: empty with autoType on, otherwise
// "Number", "Date" or "String".
platform::OleVariant ColumnTypeName(uint8_t typeCode, bool autoType);

}  // namespace connection

#include "connection/FieldValue.h"

#include "connection/TextNumbers.h"
#include "connection/ValueFormatSettings.h"

namespace connection {

namespace {

enum class ValueKind { Integer, Real, DateTime, Date, Text };

ValueKind KindOf(uint8_t typeCode) {
  switch (typeCode) {
    case kTypeTiny:
    case kTypeShort:
    case kTypeLong:
    case kTypeYear:
      return ValueKind::Integer;
    case kTypeDecimal:
    case kTypeFloat:
    case kTypeDouble:
    case kTypeLongLong:
    case kTypeInt24:
      return ValueKind::Real;
    case kTypeTimestamp:
    case kTypeTime:
    case kTypeDateTime:
      return ValueKind::DateTime;
    case kTypeDate:
    case kTypeNewDate:
      return ValueKind::Date;
    default:
      return ValueKind::Text;
  }
}

}  // namespace

platform::OleVariant ConvertFieldValue(uint8_t typeCode, std::string_view text, bool autoType) {
  const ValueKind kind = KindOf(typeCode);
  // Dates are date values whatever AutoType says.
  if (kind == ValueKind::Date) {
    return platform::OleVariant::Date(TextToDate(text, ValueFormatSettings).value_or(0));
  }
  if (!autoType) return platform::OleVariant(text);
  switch (kind) {
    case ValueKind::Integer:
      return platform::OleVariant(TextToInt32(text).value_or(0));
    case ValueKind::Real:
      return platform::OleVariant(TextToDouble(text).value_or(0.0));
    case ValueKind::DateTime:
      // The OLE date number as a plain double, not a date variant.
      return platform::OleVariant(TextToDateTime(text, ValueFormatSettings).value_or(0.0));
    default:
      return platform::OleVariant(text);
  }
}

platform::OleVariant ColumnTypeName(uint8_t typeCode, bool autoType) {
  if (autoType) return platform::OleVariant();
  if (typeCode <= kTypeDouble || typeCode == kTypeLongLong || typeCode == kTypeInt24 ||
      typeCode == kTypeYear) {
    return platform::OleVariant("Number");
  }
  if (typeCode == kTypeDate || typeCode == kTypeNewDate) return platform::OleVariant("Date");
  return platform::OleVariant("String");
}

}  // namespace connection

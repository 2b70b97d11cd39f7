#include "connection/values/FieldValue.h"

#include "connection/values/TextNumbers.h"
#include "connection/values/ValueFormatSettings.h"
#include "mysql/uMysqlFieldPacket.h"

namespace connection {

namespace {

enum class TValueKind { Integer, Real, DateTime, Date, Text };

TValueKind KindOf(std::uint8_t typeCode) {
  switch (typeCode) {
    case mysql::FIELD_TYPE_TINY:
    case mysql::FIELD_TYPE_SHORT:
    case mysql::FIELD_TYPE_LONG:
    case mysql::FIELD_TYPE_YEAR:
      return TValueKind::Integer;
    case mysql::FIELD_TYPE_DECIMAL:
    case mysql::FIELD_TYPE_FLOAT:
    case mysql::FIELD_TYPE_DOUBLE:
    case mysql::FIELD_TYPE_LONGLONG:
    case mysql::FIELD_TYPE_INT24:
      return TValueKind::Real;
    case mysql::FIELD_TYPE_TIMESTAMP:
    case mysql::FIELD_TYPE_TIME:
    case mysql::FIELD_TYPE_DATETIME:
      return TValueKind::DateTime;
    case mysql::FIELD_TYPE_DATE:
    case mysql::FIELD_TYPE_NEWDATE:
      return TValueKind::Date;
    default:
      return TValueKind::Text;
  }
}

}  // namespace

platform::TOleVariant ConvertFieldValue(std::uint8_t typeCode, std::string_view text,
                                        bool autoType) {
  const TValueKind kind = KindOf(typeCode);
  // Dates are date values whatever AutoType says.
  if (kind == TValueKind::Date) {
    return platform::TOleVariant::Date(TextToDate(text, ValueFormatSettings).value_or(0));
  }
  if (!autoType) return platform::TOleVariant(text);
  switch (kind) {
    case TValueKind::Integer:
      if (const auto value = TextToInt32(text)) return platform::TOleVariant(*value);
      // An INT UNSIGNED above the signed 32-bit range: the exact double,
      // never a 0 that looks like a real value.
      if (const auto wide = TextToDouble(text)) return platform::TOleVariant(*wide);
      return platform::TOleVariant(std::int32_t{0});
    case TValueKind::Real:
      return platform::TOleVariant(TextToDouble(text).value_or(0.0));
    case TValueKind::DateTime:
      // The OLE date number as a plain double, not a date variant.
      return platform::TOleVariant(TextToDateTime(text, ValueFormatSettings).value_or(0.0));
    default:
      return platform::TOleVariant(text);
  }
}

platform::TOleVariant ColumnTypeName(std::uint8_t typeCode, bool autoType) {
  if (autoType) return platform::TOleVariant();
  if (typeCode <= mysql::FIELD_TYPE_DOUBLE || typeCode == mysql::FIELD_TYPE_LONGLONG ||
      typeCode == mysql::FIELD_TYPE_INT24 || typeCode == mysql::FIELD_TYPE_YEAR) {
    return platform::TOleVariant("Number");
  }
  if (typeCode == mysql::FIELD_TYPE_DATE || typeCode == mysql::FIELD_TYPE_NEWDATE)
    return platform::TOleVariant("Date");
  return platform::TOleVariant("String");
}

}  // namespace connection

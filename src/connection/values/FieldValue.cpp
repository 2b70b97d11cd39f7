#include "connection/values/FieldValue.h"

#include "connection/values/TextNumbers.h"
#include "connection/values/ValueFormatSettings.h"

namespace connection {

namespace {

enum class TValueKind { Integer, Real, DateTime, Date, Text };

TValueKind KindOf(std::uint8_t typeCode) {
  switch (typeCode) {
    case TypeTiny:
    case TypeShort:
    case TypeLong:
    case TypeYear:
      return TValueKind::Integer;
    case TypeDecimal:
    case TypeFloat:
    case TypeDouble:
    case TypeLongLong:
    case TypeInt24:
      return TValueKind::Real;
    case TypeTimestamp:
    case TypeTime:
    case TypeDateTime:
      return TValueKind::DateTime;
    case TypeDate:
    case TypeNewDate:
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
      return platform::TOleVariant(TextToInt32(text).value_or(0));
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
  if (typeCode <= TypeDouble || typeCode == TypeLongLong || typeCode == TypeInt24 ||
      typeCode == TypeYear) {
    return platform::TOleVariant("Number");
  }
  if (typeCode == TypeDate || typeCode == TypeNewDate) return platform::TOleVariant("Date");
  return platform::TOleVariant("String");
}

}  // namespace connection

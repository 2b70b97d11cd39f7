#include "connection/values/SqlValueText.h"

#include <charconv>
#include <cmath>

#include "mysql/uMysqlFieldPacket.h"

namespace connection {

namespace {

using platform::TOleVariant;

// NULL where the column takes it, otherwise what the column holds when it
// holds nothing.
std::optional<std::string> EmptyValue(const TTargetColumn& column) {
  if (column.Nullable) return std::nullopt;
  switch (column.Class) {
    case TColumnClass::Number:
      return "0";
    case TColumnClass::Date:
      return "0000-00-00";
    case TColumnClass::DateTime:
      return "0000-00-00 00:00:00";
    case TColumnClass::Time:
      return "00:00:00";
    default:
      return "";
  }
}

// The shortest text that reads back as the same number, never in exponent
// form (which not every column reads as a number).
template <typename Float>
std::string FixedText(Float value) {
  if (!std::isfinite(value)) throw TValueNotWritable("a number that is not finite");
  if (value == 0) return "0";  // also for -0
  char buffer[400];            // the largest double has 309 digits before the point
  char* end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed).ptr;
  return std::string(buffer, end);
}

// YYYY-MM-DD, with hh:mm:ss when the time of day is not 0.
std::string DateText(double date) {
  try {
    return TOleVariant::Date(date).ToString();
  } catch (const platform::TOleError&) {
    throw TValueNotWritable("a date outside the years 100 to 9999");
  }
}

// A date's text as the column takes it.
std::string DateInColumn(std::string text, TColumnClass column) {
  const std::size_t blank = text.find(' ');
  switch (column) {
    case TColumnClass::Date:
      return blank == std::string::npos ? text : text.substr(0, blank);
    case TColumnClass::DateTime:
      return blank == std::string::npos ? text + " 00:00:00" : text;
    case TColumnClass::Time:
      return blank == std::string::npos ? std::string("00:00:00") : text.substr(blank + 1);
    default:
      return text;
  }
}

bool HoldsTimes(TColumnClass column) {
  return column == TColumnClass::Date || column == TColumnClass::DateTime ||
         column == TColumnClass::Time;
}

}  // namespace

TColumnClass ColumnClassOf(std::uint8_t typeCode) {
  switch (typeCode) {
    case mysql::FIELD_TYPE_DECIMAL:
    case mysql::FIELD_TYPE_TINY:
    case mysql::FIELD_TYPE_SHORT:
    case mysql::FIELD_TYPE_LONG:
    case mysql::FIELD_TYPE_FLOAT:
    case mysql::FIELD_TYPE_DOUBLE:
    case mysql::FIELD_TYPE_LONGLONG:
    case mysql::FIELD_TYPE_INT24:
    case mysql::FIELD_TYPE_YEAR:
    case mysql::FIELD_TYPE_NEWDECIMAL:
      return TColumnClass::Number;
    case mysql::FIELD_TYPE_DATE:
    case mysql::FIELD_TYPE_NEWDATE:
      return TColumnClass::Date;
    case mysql::FIELD_TYPE_DATETIME:
    case mysql::FIELD_TYPE_TIMESTAMP:
      return TColumnClass::DateTime;
    case mysql::FIELD_TYPE_TIME:
      return TColumnClass::Time;
    default:
      return TColumnClass::Text;
  }
}

std::optional<std::string> SqlValueText(const TOleVariant& value, const TTargetColumn& column) {
  const VARTYPE type = value.ValueType();
  if ((type & VT_ARRAY) != 0) throw TValueNotWritable("an array");
  switch (type) {
    case VT_NULL:
      return std::nullopt;
    case VT_EMPTY:
      return EmptyValue(column);
    case VT_ERROR:
      if (value.IsError(DISP_E_PARAMNOTFOUND)) return EmptyValue(column);
      throw TValueNotWritable("an error value");
    case VT_DISPATCH:
    case VT_UNKNOWN:
      throw TValueNotWritable("an object");
    case VT_BSTR: {
      std::string text = value.ToString();
      if (text.empty() && column.Class != TColumnClass::Text) return EmptyValue(column);
      return text;
    }
    case VT_BOOL:
      return std::string(value.ToBool() ? "1" : "0");
    case VT_DATE: {
      const double date = value.ToDouble();
      if (date == 0) return EmptyValue(column);
      return DateInColumn(DateText(date), column.Class);
    }
    case VT_R4:
    case VT_R8: {
      const double number = value.ToDouble();
      if (HoldsTimes(column.Class)) {
        // 0 is what FetchAll gives for an empty date; in a TIME column it is midnight.
        if (number == 0 && column.Class != TColumnClass::Time) return EmptyValue(column);
        return DateInColumn(DateText(number), column.Class);
      }
      return type == VT_R4 ? FixedText(static_cast<float>(number)) : FixedText(number);
    }
    default:
      // Integers of every width, currency and decimals: their exact digits.
      try {
        return value.ToString();
      } catch (const platform::TOleError&) {
        throw TValueNotWritable("a value of kind " + TOleVariant::KindName(type));
      }
  }
}

}  // namespace connection

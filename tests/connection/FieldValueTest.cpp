#include "connection/values/FieldValue.h"

#include <gtest/gtest.h>

#include <string>

#include "mysql/uMysqlFieldPacket.h"

namespace connection {
namespace {

// A readable picture of a variant: "I4 5", "R8 0.4375", "DATE 45351", "STR x".
std::string Describe(const platform::TOleVariant& v) {
  const VARIANT& raw = *v.Get();
  switch (raw.vt) {
    case VT_EMPTY:
      return "EMPTY";
    case VT_I4:
      return "I4 " + std::to_string(raw.lVal);
    case VT_R8:
      return "R8 " + v.ToString();
    case VT_DATE:
      return "DATE " + platform::TOleVariant(raw.date).ToString();
    case VT_BSTR:
      return "STR " + v.ToString();
    default:
      return "VT " + std::to_string(raw.vt);
  }
}

struct Case {
  std::uint8_t type;
  const char* text;
  const char* autoTypeOn;
  const char* autoTypeOff;
};

TEST(ConvertFieldValue, ByTypeCodeWithAutoTypeOnAndOff) {
  const Case cases[] = {
      // Integers by the text-to-integer rule; an INT UNSIGNED beyond it is a
      // double, text that is no number 0.
      {mysql::FIELD_TYPE_LONG, "2147483647", "I4 2147483647", "STR 2147483647"},
      {mysql::FIELD_TYPE_LONG, "2147483648", "R8 2147483648", "STR 2147483648"},
      {mysql::FIELD_TYPE_LONG, "4294967295", "R8 4294967295", "STR 4294967295"},
      {mysql::FIELD_TYPE_LONG, "abc", "I4 0", "STR abc"},
      {mysql::FIELD_TYPE_TINY, "-5", "I4 -5", "STR -5"},
      {mysql::FIELD_TYPE_SHORT, "", "I4 0", "STR "},  // NULL
      {mysql::FIELD_TYPE_YEAR, "2024", "I4 2024", "STR 2024"},
      // Doubles with "." and exponents; BIGINT goes through a double.
      {mysql::FIELD_TYPE_LONGLONG, "9007199254740993", "R8 9007199254740992",
       "STR 9007199254740993"},
      {mysql::FIELD_TYPE_DOUBLE, "1.5e-3", "R8 0.0015", "STR 1.5e-3"},
      {mysql::FIELD_TYPE_FLOAT, "abc", "R8 0", "STR abc"},
      {mysql::FIELD_TYPE_INT24, "", "R8 0", "STR "},
      {mysql::FIELD_TYPE_DECIMAL, "12.50", "R8 12.5", "STR 12.50"},  // the old DECIMAL
      {246, "12.50", "STR 12.50", "STR 12.50"},                      // NEWDECIMAL stays text
      // Date-times as OLE date numbers in a double, not a date.
      {mysql::FIELD_TYPE_DATETIME, "2024-02-29 12:00:00", "R8 45351.5", "STR 2024-02-29 12:00:00"},
      {mysql::FIELD_TYPE_TIMESTAMP, "2024-02-29 00:00:00", "R8 45351", "STR 2024-02-29 00:00:00"},
      {mysql::FIELD_TYPE_TIME, "10:30:00", "R8 0.4375", "STR 10:30:00"},
      {mysql::FIELD_TYPE_TIME, "100:00:00", "R8 0", "STR 100:00:00"},
      {mysql::FIELD_TYPE_DATETIME, "0000-00-00 00:00:00", "R8 0", "STR 0000-00-00 00:00:00"},
      {mysql::FIELD_TYPE_DATETIME, "", "R8 0", "STR "},
      // Dates are dates either way; what does not parse is 1899-12-30.
      {mysql::FIELD_TYPE_DATE, "2024-02-29", "DATE 45351", "DATE 45351"},
      {mysql::FIELD_TYPE_NEWDATE, "2024-02-29", "DATE 45351", "DATE 45351"},
      {mysql::FIELD_TYPE_DATE, "0000-00-00", "DATE 0", "DATE 0"},
      {mysql::FIELD_TYPE_DATE, "", "DATE 0", "DATE 0"},
      // Everything else is text as received.
      {mysql::FIELD_TYPE_NULL, "", "STR ", "STR "},
      {253, "\xCF\xF0\xE8\xE2\xE5\xF2", "STR \xCF\xF0\xE8\xE2\xE5\xF2",
       "STR \xCF\xF0\xE8\xE2\xE5\xF2"},
      {16, "\x01", "STR \x01", "STR \x01"},  // BIT
      {252, "blob", "STR blob", "STR blob"},
      {15, "42", "STR 42", "STR 42"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Describe(ConvertFieldValue(c.type, c.text, true)), c.autoTypeOn)
        << "type " << int(c.type) << " text " << c.text;
    EXPECT_EQ(Describe(ConvertFieldValue(c.type, c.text, false)), c.autoTypeOff)
        << "type " << int(c.type) << " text " << c.text;
  }
}

TEST(ColumnTypeName, NumberDateOrStringWithAutoTypeOff) {
  struct NameCase {
    std::uint8_t type;
    const char* name;
  };
  const NameCase cases[] = {
      {0, "Number"},  {1, "Number"}, {5, "Number"},  {6, "String"},   {7, "String"},
      {8, "Number"},  {9, "Number"}, {10, "Date"},   {11, "String"},  {12, "String"},
      {13, "Number"}, {14, "Date"},  {15, "String"}, {246, "String"}, {253, "String"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Describe(ColumnTypeName(c.type, false)), std::string("STR ") + c.name) << int(c.type);
    EXPECT_EQ(Describe(ColumnTypeName(c.type, true)), "EMPTY") << int(c.type);
  }
}

}  // namespace
}  // namespace connection

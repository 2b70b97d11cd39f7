#include "connection/values/FieldValue.h"

#include <gtest/gtest.h>

#include <string>

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
      // Integers by the text-to-integer rule; out of range gives 0.
      {TypeLong, "2147483647", "I4 2147483647", "STR 2147483647"},
      {TypeLong, "4294967295", "I4 0", "STR 4294967295"},  // INT UNSIGNED max
      {TypeTiny, "-5", "I4 -5", "STR -5"},
      {TypeShort, "", "I4 0", "STR "},  // NULL
      {TypeYear, "2024", "I4 2024", "STR 2024"},
      // Doubles with "." and exponents; BIGINT goes through a double.
      {TypeLongLong, "9007199254740993", "R8 9007199254740992", "STR 9007199254740993"},
      {TypeDouble, "1.5e-3", "R8 0.0015", "STR 1.5e-3"},
      {TypeFloat, "abc", "R8 0", "STR abc"},
      {TypeInt24, "", "R8 0", "STR "},
      {TypeDecimal, "12.50", "R8 12.5", "STR 12.50"},  // the old DECIMAL
      {246, "12.50", "STR 12.50", "STR 12.50"},        // NEWDECIMAL stays text
      // Date-times as OLE date numbers in a double, not a date.
      {TypeDateTime, "2024-02-29 12:00:00", "R8 45351.5", "STR 2024-02-29 12:00:00"},
      {TypeTimestamp, "2024-02-29 00:00:00", "R8 45351", "STR 2024-02-29 00:00:00"},
      {TypeTime, "10:30:00", "R8 0.4375", "STR 10:30:00"},
      {TypeTime, "100:00:00", "R8 0", "STR 100:00:00"},
      {TypeDateTime, "0000-00-00 00:00:00", "R8 0", "STR 0000-00-00 00:00:00"},
      {TypeDateTime, "", "R8 0", "STR "},
      // Dates are dates either way; what does not parse is 1899-12-30.
      {TypeDate, "2024-02-29", "DATE 45351", "DATE 45351"},
      {TypeNewDate, "2024-02-29", "DATE 45351", "DATE 45351"},
      {TypeDate, "0000-00-00", "DATE 0", "DATE 0"},
      {TypeDate, "", "DATE 0", "DATE 0"},
      // Everything else is text as received.
      {TypeNull, "", "STR ", "STR "},
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

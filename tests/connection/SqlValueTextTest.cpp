#include "connection/values/SqlValueText.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <string>

#include "connection/values/FieldValue.h"
#include "connection/values/TextNumbers.h"
#include "mysql/uMysqlFieldPacket.h"
#include "support/RawVariant.h"

namespace connection {
namespace {

using platform::TOleVariant;

std::string Show(const std::optional<std::string>& text) {
  return text ? "'" + *text + "'" : "NULL";
}

std::string Written(const TOleVariant& value, std::uint8_t type, bool nullable = true) {
  return Show(SqlValueText(value, {ColumnClassOf(type), nullable}));
}

// What FetchAll makes of a field, written back into a column of the field's
// type, is the text the server sent, with AutoType on and off.
TEST(SqlValueText, WritesBackWhatFetchAllRead) {
  struct {
    std::uint8_t type;
    const char* text;
  } const cases[] = {
      {mysql::FIELD_TYPE_LONG, "-2147483648"},
      {mysql::FIELD_TYPE_TINY, "-5"},
      {mysql::FIELD_TYPE_YEAR, "2024"},
      {mysql::FIELD_TYPE_LONGLONG, "9007199254740992"},
      {mysql::FIELD_TYPE_DOUBLE, "0.3333333333333333"},
      {mysql::FIELD_TYPE_DOUBLE, "0.0000001"},
      {mysql::FIELD_TYPE_FLOAT, "1.1"},
      {mysql::FIELD_TYPE_NEWDECIMAL, "-12.50"},
      {mysql::FIELD_TYPE_DATE, "2024-02-29"},
      {mysql::FIELD_TYPE_DATE, "0100-01-01"},
      {mysql::FIELD_TYPE_DATETIME, "2024-02-29 12:00:00"},
      {mysql::FIELD_TYPE_DATETIME, "2024-02-29 00:00:00"},
      {mysql::FIELD_TYPE_DATETIME, "9999-12-31 23:59:59"},
      {mysql::FIELD_TYPE_TIMESTAMP, "1970-01-01 03:00:01"},
      {mysql::FIELD_TYPE_TIME, "10:30:00"},
      {mysql::FIELD_TYPE_TIME, "00:00:00"},
      {mysql::FIELD_TYPE_TIME, "23:59:59"},
      {253, "\xD7\xE0\xE9 'a' \\ \t\n"},
      {16, "\x05"},  // BIT: the bytes as FetchAll gives them
      {247, "red"},  // ENUM
  };
  for (const auto& c : cases) {
    for (const bool autoType : {false, true}) {
      SCOPED_TRACE(std::to_string(c.type) + " " + c.text + (autoType ? " AutoType" : ""));
      EXPECT_EQ(Written(ConvertFieldValue(c.type, c.text, autoType), c.type),
                std::string("'") + c.text + "'");
    }
  }
}

// NULL read by FetchAll (the empty text, or 0 and the empty date with
// AutoType on) goes back as NULL where it can be told from a value.
TEST(SqlValueText, EmptyValuesAreNullWhereTheColumnTakesIt) {
  for (const std::uint8_t type :
       {mysql::FIELD_TYPE_DATE, mysql::FIELD_TYPE_DATETIME, mysql::FIELD_TYPE_TIMESTAMP}) {
    SCOPED_TRACE(int(type));
    EXPECT_EQ(Written(ConvertFieldValue(type, "", true), type), "NULL");
    EXPECT_EQ(Written(ConvertFieldValue(type, "", false), type), "NULL");
  }
  EXPECT_EQ(Written(ConvertFieldValue(mysql::FIELD_TYPE_LONG, "", false), 3), "NULL");
  // Where a NULL and a value read the same, the value wins.
  EXPECT_EQ(Written(ConvertFieldValue(mysql::FIELD_TYPE_LONG, "", true), 3), "'0'");
  EXPECT_EQ(Written(ConvertFieldValue(mysql::FIELD_TYPE_TIME, "", true), 11), "'00:00:00'");
  EXPECT_EQ(Written(ConvertFieldValue(253, "", false), 253), "''");

  // Empty, an omitted value and the empty date: NULL, or the column's own
  // empty value where it takes no NULL.
  struct {
    std::uint8_t type;
    const char* notNull;
  } const columns[] = {
      {mysql::FIELD_TYPE_LONG, "'0'"},
      {mysql::FIELD_TYPE_NEWDECIMAL, "'0'"},
      {mysql::FIELD_TYPE_DATE, "'0000-00-00'"},
      {mysql::FIELD_TYPE_DATETIME, "'0000-00-00 00:00:00'"},
      {mysql::FIELD_TYPE_TIME, "'00:00:00'"},
      {253, "''"},
  };
  for (const auto& column : columns) {
    for (const TOleVariant& empty : {TOleVariant(), TOleVariant::Omitted(), TOleVariant::Date(0)}) {
      SCOPED_TRACE(std::to_string(column.type) + " " + std::to_string(empty.Type()));
      EXPECT_EQ(Written(empty, column.type), "NULL");
      EXPECT_EQ(Written(empty, column.type, false), column.notNull);
    }
    EXPECT_EQ(Written(TOleVariant::Null(), column.type, false), "NULL") << "Null stays NULL";
  }
}

TEST(SqlValueText, NumbersWithAPointAndNoExponent) {
  EXPECT_EQ(Written(TOleVariant(1e20), 253), "'100000000000000000000'");
  EXPECT_EQ(Written(TOleVariant(-2.5e-7), 5), "'-0.00000025'");
  EXPECT_EQ(Written(TOleVariant(-0.0), 5), "'0'");
  for (const double number :
       {1.2345678901234568e20, 5e-324, std::numeric_limits<double>::max(), -0.1, 2.0 / 3.0}) {
    const auto text = SqlValueText(TOleVariant(number), {TColumnClass::Number, true});
    ASSERT_TRUE(text);
    EXPECT_EQ(text->find_first_of("eE"), std::string::npos) << *text;
    EXPECT_EQ(TextToDouble(*text), number) << *text;
  }
  EXPECT_EQ(Written(RawVariant(VT_R4, std::bit_cast<std::uint32_t>(1.1f)), 4), "'1.1'");
  EXPECT_EQ(Written(TOleVariant(std::int64_t{-9223372036854775807 - 1}), 8),
            "'-9223372036854775808'");
  EXPECT_EQ(Written(RawVariant(VT_UI8, 18446744073709551615ull), 8), "'18446744073709551615'");
  EXPECT_EQ(Written(RawVariant(VT_CY, 1234500), 246), "'123.45'");
  EXPECT_EQ(Written(TOleVariant::Boolean(true), 1), "'1'");
  EXPECT_EQ(Written(TOleVariant::Boolean(false), 1), "'0'");
  // A date into a text column, with its time only when it has one.
  EXPECT_EQ(Written(TOleVariant::Date(45351.5), 253), "'2024-02-29 12:00:00'");
  EXPECT_EQ(Written(TOleVariant::Date(45351.5), mysql::FIELD_TYPE_DATE), "'2024-02-29'");
  EXPECT_EQ(Written(TOleVariant::Date(45351.0), mysql::FIELD_TYPE_TIMESTAMP),
            "'2024-02-29 00:00:00'");
  EXPECT_EQ(Written(TOleVariant::Date(45351.4375), mysql::FIELD_TYPE_TIME), "'10:30:00'");
}

TEST(SqlValueText, ValuesWithoutTextAreRefused) {
  const TOleVariant refused[] = {
      TOleVariant(static_cast<IDispatch*>(nullptr)),
      TOleVariant::Error(DISP_E_TYPEMISMATCH),
      TOleVariant(std::numeric_limits<double>::infinity()),
      TOleVariant(std::nan("")),
      TOleVariant::Date(-700000.0),  // before the year 100
  };
  for (const TOleVariant& value : refused) {
    SCOPED_TRACE(value.Type());
    EXPECT_THROW(SqlValueText(value, {TColumnClass::Text, true}), TValueNotWritable);
  }
  EXPECT_THROW(SqlValueText(TOleVariant(1e300), {TColumnClass::DateTime, true}), TValueNotWritable)
      << "a number far outside the calendar in a date column";
}

}  // namespace
}  // namespace connection

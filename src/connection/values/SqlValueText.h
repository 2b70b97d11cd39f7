// Host values turned into the text a statement writes into a column: the way
// back of FieldValue's conversions, so that a table FetchAll filled is
// written back as the values it was filled from.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "platform/com/OleVariant.h"

namespace connection {

// What a column holds, as far as the text written into it depends on it.
enum class TColumnClass : std::uint8_t { Text, Number, Date, DateTime, Time };

// By the protocol's type code: the numbers (YEAR among them), DATE,
// DATETIME and TIMESTAMP, TIME; everything else (BIT, ENUM, SET and the
// binary types included) takes text as it stands.
TColumnClass ColumnClassOf(std::uint8_t typeCode);

struct TTargetColumn {
  TColumnClass Class = TColumnClass::Text;
  bool Nullable = true;
};

// A value that has no text a statement could carry; what() says why.
class TValueNotWritable : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The text the server reads for a host value in a column; none for NULL.
//   - Null: NULL.
//   - An empty value (Empty, an omitted value, the empty date 1899-12-30, and
//     for all but text columns the empty string; for date columns also the
//     number 0, which FetchAll gives for them with AutoType on): NULL where
//     the column takes NULL, otherwise the column's own empty value: 0,
//     0000-00-00, 0000-00-00 00:00:00, 00:00:00 or the empty string.
//   - Numbers: decimal text with a point and without an exponent (doubles in
//     the shortest text that reads back exactly; currency and decimals
//     exactly); booleans 1 and 0.
//   - Dates: YYYY-MM-DD, or YYYY-MM-DD hh:mm:ss when they have a time of day;
//     in a DATE column the date alone, in DATETIME and TIMESTAMP always with
//     the time, in TIME the time of day alone. A number in a date or time
//     column is an OLE date number (as FetchAll gives DATETIME, TIMESTAMP and
//     TIME with AutoType on) and is written as that date.
//   - Strings: their ANSI text as it stands.
// Throws TValueNotWritable for objects, arrays, error values, numbers that
// are not finite and dates outside the years 100 to 9999.
std::optional<std::string> SqlValueText(const platform::TOleVariant& value,
                                        const TTargetColumn& column);

}  // namespace connection

// Turning the text of a field, as the server sends it, into the host value a
// script reads, by the column's type code.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/com/OleVariant.h"

namespace connection {

// The host value of a field text (SQL NULL is passed as the empty text).
// With autoType on, integers become 32-bit integers (0 when out of range),
// other numbers doubles, date-times OLE date numbers as doubles; dates are
// date variants either way; everything else stays a string. Text that does
// not parse gives 0 (or the date 1899-12-30); nothing here fails.
platform::TOleVariant ConvertFieldValue(std::uint8_t typeCode, std::string_view text,
                                        bool autoType);

// The host column type for a field: empty with autoType on, otherwise
// "Number", "Date" or "String".
platform::TOleVariant ColumnTypeName(std::uint8_t typeCode, bool autoType);

}  // namespace connection

// The runner's text of a value, kind first:
//   EMPTY, NULL, I4 5, I8 5, R8 0.4375, DATE 2024-02-29[ 12:00:00],
//   STR "text" (quotes doubled), BOOL 1, ERROR 0x80020004, OBJ ValueTable.
// Rarer kinds use their VT name the same way (I2 5, UI1 5, CY 1.5...).
#pragma once

#include <string>

#include "platform/com/OleVariant.h"

namespace host {

std::string DescribeValue(const platform::TOleVariant& value);

// "yyyy-mm-dd", with " hh:nn:ss" when the time of day is not midnight.
std::string DateText(DATE date);

// The shortest decimal text that reads back as exactly the same double.
std::string DoubleText(double value);

}  // namespace host

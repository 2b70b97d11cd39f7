// Reading the fields of a connection object's current result.
#pragma once

#include <string>

#include "mysql/uMysqlResult.h"
#include "platform/com/OleVariant.h"

namespace connection {

// Which integers a field reference may use as an index.
enum class TIndexRange {
  Fields,    // only 0 .. FieldCount - 1; any other integer is read as a name
  Anything,  // every integer, as it stands
};

// The field a reference names. Index is -1 for a name that matches no field,
// and may lie outside the fields for an integer taken as it stands.
struct TFieldReference {
  int Index;
  bool ByIndex;  // the text was an integer taken as the index
};

// A text that converts to an integer (within `range`) is an index; anything
// else a name, found with letter case ignored.
TFieldReference ResolveFieldReference(const mysql::TMysqlResult& result,
                                      const std::string& reference, TIndexRange range);

// The value of field `index` in the current row, converted by the field's
// type under autoType. SQL NULL and a missing row read as the empty text.
platform::TOleVariant FieldValueAt(const mysql::TMysqlResult& result, int index, bool autoType);

}  // namespace connection

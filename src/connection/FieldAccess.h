// Reading the fields of a connection object's current result.
#pragma once

#include <string>

#include "mysql/uMysqlResult.h"
#include "platform/OleVariant.h"

namespace connection {

// A field reference as FetchValue and FieldDef read it: a text that is an
// integer within 0 .. FieldCount - 1 is an index, anything else a name,
// found with letter case ignored. -1 when no field matches.
int ResolveFieldReference(const TMysqlResult& result, const std::string& reference);

// The value of field `index` in the current row, converted by the field's
// type under autoType. SQL NULL and a missing row read as the empty text.
platform::OleVariant FieldValueAt(const TMysqlResult& result, int index, bool autoType);

}  // namespace connection

// Pouring rows into host value tables, in both host dialects, with progress
// on the host's status line.
#pragma once

#include "connection/TDalvora.h"
#include "platform/com/OleVariant.h"

namespace connection {

// The current result into a table: a new one (columns named and typed after
// the fields) when target is absent, otherwise target emptied of its lines
// and filled by matching its column names to field names. The status line
// counts the lines. Failures while making or emptying the table and of the
// status line raise; failures while filling end the fill quietly.
platform::TOleVariant FillTableFromResult(TDalvora& object, const platform::TOleVariant& target);

// The server's process list into a new table, or into target after clearing
// it; one column per process-list field in either case. Never raises: the
// table comes back as far as it got.
platform::TOleVariant FillTableWithProcesses(TDalvora& object, const platform::TOleVariant& target);

}  // namespace connection

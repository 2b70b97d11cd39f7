// Writing a host value table into a server table (PutAll), in either host
// dialect. The rows go in batches, each as large as one statement of the
// server's max_allowed_packet (at most 16 MiB): by LOAD DATA LOCAL INFILE
// with the rows uploaded from memory, or, where the server refuses local
// files, by multi-row INSERT. Memory holds one batch, whatever the table's
// size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "addin/AddinHelper.h"
#include "connection/TDalvora.h"
#include "platform/com/OleVariant.h"

namespace connection {

// What a row whose key is already in the table does.
enum class TDuplicates : std::uint8_t {
  Refuse,   // "": the batch fails, as INSERT does
  Replace,  // "replace": the row takes the old one's place
  Ignore,   // "ignore": the row is skipped
};

struct TPutArguments {
  platform::TOleVariant Table;  // a host value table
  std::string TableName;
  // The server table's column for each column of the host table, in order
  // (the host table's own names when the script gives none).
  std::vector<std::string> Columns;
  TDuplicates Duplicates = TDuplicates::Refuse;
};

// PutAll's arguments: the table, the target's name, the target columns as
// one comma-separated text, the duplicates mode. Raises for an argument that
// cannot be taken (no table, no name, an empty column name, an unknown mode).
TPutArguments ReadPutArguments(const addin::TParams& params);

// Writes the table's lines in order and answers the number of rows the
// server accepted (a 64-bit integer), or -1 with the last error saying why
// and, first, how many rows were written before. Inside the script's
// transaction the rows join it; outside, each batch commits on its own. The
// status line counts the lines as they are read. Raises, before anything is
// sent, when the status line fails or the table's columns cannot be read or
// do not match the column list.
platform::TOleVariant PutTable(TDalvora& object, const TPutArguments& arguments);

}  // namespace connection

#pragma once
// The small replies every command shares: the OK packet and the end-of-data
// packet that closes field lists and row streams.

#include <cstdint>
#include <optional>
#include <string>

#include "mysql/uMysqlCodec.h"

namespace mysql {

struct TOkPacket {
  std::uint64_t AffectedRows = 0;
  std::uint64_t LastInsertId = 0;
  std::optional<std::uint16_t> ServerStatus;  // absent: the status word stays as it was
  std::uint16_t WarningCount = 0;
  std::string Info;
};

// Decodes an OK packet (its leading field count 0 included). layout41: the
// session's own capability word has CLIENT_RESERVED; serverTransactions: the
// server announced CLIENT_TRANSACTIONS, so older OK packets carry a status word.
[[nodiscard]] std::optional<TOkPacket> ParseOkPacket(TBytes packet, bool layout41,
                                                     bool serverTransactions);

// A packet starting with 254 shorter than 8 bytes ends a list; a longer one is a row.
bool IsEndOfData(TBytes packet);

struct TEndOfData {
  std::uint16_t WarningCount = 0;
  std::uint16_t ServerStatus = 0;
};

// The 4.1 end-of-data packet carries warnings and status; a short one carries none.
std::optional<TEndOfData> ParseEndOfData(TBytes packet);

}  // namespace mysql

#pragma once
// Column descriptions (field packets, in the 4.1 and the older layout) and row
// packets: one length-coded string per column, NULL marked by 251.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "mysql/uMysqlCodec.h"

namespace mysql {

// Added by the client to the server's column flags for numeric columns.
inline constexpr std::uint32_t NUM_FLAG = 0x8000;
// The server's column flag of a column that takes no NULL.
inline constexpr std::uint32_t kNotNullFlag = 0x1;

// Column type codes of the protocol that the client looks at.
enum TFieldType : std::uint8_t {
  FIELD_TYPE_DECIMAL = 0,
  FIELD_TYPE_TINY = 1,
  FIELD_TYPE_SHORT = 2,
  FIELD_TYPE_LONG = 3,
  FIELD_TYPE_FLOAT = 4,
  FIELD_TYPE_DOUBLE = 5,
  FIELD_TYPE_NULL = 6,
  FIELD_TYPE_TIMESTAMP = 7,
  FIELD_TYPE_LONGLONG = 8,
  FIELD_TYPE_INT24 = 9,
  FIELD_TYPE_DATE = 10,
  FIELD_TYPE_TIME = 11,
  FIELD_TYPE_DATETIME = 12,
  FIELD_TYPE_YEAR = 13,
  FIELD_TYPE_NEWDATE = 14,
  FIELD_TYPE_NEWDECIMAL = 246,
};

// One column of a result. A string the server sent as NULL reads as empty;
// each *Length member is the length of its string up to the first NUL byte.
struct TFieldDescriptor {
  std::string Name;
  std::string OrgName;  // 4.1 layout only
  std::string Table;
  std::string OrgTable;  // 4.1 layout only
  std::string Db;        // 4.1 layout only
  std::string Catalog;   // 4.1 layout only
  std::string Default;   // never sent in field lists; always empty
  std::uint32_t Length = 0;
  std::uint32_t MaxLength = 0;  // longest value of the column in a buffered result
  std::uint32_t NameLength = 0;
  std::uint32_t OrgNameLength = 0;
  std::uint32_t TableLength = 0;
  std::uint32_t OrgTableLength = 0;
  std::uint32_t DbLength = 0;
  std::uint32_t CatalogLength = 0;
  std::uint32_t DefaultLength = 0;
  std::uint32_t Flags = 0;
  std::uint32_t Decimals = 0;
  std::uint32_t CharsetNr = 0;  // 0 in the older layout
  std::uint8_t Type = 0;
};

// Decodes one field packet. layout41: the session's capability word has
// CLIENT_RESERVED; longFlags: the server's has CLIENT_LONG_FLAG (older layout:
// 2-byte instead of 1-byte flags). Fails on a truncated or short column.
[[nodiscard]] std::optional<TFieldDescriptor> DecodeFieldPacket(TBytes packet, bool layout41,
                                                                bool longFlags);

}  // namespace mysql

#pragma once
// The small replies every command shares: the OK packet and the end-of-data
// packet that closes field lists and row streams.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "mysql/uMysqlCodec.h"

namespace mysql {

// What the server reports of the session after a statement, when the client
// asked for it (CLIENT_SESSION_TRACK): the current database, session
// variables with their new values, and whether other session state changed.
struct TSessionChanges {
  std::optional<std::string> Database;
  std::vector<std::pair<std::string, std::string>> Variables;
  bool StateChanged = false;

  [[nodiscard]] bool Empty() const { return !Database && Variables.empty() && !StateChanged; }
};

struct TOkPacket {
  std::uint64_t AffectedRows = 0;
  std::uint64_t LastInsertId = 0;
  std::optional<std::uint16_t> ServerStatus;  // absent: the status word stays as it was
  std::uint16_t WarningCount = 0;
  std::string Info;
  TSessionChanges Changes;
};

// Decodes an OK packet (its leading field count 0 included). layout41: the
// session's own capability word has CLIENT_RESERVED; serverTransactions: the
// server announced CLIENT_TRANSACTIONS, so older OK packets carry a status word;
// sessionTrack: the client asked for session changes, so the message is a
// length-coded string and session changes may follow it.
[[nodiscard]] std::optional<TOkPacket> ParseOkPacket(TBytes packet, bool layout41,
                                                     bool serverTransactions,
                                                     bool sessionTrack = false);

// The session changes block of an OK packet (after its length): none when
// malformed. Kinds this client does not use are skipped.
[[nodiscard]] std::optional<TSessionChanges> ParseSessionChanges(TBytes block);

// A packet starting with 254 shorter than 8 bytes ends a list; a longer one is a row.
bool IsEndOfData(TBytes packet);

struct TEndOfData {
  std::uint16_t WarningCount = 0;
  std::uint16_t ServerStatus = 0;
};

// The 4.1 end-of-data packet carries warnings and status; a short one carries none.
std::optional<TEndOfData> ParseEndOfData(TBytes packet);

}  // namespace mysql

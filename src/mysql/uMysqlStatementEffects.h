#pragma once
// What a statement may leave behind in the server's session, read from its
// text: settings a new connection can be given again, and state no new
// connection can have back. The reading is conservative: where the text
// could leave something behind, it is taken to have done so.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mysql {

// Session state that a new connection cannot get back; one bit each.
enum TSessionHolding : std::uint32_t {
  HoldsTemporaryTables = 0x1,
  HoldsUserVariables = 0x2,
  HoldsNamedLocks = 0x4,
  HoldsTableLocks = 0x8,
  HoldsPreparedStatements = 0x10,
  // SET TRANSACTION without a scope: the next transaction's isolation or access mode.
  HoldsNextTransaction = 0x20,
  HoldsInsertId = 0x40,
  // Changed by a statement whose text does not say what (a procedure, a
  // function), or session settings changed together with global ones.
  HoldsOtherState = 0x80,
};

// The words naming the holdings in `bits`, joined by ", " ("temporary tables,
// user variables").
std::string DescribeHoldings(std::uint32_t bits);

struct TStatementEffects {
  // A SET of session variables (NAMES and CHARACTER SET included) and
  // nothing global: repeating it on a new connection restores what it set.
  bool RepeatableSet = false;
  // The session variables it sets, lower case; NAMES and CHARACTER SET count
  // as the four character-set variables they set.
  std::vector<std::string> SetVariables;
  // USE name: the database it makes current.
  std::optional<std::string> UsedDatabase;
  // Holdings the statement may leave behind.
  std::uint32_t Holdings = 0;
  // UNLOCK TABLES: every table lock of the session is gone.
  bool UnlocksTables = false;
  // Reads the last insert id (LAST_INSERT_ID(), @@identity, @@last_insert_id).
  bool ReadsInsertId = false;
  // Sets the variables that decide what the server reports of the session.
  bool ChangesSessionTracking = false;
  // The statement's own text accounts for a change of session state the
  // server reports (a SET, USE, a temporary table, a lock, a prepared statement).
  bool ExplainsStateChange = false;
};

TStatementEffects ReadStatementEffects(std::string_view statement);

// The character-set variables SET NAMES and SET CHARACTER SET set.
bool IsCharsetVariable(std::string_view lowerCaseName);

}  // namespace mysql

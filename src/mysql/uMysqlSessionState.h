#pragma once
// TSessionState: what the script's statements left in the server's session,
// kept so that a new connection made for the script (after a lost
// connection, a setting change or Reconnect) can be given the same session,
// or refused when it cannot.
//
// Settings are restored: session variables (the SET statements that set them
// are repeated in order; values the server reported for other statements are
// set again), and the current database. Holdings cannot be restored:
// temporary tables, user variables, locks, prepared statements, the next
// transaction's settings, the last insert id, and state the server said
// changed without the statement's text saying how.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mysql/uMysqlReplies.h"
#include "mysql/uMysqlStatementEffects.h"

namespace mysql {

class TSessionState {
 public:
  // A statement of the script was answered without an error. `changes`: what
  // the server reported of the session in its OK packet, when it reports;
  // `insertId`: the OK packet's insert id (0 for none).
  void NoteStatement(std::string_view statement, const TStatementEffects& effects,
                     const TSessionChanges& changes, std::uint64_t insertId);
  // A further reply of the same statement (its next result, its final
  // status) was read without an error: what the server reported there.
  void NoteReply(const TStatementEffects& effects, const TSessionChanges& changes,
                 std::uint64_t insertId);
  // The statement's last packet said the session changed, without saying how.
  void NoteStateChanged(const TStatementEffects& effects);
  // A database was selected with the dedicated command.
  void NoteDatabaseSelected(std::string_view database) { database_ = std::string(database); }

  // What cannot be restored (TSessionHolding bits).
  [[nodiscard]] std::uint32_t Holdings() const { return holdings_; }
  // The statements that give a new connection the session's settings, in order.
  [[nodiscard]] std::vector<std::string> RestoreStatements() const;
  // Only those that choose the character set (with whatever else they set).
  [[nodiscard]] std::vector<std::string> CharsetStatements() const;
  // The current database when a statement chose one; none: as connected.
  [[nodiscard]] const std::optional<std::string>& Database() const { return database_; }

  // A new session the script asked for: the settings are kept, the holdings
  // are gone with the old session.
  void ForgetHoldings() { holdings_ = 0; }
  // The character set was chosen otherwise (the connection's Charset): the
  // statements that only chose it are no longer repeated.
  void ForgetCharsetSteps();
  // The server reset the session (COM_CHANGE_USER): only the statements that
  // chose the character set stay the script's choice; the database is the
  // one the change named (Db).
  void ResetForNewUser();
  // Close: nothing is kept.
  void Clear();

 private:
  struct TRestoreStep {
    std::string Statement;
    std::vector<std::string> Variables;  // lower case
  };
  // Adds a step; earlier steps that set nothing it does not set go.
  void AddStep(std::string statement, std::vector<std::string> variables);

  std::vector<TRestoreStep> steps_;
  std::optional<std::string> database_;
  std::uint32_t holdings_ = 0;
};

}  // namespace mysql

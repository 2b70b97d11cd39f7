// TMysqlClient, its commands: sending them (with automatic reconnection and
// the single retry), the first answer of a statement, local-file uploads, and
// the administrative commands.

#include <array>
#include <utility>

#include "mysql/uMysqlAuthPacket.h"
#include "mysql/uMysqlCharsets.h"
#include "mysql/uMysqlClient.h"
#include "mysql/uMysqlGreeting.h"
#include "mysql/uMysqlLocalInfile.h"
#include "mysql/uMysqlReplies.h"
#include "platform/os/LocalFile.h"

namespace mysql {

namespace {

std::array<std::uint8_t, 4> UInt32Argument(std::uint32_t value) {
  return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
          static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

// Fills `block` from the file unless the file ends or fails first, so every
// data packet but the last carries a whole block.
int ReadBlock(platform::TLocalFile& file, std::vector<std::uint8_t>& block, std::uint32_t& error) {
  std::size_t filled = 0;
  while (filled < block.size()) {
    const int count =
        file.Read(block.data() + filled, static_cast<int>(block.size() - filled), error);
    if (count < 0) return -1;
    if (count == 0) break;
    filled += static_cast<std::size_t>(count);
  }
  return static_cast<int>(filled);
}

}  // namespace

int TMysqlClient::SendCommand(TMysqlCommand command, std::span<const std::uint8_t> argument,
                              bool skipReply, bool retry, std::uint32_t replySeconds) {
  // Refused before anything else, so a healthy connection stays as it is.
  if (RefuseOversized(argument.size())) return -1;
  if (!EnsureConnected()) return -1;
  if (status_ != TMysqlStatus::Ready) {
    net_.SetClientError(ErrCommandsOutOfSync);
    return -1;
  }
  // The results the last statement still has come first; an error among
  // them is this command's answer, so it is never lost. (A connection that
  // is quit needs no more of them.)
  if (command != COM_QUIT && HasPendingResults() && !DropPendingResults()) return -1;
  StartReply();

  net_.Clear();
  if (net_.WriteCommand(command, argument) != 0) {
    net_.Close();
    FreeFields();
    NoteLostConnection();
    bool resent = false;
    if (ReconnectAutomatically()) {
      net_.Clear();
      resent = net_.WriteCommand(command, argument) == 0;
    }
    if (!resent) {
      // The slot already says why when the session may not reconnect or the
      // command did not fit in memory; otherwise the server is gone.
      const std::int32_t cause = net_.LastErrorNo();
      if (cause != ErrTransactionLost && cause != ErrSessionStateLost && cause != ErrOutOfMemory)
        net_.SetClientError(ErrServerGone);
      return -1;
    }
  }
  if (skipReply) return 0;
  {
    const TReadDeadlineScope bound(net_, replySeconds);
    if (SafeRead() >= 0) {
      NoteReply();
      return 0;
    }
  }
  if (net_.LastErrorNo() == ErrServerLost) {
    // A transaction open on the lost connection is gone: the retry below
    // must not run the command on a new one as if nothing happened.
    NoteLostConnection();
    // Ending the session resets the server status, so a following reconnect
    // is not held back by a transaction bit of the lost connection.
    EndSession();
  }
  if (retry) return SendCommand(command, argument, skipReply, false, replySeconds);
  return -1;
}

bool TMysqlClient::SimpleCommand(TMysqlCommand command, std::span<const std::uint8_t> argument,
                                 std::uint32_t replySeconds) {
  return SendCommand(command, argument, false, shouldReconnect_, replySeconds) == 0;
}

// --- Statements -----------------------------------------------------------------

TQueryResult TMysqlClient::Query(std::string_view statement, bool buffered) {
  return GuardMemory(TQueryResult{}, [&] { return RunQuery(statement, buffered); });
}

TQueryResult TMysqlClient::RunQuery(std::string_view statement, bool buffered) {
  TQueryResult outcome;
  if (statement.empty()) return outcome;
  if (RefuseOversized(statement.size())) return outcome;
  const TStatementEffects effects = ReadStatementEffects(statement);
  {
    // A reconnect made on the way (by the ping, or after a failed write)
    // must know whether this statement reads the last insert id.
    const TValueScope reading(statementReadsInsertId_, effects.ReadsInsertId);
    TPipelined pipelined = TPipelined::Unanswered;
    if (shouldReconnect_ && RecentlyAnswered()) {
      if (insertIdLost_ && effects.ReadsInsertId) {
        RefuseInsertIdReader();
        return outcome;
      }
      pipelined = SendWithPing(statement);
      if (pipelined == TPipelined::Lost) return outcome;
    }
    if (pipelined == TPipelined::Unanswered) {
      if (shouldReconnect_ && !Ping()) return outcome;
      if (!AskForTracking()) return outcome;
      if (insertIdLost_ && effects.ReadsInsertId) {
        RefuseInsertIdReader();
        return outcome;
      }
      if (SendCommand(COM_QUERY, AsBytes(statement), true, shouldReconnect_) != 0) return outcome;
    }
  }
  lastEffects_ = effects;
  if (ReadQueryResult(statement) != 0) return outcome;
  NoteStatementEffects(statement);
  return TakeResult(buffered);
}

TQueryResult TMysqlClient::TakeResult(bool buffered) {
  ClearError();
  TQueryResult outcome;
  if (buffered) {
    outcome.Result = StoreResult();
    static_cast<void>(net_.ShrinkBuffer());
  } else {
    outcome.Result = UseResult();
  }
  outcome.Ok = net_.LastErrorNo() == 0;
  return outcome;
}

bool TMysqlClient::RecentlyAnswered() {
  // Results the last statement still has are read by the classic path.
  return status_ == TMysqlStatus::Ready && !HasPendingResults() && lastReply_ &&
         TClock::now() - *lastReply_ < kRecentReply && net_.QuietlyOpen();
}

TMysqlClient::TPipelined TMysqlClient::SendWithPing(std::string_view statement) {
  StartReply();
  // A new session's request for session reports goes first, then the ping,
  // then the statement: one write, and the answers in that order.
  const bool askTracking = std::exchange(trackingPending_, false);
  net_.BeginBatch();
  bool written = true;
  if (askTracking) {
    net_.Clear();
    written = net_.WriteCommand(COM_QUERY, AsBytes(kTrackSessionStatement)) == 0;
  }
  net_.Clear();
  written = written && net_.WriteCommand(COM_PING, {}) == 0;
  net_.Clear();
  written = written && net_.WriteCommand(COM_QUERY, AsBytes(statement)) == 0;
  // The statement's answer numbers its packets on from the statement's own
  // (several, for a statement of 16 MiB or more).
  const std::uint8_t statementAnswer = net_.SequenceNumber();
  // Nothing goes when the commands could not be put together (memory).
  const std::uint64_t sentBefore = net_.BytesSent();
  const std::uint64_t receivedBefore = net_.BytesReceived();
  const int sent = net_.EndBatch(written);
  if (!written && net_.LastErrorNo() == ErrOutOfMemory) return TPipelined::Lost;
  if (sent == 0 && written) {
    const TReadDeadlineScope bound(net_, connectTimeout_);
    // The request's and the ping's answers count their packets from 1. A
    // server error in answer to either still leaves the statement's answer
    // to come: the stream stays in step and the statement reports.
    net_.SetSequenceNumber(1);
    bool inStep = !askTracking || (ReadTrackingAnswer() && net_.IsOpen());
    if (inStep) {
      net_.SetSequenceNumber(1);
      inStep = SafeRead() >= 0 || net_.IsOpen();
    }
    if (inStep) {
      net_.SetSequenceNumber(statementAnswer);
      ClearError();
      return TPipelined::Sent;
    }
  }
  // The server runs commands in order and answers each before reading the
  // next. None of the bytes sent, or an orderly close with nothing of any
  // answer before it (a connection killed a moment ago, whose close had not
  // arrived yet), means nothing sent has run: the loss is the ping's, as if
  // it had been awaited. Anything else may have run the statement.
  const bool unanswered = net_.BytesSent() == sentBefore ||
                          (net_.BytesReceived() == receivedBefore && net_.ReadEndOfStream());
  net_.Close();
  FreeFields();
  NoteLostConnection();
  EndSession();
  if (unanswered) return TPipelined::Unanswered;
  // Lost with the statement on its way: it is not sent again, and the loss is
  // what the script learns.
  net_.SetClientError(ErrServerLost);
  return TPipelined::Lost;
}

bool TMysqlClient::ReadTrackingAnswer() {
  const bool accepted =
      ReadQueryResult(kTrackSessionStatement) == 0 && status_ == TMysqlStatus::Ready;
  return TrackingAnswered(accepted);
}

TQueryResult TMysqlClient::NextResult(bool buffered) {
  return GuardMemory(TQueryResult{}, [&] { return ReadNextResult(buffered); });
}

TQueryResult TMysqlClient::ReadNextResult(bool buffered) {
  if (status_ != TMysqlStatus::Ready) {
    net_.SetClientError(ErrCommandsOutOfSync);
    return {};
  }
  if (!HasPendingResults()) return {};
  StartReply();
  // Later results never ask for a local file: none is named for them.
  if (ReadQueryResult({}) != 0) return {};
  NoteResultEffects();
  if (status_ == TMysqlStatus::ResultPending) return TakeResult(buffered);
  // An OK packet: a result without rows, unless it is the statement's final
  // status, which counts as no further result.
  TQueryResult outcome;
  outcome.Ok = moreResults_;
  return outcome;
}

bool TMysqlClient::DropPendingResults() {
  // A procedure may work long between its results: only silence is bounded.
  const TReadSilenceScope bound(net_, DrainSeconds());
  while (HasPendingResults()) {
    // Releasing a row-by-row result reads and drops its rows.
    static_cast<void>(NextResult(false));
    if (net_.LastErrorNo() == 0) continue;
    if (net_.LastErrorNo() == ErrServerLost) {
      // As for a reply that breaks off: a transaction open on the
      // connection is gone with it, and the failure says so.
      NoteLostConnection();
      EndSession();
      if (transactionLost_) RefuseForLoss();
    }
    return false;
  }
  return true;
}

void TMysqlClient::StartReply() {
  ClearError();
  info_.clear();
  lastChanges_ = {};
  affectedRows_ = 0;
  lastInsertId_ = 0;
  warningCount_ = 0;
}

void TMysqlClient::NoteResultEffects() {
  session_.NoteReply(lastEffects_, lastChanges_, lastInsertId_);
  if (lastInsertId_ != 0) insertIdLost_ = false;
}

void TMysqlClient::NoteStatementEffects(std::string_view statement) {
  // The script may turn off what the server reports; then the text decides.
  if (lastEffects_.ChangesSessionTracking) sessionTracked_ = false;
  session_.NoteStatement(statement, lastEffects_, lastChanges_, lastInsertId_);
  // A new insert id is the one later statements read.
  if (lastInsertId_ != 0 || (lastEffects_.Holdings & HoldsInsertId)) insertIdLost_ = false;
}

void TMysqlClient::RefuseInsertIdReader() {
  // The connection made for the script has no insert id of the old one; it
  // is given up, so every later command meets the refusal as well.
  lostHoldings_ |= HoldsInsertId;
  liveSession_ = false;
  EndSession();
  RefuseForLoss();
}

int TMysqlClient::ReadQueryResult(std::string_view statement) {
  // Set again by the reply's last packet when more results follow it.
  moreResults_ = false;
  if (SafeRead() < 0) return -1;
  FreeFields();
  for (;;) {
    TPacketReader reader(net_.Payload());
    const auto fieldCount = reader.ReadLengthCoded32();
    if (!reader.Ok()) {
      FailMalformed();
      return -1;
    }
    NoteReply();
    if (fieldCount == 0) return ApplyOkPacket() ? 0 : -1;
    if (fieldCount) return ReadResultHeader(*fieldCount, reader);

    // NULL field count: the server asks for a local file.
    const std::string fileName(UpToNul(AsText(net_.Payload().subspan(1))));
    const bool requested = StatementNamesLocalFile(statement, fileName);
    const bool fromMemory = requested && upload_ != nullptr && upload_->Name == fileName;
    const int sent = !requested   ? RefuseLocalFile()
                     : fromMemory ? SendUpload(*upload_)
                                  : SendLocalFile(fileName);
    // The server's answer is read in every case, so the stream stays in step.
    const bool answered = SafeRead() >= 0;
    if (!requested) {
      net_.SetClientError(ErrLocalInfileRejected, {fileName});
      return -1;
    }
    if (!answered || sent != 0) return -1;
  }
}

bool TMysqlClient::ApplyOkPacket() {
  auto ok = ParseOkPacket(net_.Payload(), Layout41(),
                          (serverCapabilities_ & CLIENT_TRANSACTIONS) != 0, sessionTrackFormat_);
  if (!ok) {
    FailMalformed();
    return false;
  }
  affectedRows_ = ok->AffectedRows;
  lastInsertId_ = ok->LastInsertId;
  if (ok->ServerStatus) TakeServerStatus(*ok->ServerStatus);
  moreResults_ = (ok->ServerStatus.value_or(0) & SERVER_MORE_RESULTS_EXISTS) != 0;
  warningCount_ = ok->WarningCount;
  info_ = std::move(ok->Info);
  lastChanges_ = std::move(ok->Changes);
  for (const auto& [name, value] : lastChanges_.Variables)
    if (name == "character_set_client") connectionCharset_ = value;
  return true;
}

int TMysqlClient::ReadResultHeader(std::uint32_t fieldCount, TPacketReader& header) {
  if (!(serverStatus_ & SERVER_STATUS_AUTOCOMMIT)) serverStatus_ |= SERVER_STATUS_IN_TRANS;
  extraInfo_ = header.AtEnd() ? 0 : header.ReadLengthCoded().value_or(~std::uint64_t{0});
  if (!header.Ok()) {
    FailMalformed();
    return -1;
  }
  if (!ReadFieldList(fieldCount)) return -1;
  status_ = TMysqlStatus::ResultPending;
  return 0;
}

// --- Local files ----------------------------------------------------------------

int TMysqlClient::SendLocalFile(const std::string& fileName) {
  std::uint32_t error = 0;
  auto file = platform::TLocalFile::OpenForReading(fileName, error);
  if (!file) {
    static_cast<void>(RefuseLocalFile());
    net_.SetClientError(ErrLocalFileNotFound, {fileName, error});
    return -1;
  }
  std::vector<std::uint8_t> block(kLocalFileBlock);
  bool readFailed = false;
  for (;;) {
    const int count = ReadBlock(*file, block, error);
    if (count < 0) {
      readFailed = true;
      break;
    }
    if (count == 0) break;
    if (net_.WritePacket({block.data(), static_cast<std::size_t>(count)}) != 0) {
      net_.SetClientError(ErrServerLost);
      return -1;
    }
    if (static_cast<std::size_t>(count) < block.size()) break;
  }
  file.reset();
  if (RefuseLocalFile() != 0) return -1;
  if (readFailed) {
    net_.SetClientError(ErrLocalFileRead, {fileName, error});
    return -1;
  }
  return 0;
}

int TMysqlClient::RefuseLocalFile() {
  // The empty packet ends an upload; alone it says there is nothing to send.
  if (net_.WritePacket({}) == 0 && net_.Flush() == 0) return 0;
  net_.SetClientError(ErrServerLost);
  return -1;
}

// --- Administrative commands ------------------------------------------------------

bool TMysqlClient::SelectDb(std::string_view name) {
  if (name.empty()) return false;
  const std::string database(name);
  if (!SimpleCommand(COM_INIT_DB, AsBytes(database))) return false;
  db_ = database;
  session_.NoteDatabaseSelected(db_);
  return true;
}

bool TMysqlClient::CreateDb(std::string_view name) {
  return !name.empty() && SimpleCommand(COM_CREATE_DB, AsBytes(name));
}

bool TMysqlClient::DropDb(std::string_view name) {
  return !name.empty() && SimpleCommand(COM_DROP_DB, AsBytes(name));
}

bool TMysqlClient::ChangeUser(std::string_view user, std::string_view password,
                              std::string_view db) {
  return GuardMemory(false, [&] { return RunChangeUser(user, password, db); });
}

bool TMysqlClient::RunChangeUser(std::string_view user, std::string_view password,
                                 std::string_view db) {
  // Reconnect first, so the password is scrambled with the seed of the
  // connection that carries it.
  if (!EnsureConnected()) return false;
  const std::string newUser(user), newPassword(password), newDb(db);
  const auto opening = OpenAuthentication(newPassword);
  if (!opening) return false;
  // Named methods: the connection's character set is given again, as the
  // server reads the method's name only after it.
  const auto argument = BuildChangeUserArgument(newUser, newDb, PasswordContext(newPassword),
                                                opening->AsNamed(), LoginCharset());
  if (SendCommand(COM_CHANGE_USER, argument, true, shouldReconnect_) != 0) return false;
  std::string oldUser = std::exchange(user_, newUser);
  std::string oldPassword = std::exchange(password_, newPassword);
  std::string oldDb = std::exchange(db_, newDb);
  if (!ReadAuthReply(opening->Start)) {
    user_ = std::move(oldUser);
    password_ = std::move(oldPassword);
    db_ = std::move(oldDb);
    return false;
  }
  return StartNewUserSession();
}

bool TMysqlClient::StartNewUserSession() {
  // The server began a new session: no transaction, nothing held, its
  // variables at their defaults. The character set stays the script's
  // choice: Charset (which not every server takes from the change-user
  // packet), then the statements that chose one.
  if (const auto ok = ParseOkPacket(net_.Payload(), Layout41(), false)) {
    if (ok->ServerStatus) TakeServerStatus(*ok->ServerStatus);
  }
  serverStatus_ &= ~std::uint32_t{SERVER_STATUS_IN_TRANS};
  session_.ResetForNewUser();
  insertIdLost_ = false;
  TrackSession();
  bool restored = true;
  if (charset_.empty()) {
    connectionCharset_ = CharsetOfCollation(serverLanguage_);
  } else {
    restored = SetNames(charset_);
  }
  restored = restored && RunRestoreStatements(session_.CharsetStatements());
  if (restored) return true;
  // The new user's session cannot read the script's text as the script
  // writes it: the next command starts over with a new connection.
  liveSession_ = false;
  net_.Close();
  return false;
}

bool TMysqlClient::Refresh(std::uint32_t options) {
  return SimpleCommand(COM_REFRESH, UInt32Argument(options));
}

bool TMysqlClient::Kill(std::uint32_t threadId) {
  return SimpleCommand(COM_PROCESS_KILL, UInt32Argument(threadId));
}

bool TMysqlClient::Ping() {
  // A live server answers a ping at once; one that does not within the
  // connect time-out is taken for lost, so the next statement cannot hang.
  return SimpleCommand(COM_PING, {}, connectTimeout_);
}

bool TMysqlClient::Shutdown() {
  const bool accepted = SimpleCommand(COM_SHUTDOWN, {});
  // Closing sends COM_QUIT, which clears the error slot; a refusal stays readable.
  const std::int32_t errorNo = net_.LastErrorNo();
  const std::string error = net_.LastError();
  Close();
  if (!accepted) net_.SetError(errorNo, error);
  return accepted;
}

std::string TMysqlClient::Stat() {
  return GuardMemory(std::string(), [this] {
    if (!SimpleCommand(COM_STATISTICS, {})) return std::string();
    std::string text(UpToNul(AsText(net_.Payload())));
    if (text.empty()) net_.SetClientError(ErrWrongHostInfo);
    return text;
  });
}

std::unique_ptr<TMysqlResult> TMysqlClient::ListProcesses() {
  return GuardMemory(std::unique_ptr<TMysqlResult>(), [this] { return ReadProcessList(); });
}

std::unique_ptr<TMysqlResult> TMysqlClient::ReadProcessList() {
  if (!SimpleCommand(COM_PROCESS_INFO, {})) return nullptr;
  FreeFields();
  TPacketReader reader(net_.Payload());
  const auto fieldCount = reader.ReadLengthCoded32();
  // Anything but a result-set header here leaves the stream in an unknown state.
  if (!reader.Ok() || fieldCount.value_or(0) == 0) {
    FailMalformed();
    return nullptr;
  }
  if (!ReadFieldList(*fieldCount)) return nullptr;
  status_ = TMysqlStatus::ResultPending;
  return StoreResult();
}

}  // namespace mysql

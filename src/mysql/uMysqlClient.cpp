// TMysqlClient, the session itself: settings, connecting (greeting,
// capabilities, initial database), reconnecting, closing and the last error.
// Authentication is in uMysqlClientAuthentication.cpp, commands in
// uMysqlClientCommands.cpp, result sets in uMysqlClientResults.cpp.

#include "mysql/uMysqlClient.h"

#include "mysql/uMysqlAuthPacket.h"
#include "mysql/uMysqlCharsets.h"
#include "mysql/uMysqlEscape.h"
#include "mysql/uMysqlGreeting.h"
#include "mysql/uMysqlNewPassword.h"
#include "platform/os/Socket.h"

namespace mysql {

TMysqlClient::TMysqlClient(std::size_t payloadLimit) : net_(payloadLimit) {
  net_.SetBeforeBufferChange([this] { KeepActiveRow(); });
  net_.SetReadTimeout(readTimeout_);
  net_.SetWriteTimeout(writeTimeout_);
}

TMysqlClient::~TMysqlClient() {
  Close();
}

// --- Settings ---------------------------------------------------------------

void TMysqlClient::CloseTransportIfChanged(bool changed) {
  if (!changed || !net_.IsOpen()) return;
  // Only the transport: the next command reconnects with the new value. The
  // closed session's transaction and holdings are lost as with the connection.
  net_.Close();
  NoteLostConnection();
}

void TMysqlClient::SetHost(std::string_view value) {
  CloseTransportIfChanged(value != host_);
  host_ = value;
}

void TMysqlClient::SetUser(std::string_view value) {
  CloseTransportIfChanged(value != user_);
  user_ = value;
}

void TMysqlClient::SetPassword(std::string_view value) {
  CloseTransportIfChanged(value != password_);
  password_ = value;
}

void TMysqlClient::SetUnixSocket(std::string_view value) {
  CloseTransportIfChanged(value != unixSocket_ && useNamedPipe_);
  unixSocket_ = value;
}

void TMysqlClient::SetDb(std::string_view value) {
  db_ = value;
  if (net_.IsOpen()) {
    static_cast<void>(SelectDb(std::string(db_)));
  } else {
    // The next connection starts in the database the script named last.
    session_.NoteDatabaseSelected(db_);
  }
}

void TMysqlClient::SetPort(std::uint32_t value) {
  CloseTransportIfChanged(value != port_);
  port_ = value;
}

void TMysqlClient::SetClientFlag(std::uint32_t value) {
  CloseTransportIfChanged(value != clientFlag_);
  clientFlag_ = value;
}

void TMysqlClient::SetUseNamedPipe(bool value) {
  CloseTransportIfChanged(value != useNamedPipe_);
  useNamedPipe_ = value;
}

void TMysqlClient::SetCompress(bool value) {
  CloseTransportIfChanged(value != compress_);
  compress_ = value;
}

bool TMysqlClient::SetCharset(std::string_view name) {
  // The name stands unquoted in SET NAMES.
  if (!IsWellFormedCharsetName(name)) return false;
  charset_ = name;
  if (charset_.empty()) return true;
  // The latest choice wins, also on new connections: statements that chose a
  // character set earlier are not repeated after it.
  session_.ForgetCharsetSteps();
  if (net_.IsOpen()) static_cast<void>(SetNames(charset_));
  return true;
}

// --- Connecting ---------------------------------------------------------------

bool TMysqlClient::ConnectTo(std::string_view host, std::string_view user,
                             std::string_view password, std::string_view db, std::uint32_t port,
                             std::string_view unixSocket, bool trySockets,
                             std::uint32_t clientFlag) {
  return GuardMemory(false, [&] {
    return ConnectWith(host, user, password, db, port, unixSocket, trySockets, clientFlag);
  });
}

bool TMysqlClient::ConnectWith(std::string_view host, std::string_view user,
                               std::string_view password, std::string_view db, std::uint32_t port,
                               std::string_view unixSocket, bool trySockets,
                               std::uint32_t clientFlag) {
  if (net_.IsOpen()) return true;
  if (host.empty() && host_.empty()) return false;
  // Copies first: Connect passes views of the very members assigned here.
  std::string newHost(host), newUser(user), newPassword(password), newDb(db), newSocket(unixSocket);
  if (!newHost.empty()) host_ = std::move(newHost);
  user_ = std::move(newUser);
  password_ = std::move(newPassword);
  db_ = std::move(newDb);
  port_ = port;
  unixSocket_ = std::move(newSocket);
  trySockets_ = trySockets;
  clientFlag_ = clientFlag;

  tlsSkipped_ = false;
  bool connected = ConnectOnce();
  if (!connected && RetryWithoutTls()) {
    tlsSkipped_ = true;
    connected = ConnectOnce();
  }
  liveSession_ = connected;
  return connected;
}

bool TMysqlClient::ConnectOnce() {
  tlsHandshakeFailed_ = false;
  // Opening the transport has its own time-outs (the wait for a busy pipe,
  // the server's first bytes); from there the time-out bounds the whole
  // handshake, not only the first byte.
  if (!OpenTransport()) return false;
  const TReadDeadlineScope bound(net_, connectTimeout_);
  bool connected = false;
  {
    const TValueScope connecting(connecting_, true);
    connected = Handshake();
    if (connected) {
      // The login's answer counts as the connection's latest.
      NoteReply();
      TrackSession();
    }
    connected = connected && ChooseCharset() && RestoreSession();
  }
  if (!connected) {
    if (net_.ReadTimedOut()) net_.SetClientError(ErrConnect, {host_, platform::TimedOutError()});
    net_.Close();
  }
  return connected;
}

bool TMysqlClient::Connect() {
  if (!net_.IsOpen()) ForgetLoss();
  return ConnectTo(host_, user_, password_, db_, port_, unixSocket_, trySockets_, clientFlag_);
}

bool TMysqlClient::Reconnect() {
  if (!shouldReconnect_) return false;
  // Results still to be read are read first, as before any command; an error
  // among them is the answer.
  if (HasPendingResults() && status_ == TMysqlStatus::Ready && !DropPendingResults()) return false;
  const bool usable = net_.IsOpen() && status_ == TMysqlStatus::Ready &&
                      (serverStatus_ & SERVER_STATUS_IN_TRANS) == 0;
  if (usable) return true;
  // The script gives up the old connection, and what it held, on purpose.
  if (net_.IsOpen()) {
    liveSession_ = false;
    EndSession();
  }
  ForgetLoss();
  return ConnectTo(host_, user_, password_, db_, port_, unixSocket_, trySockets_, clientFlag_);
}

void TMysqlClient::ForgetLoss() {
  transactionLost_ = false;
  ownTransaction_ = TOwnTransaction::None;
  lostHoldings_ = 0;
  insertIdLost_ = false;
  session_.ForgetHoldings();
}

bool TMysqlClient::ReconnectAutomatically() {
  // A reconnect inside a connect (the initial database cannot be selected)
  // would recurse.
  if (connecting_ || !shouldReconnect_) return false;
  // The rest of a group lost with the session's own transaction must not
  // run on a new connection outside it.
  if (ownTransaction_ == TOwnTransaction::Lost) return false;
  // A statement that reads the last insert id would read the new
  // connection's, which is none.
  if (statementReadsInsertId_ && (session_.Holdings() & HoldsInsertId))
    lostHoldings_ |= HoldsInsertId;
  // A new connection would run the next statement outside the transaction
  // the script believes open, or without what the session held.
  if (transactionLost_ || lostHoldings_ != 0) {
    RefuseForLoss();
    return false;
  }
  const bool insertIdHeld = (session_.Holdings() & HoldsInsertId) != 0;
  if (!ConnectTo(host_, user_, password_, db_, port_, unixSocket_, trySockets_, clientFlag_))
    return false;
  session_.ForgetHoldings();
  insertIdLost_ = insertIdHeld;
  return true;
}

void TMysqlClient::RefuseForLoss() {
  if (transactionLost_) {
    net_.SetClientError(ErrTransactionLost);
  } else {
    net_.SetClientError(ErrSessionStateLost, {DescribeHoldings(lostHoldings_)});
  }
}

bool TMysqlClient::EnsureConnected() {
  if (net_.IsOpen()) return true;
  NoteLostConnection();
  return ReconnectAutomatically();
}

bool TMysqlClient::InTransaction() const {
  return (serverStatus_ & SERVER_STATUS_IN_TRANS) != 0 ||
         (serverStatus_ & SERVER_STATUS_AUTOCOMMIT) == 0;
}

void TMysqlClient::NoteLostConnection() {
  if (ownTransaction_ == TOwnTransaction::Open) {
    // Only the session's own transaction was open, not the script's: it is
    // gone with its group, and the script's session is treated as outside
    // a transaction.
    ownTransaction_ = TOwnTransaction::Lost;
    serverStatus_ &= ~std::uint32_t{SERVER_STATUS_IN_TRANS};
  }
  if (!liveSession_) return;
  liveSession_ = false;
  if (InTransaction()) {
    transactionLost_ = true;
    // The status described the lost connection; an explicit reconnect
    // starts from a clean one.
    EndSession();
    return;
  }
  // The last insert id alone holds back only the statements that read it.
  lostHoldings_ = session_.Holdings() & ~std::uint32_t{HoldsInsertId};
}

bool TMysqlClient::OpenTransport() {
  if (connector_) return OpenConnectorStream();
  const auto port = static_cast<std::int32_t>(port_);
  if (useNamedPipe_) {
    static_cast<void>(
        net_.Open(VioNamedPipe, host_, unixSocket_, port, connectTimeout_, trySockets_));
    if (net_.Kind() == VioNamedPipe) {
      // The endpoint the transport actually used. (Built strings are moved in:
      // assigning literals trips a false -Wrestrict of GCC 12 at -O3.)
      host_ = std::string(".");
      unixSocket_ = std::string("MySQL");
    } else if (net_.IsOpen()) {
      useNamedPipe_ = false;
      unixSocket_.clear();
    }
  } else {
    static_cast<void>(net_.Open(VioTcpIp, host_, unixSocket_, port, connectTimeout_, true));
    unixSocket_.clear();
  }
  return TransportOpened();
}

bool TMysqlClient::OpenConnectorStream() {
  std::unique_ptr<platform::TByteStream> stream = connector_();
  unixSocket_.clear();
  if (!stream) {
    net_.SetClientError(ErrConnect, {host_, 0});
    return false;
  }
  if (net_.OpenStream(std::move(stream), connectorKind_) != 0) return false;
  // As a TCP connect does, a new stream starts with a clean error slot.
  ClearError();
  return TransportOpened();
}

bool TMysqlClient::TransportOpened() {
  if (!net_.IsOpen()) return false;
  ++connectionSerial_;
  protocolVersion_ = kProtocolVersion;
  moreResults_ = false;
  // Rows announced on the old connection never come on this one: a result
  // still reading them must not read this connection's packets instead.
  CutOffActiveResult();
  FreeFields();
  return true;
}

bool TMysqlClient::Handshake() {
  if (SafeRead() < 0) return false;
  const TBytes packet = net_.Payload();
  protocolVersion_ = packet[0];
  net_.SetProtocolVersion(protocolVersion_);
  if (protocolVersion_ != kProtocolVersion && protocolVersion_ != kOldestProtocolVersion) {
    net_.SetClientError(ErrProtocolMismatch, {protocolVersion_, kProtocolVersion});
    return false;
  }
  const auto greeting = ParseGreeting(packet);
  if (!greeting) {
    FailMalformed();
    return false;
  }
  serverVersion_ = greeting->ServerVersion;
  useNewPassword_ = UsesTwoStepAuthentication(serverVersion_);
  threadId_ = greeting->ThreadId;
  scrambleSeed_ = greeting->ScrambleSeed;
  // Capabilities describe this server only; a greeting without them offers none.
  serverCapabilities_ = greeting->Capabilities.value_or(0);
  upperCapabilities_ = greeting->UpperCapabilities;
  if (greeting->Status) {
    serverLanguage_ = *greeting->Language;
    TakeServerStatus(*greeting->Status);
    warningCount_ = 0;
  }
  // Without the second seed part the 4.1 scramble cannot be formed.
  if (!greeting->HasSecondSeedPart && !useNewPassword_)
    serverCapabilities_ &= ~std::uint32_t{CLIENT_SECURE_CONNECTION};

  clientFlag_ = DeriveClientFlag(clientFlag_, !db_.empty(), serverCapabilities_, compress_);
  if (!Authenticate(greeting->AuthMethod)) return false;

  net_.SetCompress((clientFlag_ & CLIENT_COMPRESS) != 0);
  status_ = TMysqlStatus::Ready;
  const std::string& database = ConnectDatabase();
  if (!database.empty() && !(serverCapabilities_ & CLIENT_CONNECT_WITH_DB))
    return SendCommand(COM_INIT_DB, AsBytes(database), false, false) == 0;
  return true;
}

std::optional<std::uint8_t> TMysqlClient::HandshakeCharset() const {
  // Only the 4.1 authentication packet has a character-set byte.
  if (charset_.empty() || !Layout41()) return std::nullopt;
  return HandshakeCharsetNumber(charset_, serverVersion_);
}

std::uint8_t TMysqlClient::LoginCharset() const {
  return HandshakeCharset().value_or(static_cast<std::uint8_t>(serverLanguage_));
}

bool TMysqlClient::ChooseCharset() {
  if (charset_.empty()) {
    connectionCharset_ = CharsetOfCollation(serverLanguage_);
    return true;
  }
  if (HandshakeCharset()) {
    connectionCharset_ = charset_;
    return true;
  }
  // A name the server does not know fails the connect with the server's error.
  return SetNames(charset_);
}

bool TMysqlClient::SetNames(const std::string& name) {
  if (!RunOwnStatement("SET NAMES " + name)) return false;
  connectionCharset_ = name;
  return true;
}

const std::string& TMysqlClient::ConnectDatabase() const {
  return session_.Database() ? *session_.Database() : db_;
}

void TMysqlClient::TrackSession() {
  sessionTracked_ = false;
  // Asked for together with the next statement, so a connect costs no
  // round trip more than the login.
  trackingPending_ = sessionTrackFormat_;
}

bool TMysqlClient::AskForTracking() {
  if (!trackingPending_) return true;
  trackingPending_ = false;
  if (RunOwnStatement(kTrackSessionStatement)) return TrackingAnswered(true);
  return TrackingAnswered(false);
}

bool TMysqlClient::TrackingAnswered(bool accepted) {
  sessionTracked_ = accepted;
  if (accepted) return true;
  // A server that refuses the variables keeps the connection; then the
  // statements' text alone tells what they leave behind.
  if (!net_.IsOpen()) return false;
  ClearError();
  return true;
}

bool TMysqlClient::RestoreSession() {
  return RunRestoreStatements(session_.RestoreStatements());
}

bool TMysqlClient::RunRestoreStatements(const std::vector<std::string>& statements) {
  if (statements.empty()) return true;
  // The statements succeeded on an earlier connection of this session; the
  // new one must have their settings before the script's next statement.
  if (!AskForTracking()) return false;
  for (const std::string& statement : statements) {
    if (!RunOwnStatement(statement)) return false;
    // The script had turned off what the server reports, and does again.
    if (ReadStatementEffects(statement).ChangesSessionTracking) sessionTracked_ = false;
  }
  return true;
}

bool TMysqlClient::RunOwnStatement(std::string_view statement) {
  return SendCommand(COM_QUERY, AsBytes(statement), true, false) == 0 &&
         ReadQueryResult(statement) == 0 && status_ == TMysqlStatus::Ready;
}

// --- Closing ------------------------------------------------------------------

void TMysqlClient::ResetServerState() {
  moreResults_ = false;
  scrambleSeed_.clear();
  threadId_ = 0;
  affectedRows_ = 0;
  lastInsertId_ = 0;
  warningCount_ = 0;
  status_ = TMysqlStatus::Ready;
  serverVersion_.clear();
  serverCapabilities_ = 0;
  upperCapabilities_ = 0;
  sessionTrackFormat_ = false;
  sessionTracked_ = false;
  lastReply_.reset();
  trackingPending_ = false;
  serverStatus_ = SERVER_STATUS_AUTOCOMMIT;
  serverLanguage_ = 0;
  namedAuthMethod_.reset();
  extraInfo_ = 0;
  info_.clear();
}

void TMysqlClient::Close() {
  // Results still to be read are read first; an error among them stays
  // readable after the close.
  const bool drained =
      !HasPendingResults() || status_ != TMysqlStatus::Ready || DropPendingResults();
  const std::int32_t errorNo = drained ? 0 : net_.LastErrorNo();
  const std::string error = drained ? std::string() : net_.LastError();
  session_.Clear();
  ForgetLoss();
  liveSession_ = false;
  noBackslashEscapes_ = false;
  EndSession();
  if (!drained) net_.SetError(errorNo, error);
}

void TMysqlClient::EndSession() {
  ResetServerState();
  if (net_.IsOpen()) {
    FreeFields();
    const bool shouldReconnect = shouldReconnect_;
    shouldReconnect_ = false;
    static_cast<void>(SendCommand(COM_QUIT, {}, true, false));
    net_.Close();
    shouldReconnect_ = shouldReconnect;
  }
  CutOffActiveResult();
}

void TMysqlClient::CutOffActiveResult() {
  if (activeResult_ == nullptr) return;
  // The result keeps the rows it has and reports end of data on its next read.
  activeResult_->SourceGone();
  activeResult_ = nullptr;
}

std::int32_t TMysqlClient::SafeRead() {
  return net_.SafeRead(clientFlag_);
}

void TMysqlClient::FailOutOfMemory() {
  FreeFields();
  // A row-by-row result that was reading detaches itself when its read fails.
  if (activeResult_ == nullptr) status_ = TMysqlStatus::Ready;
  net_.Close();
  try {
    net_.SetClientError(ErrOutOfMemory);
  } catch (const std::bad_alloc&) {
    net_.SetError(ErrOutOfMemory, {});
  }
}

bool TMysqlClient::RefuseOversized(std::size_t argumentLength) {
  // The command byte shares the payload with the argument.
  const std::size_t limit = net_.PayloadLimit() - 1;
  if (argumentLength <= limit) return false;
  net_.SetClientError(ErrStatementTooLarge, {argumentLength, limit});
  return true;
}

void TMysqlClient::TakeServerStatus(std::uint32_t status) {
  serverStatus_ = status;
  noBackslashEscapes_ = (status & SERVER_STATUS_NO_BACKSLASH_ESCAPES) != 0;
}

std::string TMysqlClient::Escape(std::string_view text) const {
  const TEscaping escaping = Escaping();
  return EscapeString(text, escaping.NoBackslashEscapes, escaping.Layout);
}

TEscaping TMysqlClient::Escaping() const {
  return {noBackslashEscapes_, LayoutOfCharset(connectionCharset_)};
}

std::uint32_t TMysqlClient::DrainSeconds() const {
  return connectTimeout_ != 0 ? connectTimeout_ : kDefaultDrainSeconds;
}

bool TMysqlClient::Layout41() const {
  return (clientFlag_ & CLIENT_RESERVED) != 0;
}

void TMysqlClient::FailMalformed() {
  net_.SetClientError(ErrMalformedPacket);
  net_.Close();
}

}  // namespace mysql

#pragma once
// TMysqlClient: one client session with a MySQL server — its settings, the
// handshake, what the server reported, the commands, and the reading of result
// sets into TMysqlResult. Its code lies in uMysqlClient.cpp (settings,
// connecting, closing), uMysqlClientAuthentication.cpp, uMysqlClientCommands.cpp
// and uMysqlClientResults.cpp.
//
// Nothing here throws. Operations return a flag (or a result, or an empty
// string) and record the cause of a failure in the last-error slot, read with
// LastErrorNo()/LastError(). A session can be connected, closed and connected
// again any number of times; settings survive Close.

#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "mysql/uMysqlAuthMethod.h"
#include "mysql/uMysqlAuthPacket.h"
#include "mysql/uMysqlCodec.h"
#include "mysql/uMysqlEscape.h"
#include "mysql/uMysqlFieldPacket.h"
#include "mysql/uMysqlMemoryUpload.h"
#include "mysql/uMysqlNet.h"
#include "mysql/uMysqlResult.h"
#include "mysql/uMysqlSessionState.h"
#include "mysql/uMysqlStatementEffects.h"

namespace mysql {

enum class TMysqlStatus : std::uint8_t {
  Ready = 0,          // commands may be sent
  ResultPending = 1,  // a result set was announced and not yet taken
  ReadingRows = 2,    // a row-by-row result owns the packet stream
};

// Command codes sent by the session.
enum TMysqlCommand : std::uint8_t {
  COM_QUIT = 1,
  COM_INIT_DB = 2,
  COM_QUERY = 3,
  COM_CREATE_DB = 5,
  COM_DROP_DB = 6,
  COM_REFRESH = 7,
  COM_SHUTDOWN = 8,
  COM_STATISTICS = 9,
  COM_PROCESS_INFO = 10,
  COM_PROCESS_KILL = 12,
  COM_PING = 14,
  COM_CHANGE_USER = 17,
};

// Bounded waits use the connect time-out; where it is 0 (no limit at connect),
// draining unread rows still gives up after this many seconds of silence.
inline constexpr std::uint32_t kDefaultDrainSeconds = 30;

// A connection that answered this recently, and shows no sign of having been
// closed since, gets the ping before a statement in the same write as the
// statement. Longer idle, a link that died silently (a NAT or firewall that
// forgot the connection after minutes) becomes plausible, and the ping is
// awaited before the statement goes, so a dead connection is replaced first.
inline constexpr std::chrono::seconds kRecentReply{5};

// A server that takes not one byte for a minute is stuck (the server itself
// gives up on a silent client after 30 seconds, its net_read_timeout).
inline constexpr std::uint32_t kDefaultWriteTimeout = 60;

// Asks the server to report every change of the session in its OK packets.
inline constexpr std::string_view kTrackSessionStatement =
    "SET SESSION session_track_schema = ON, session_track_state_change = ON, "
    "session_track_system_variables = '*'";

// How the session uses TLS over TCP (the local pipe never gets it).
enum class TSslMode : std::uint8_t {
  Disabled = 0,   // never
  Preferred = 1,  // when the server offers it; a failed TLS handshake connects again without
  Required =
      2,  // always, else the connect fails (ErrSslConnection); the certificate is not checked
  VerifyCa = 3,        // as Required, and the certificate must lead to a trusted root
  VerifyIdentity = 4,  // as VerifyCa, and it must name Host
};
inline constexpr std::uint32_t kMaxSslMode = 4;

// Opens the byte stream of one connection in place of the TCP socket or the
// local pipe the settings name. Tests and fuzzers hand the session scripted
// peers this way; nullptr counts as a refused connection.
using TStreamConnector = std::function<std::unique_ptr<platform::TByteStream>()>;

// Gives a variable a value for a scope and the old one back however the
// scope ends.
template <typename T>
class TValueScope {
 public:
  TValueScope(T& variable, T value) : variable_(variable), old_(std::exchange(variable, value)) {}
  ~TValueScope() { variable_ = old_; }
  TValueScope(const TValueScope&) = delete;
  TValueScope& operator=(const TValueScope&) = delete;

 private:
  T& variable_;
  T old_;
};

// What Query gives back: the result (none for statements without a result
// set) and whether the statement succeeded. A row-by-row result whose first
// row could not be read comes back finished, with Ok false.
struct TQueryResult {
  std::unique_ptr<TMysqlResult> Result;
  bool Ok = false;
};

class TMysqlClient final : private TRowSource {
 public:
  // payloadLimit: the largest statement or reply the session takes (tests
  // use less than the 1 GiB of every real session).
  explicit TMysqlClient(std::size_t payloadLimit = kMaxPayloadLength);
  // Closes the session (COM_QUIT when connected) and cuts off a row-by-row
  // result that is still reading.
  ~TMysqlClient();
  TMysqlClient(const TMysqlClient&) = delete;
  TMysqlClient& operator=(const TMysqlClient&) = delete;

  // --- Settings -----------------------------------------------------------
  // Writing Host, User, Password, Port, ClientFlag, UseNamedPipe or Compress
  // with a different value while connected closes the transport first (no
  // COM_QUIT); UnixSocket does so only when UseNamedPipe is set. What the
  // closed session held counts as lost, as after a lost connection. Writing
  // Db while connected also sends SelectDb, whose outcome is ignored.
  [[nodiscard]] const std::string& Host() const { return host_; }
  void SetHost(std::string_view value);
  [[nodiscard]] const std::string& User() const { return user_; }
  void SetUser(std::string_view value);
  [[nodiscard]] const std::string& Password() const { return password_; }
  void SetPassword(std::string_view value);
  [[nodiscard]] const std::string& UnixSocket() const { return unixSocket_; }
  void SetUnixSocket(std::string_view value);
  [[nodiscard]] const std::string& Db() const { return db_; }
  void SetDb(std::string_view value);
  [[nodiscard]] std::uint32_t Port() const { return port_; }
  void SetPort(std::uint32_t value);
  [[nodiscard]] std::uint32_t ClientFlag() const { return clientFlag_; }
  void SetClientFlag(std::uint32_t value);
  [[nodiscard]] bool UseNamedPipe() const { return useNamedPipe_; }
  void SetUseNamedPipe(bool value);
  [[nodiscard]] bool Compress() const { return compress_; }
  void SetCompress(bool value);
  [[nodiscard]] bool ShouldReconnect() const { return shouldReconnect_; }
  void SetShouldReconnect(bool value) { shouldReconnect_ = value; }
  [[nodiscard]] bool TrySockets() const { return trySockets_; }
  void SetTrySockets(bool value) { trySockets_ = value; }
  [[nodiscard]] std::uint32_t ConnectTimeout() const { return connectTimeout_; }
  void SetConnectTimeout(std::uint32_t value) { connectTimeout_ = value; }
  // Seconds a read may wait for the server's next bytes (0, the default: as
  // long as it takes), and a send may make no progress (60 by default; 0: as
  // long as the system allows). Past either the connection is lost (2013).
  // They bound silence, never the whole reply: a server that keeps sending
  // is never cut off. In force from the handshake on, also on the open
  // connection when changed.
  [[nodiscard]] std::uint32_t ReadTimeout() const { return readTimeout_; }
  void SetReadTimeout(std::uint32_t value) {
    readTimeout_ = value;
    net_.SetReadTimeout(value);
  }
  [[nodiscard]] std::uint32_t WriteTimeout() const { return writeTimeout_; }
  void SetWriteTimeout(std::uint32_t value) {
    writeTimeout_ = value;
    net_.SetWriteTimeout(value);
  }
  // Rewritten by every greeting: true exactly for "4.1.0" servers.
  [[nodiscard]] bool UseNewPassword() const { return useNewPassword_; }
  void SetUseNewPassword(bool value) { useNewPassword_ = value; }
  // TLS. Changing SslMode, SslCa, SslCert or SslKey while connected closes
  // the transport first, like Host; every connect reads them again.
  [[nodiscard]] TSslMode SslMode() const { return sslMode_; }
  void SetSslMode(TSslMode value);
  // PEM file of trusted roots for VerifyCa and VerifyIdentity; empty: the
  // system's own trust.
  [[nodiscard]] const std::string& SslCa() const { return sslCa_; }
  void SetSslCa(std::string_view value);
  // Client certificate (PEM; on Windows also PFX) and its key (PEM; empty:
  // in SslCert), offered in every mode that starts TLS.
  [[nodiscard]] const std::string& SslCert() const { return sslCert_; }
  void SetSslCert(std::string_view value);
  [[nodiscard]] const std::string& SslKey() const { return sslKey_; }
  void SetSslKey(std::string_view value);
  // caching_sha2_password's full authentication without TLS: the server's RSA
  // key is asked for only with AllowPublicKeyRetrieval (the key is then taken
  // on trust); ServerPublicKey names a PEM file with the key, used without
  // asking. With neither the login fails (ErrAuthMethodFailed) before any of
  // the password is sent.
  [[nodiscard]] bool AllowPublicKeyRetrieval() const { return allowPublicKeyRetrieval_; }
  void SetAllowPublicKeyRetrieval(bool value) { allowPublicKeyRetrieval_ = value; }
  [[nodiscard]] const std::string& ServerPublicKey() const { return serverPublicKey_; }
  void SetServerPublicKey(std::string_view value) { serverPublicKey_ = value; }
  // Protocol and cipher of the connection, for example "TLSv1.3
  // TLS_AES_256_GCM_SHA384"; empty when it is not encrypted.
  [[nodiscard]] const std::string& SslCipher() const { return net_.TlsDescription(); }

  // The character set every connection of the session uses from its
  // handshake on (empty: the server's default). A name the handshake can
  // carry travels there; any other is chosen with SET NAMES right after
  // connecting, and a name the server does not know fails the connect. The
  // script's own SET statements come after it. False, changing nothing, for
  // a name that is not letters, digits and '_'. Set while connected, it is
  // chosen at once (SET NAMES; the outcome only shows in the last error).
  [[nodiscard]] const std::string& Charset() const { return charset_; }
  [[nodiscard]] bool SetCharset(std::string_view name);
  // Every later connect opens its stream through `connector` (none: the
  // settings' TCP socket or local pipe), taken as a transport of `kind`.
  void SetConnector(TStreamConnector connector, TVioKind kind = VioTcpIp) {
    connector_ = std::move(connector);
    connectorKind_ = kind;
  }

  // --- Session ------------------------------------------------------------
  // Stores the arguments as settings (the host only when not empty) and
  // connects. True at once, changing nothing, when already connected; false
  // without an error when no host is known at all. ConnectTimeout bounds the
  // whole handshake (2003 when it runs out). The settings the script gave
  // the session earlier (session variables, the character set, the current
  // database) are given to the new connection before this returns; when
  // that fails, so does the connect.
  [[nodiscard]] bool ConnectTo(std::string_view host, std::string_view user,
                               std::string_view password, std::string_view db, std::uint32_t port,
                               std::string_view unixSocket, bool trySockets,
                               std::uint32_t clientFlag);
  // ConnectTo with the session's own settings. The script's own connect:
  // ends the refusal after a transaction or session state was lost.
  [[nodiscard]] bool Connect();
  // The script's own reconnect. False without an error when ShouldReconnect
  // is off. True at once when the connection is open, ready and outside a
  // transaction. Otherwise the old connection (its transaction, a row-by-row
  // result still reading, whatever the session held) is given up and a new
  // one made, with the session's settings; ends any refusal.
  [[nodiscard]] bool Reconnect();
  // Ends the session (COM_QUIT when connected) and resets the server state;
  // forgets everything the script's statements set. Never fails.
  void Close();
  // True after the connection was lost while a transaction was open (or
  // autocommit was off): the session does not reconnect on its own until the
  // script connects, reconnects or closes, and every command meanwhile fails
  // with ErrTransactionLost.
  [[nodiscard]] bool TransactionLost() const { return transactionLost_; }
  // The script's transaction is open: the server last said so, or
  // autocommit is off.
  [[nodiscard]] bool InTransaction() const;
  // Changes whenever a new connection opens; what was learnt of the server
  // on one connection holds while it stays the same.
  [[nodiscard]] std::uint64_t ConnectionSerial() const { return connectionSerial_; }
  // What a lost connection took that no new one can have back (temporary
  // tables, user variables, locks... as TSessionHolding bits); while not 0,
  // every command fails with ErrSessionStateLost until the script connects,
  // reconnects or closes.
  [[nodiscard]] std::uint32_t LostHoldings() const { return lostHoldings_; }
  // The statements that choose the session's character set, for a copy of
  // this session made elsewhere (Clone).
  [[nodiscard]] std::vector<std::string> CharsetStatements() const {
    return session_.CharsetStatements();
  }
  // Tests: whether the server is asked to report session changes (on by
  // default; off, only the statements' text tells what they leave behind).
  void SetSessionTracking(bool on) { askForSessionTracking_ = on; }
  [[nodiscard]] bool SessionTracked() const { return sessionTracked_; }

  // --- Commands -----------------------------------------------------------
  // Runs a statement. buffered: all rows are read now; otherwise row by row.
  // A statement too long for one packet is refused before anything is sent
  // (ErrStatementTooLarge); the connection stays as it was.
  [[nodiscard]] TQueryResult Query(std::string_view statement, bool buffered);
  // A statement may have several results (a CALL: one per SELECT the
  // procedure runs, then the procedure's own status); Query gives the first.
  // True while further results of the last statement wait to be read.
  [[nodiscard]] bool HasPendingResults() const { return moreResults_ && net_.IsOpen(); }
  // The next result, as Query gives the first: Ok with a result (none for a
  // result without rows). Ok false when there is none, recording nothing
  // (the procedure's final status is read then), or when the result is an
  // error, which is recorded. 2014 while a row-by-row result still reads.
  [[nodiscard]] TQueryResult NextResult(bool buffered);
  // Reads and drops the pending results (every command does this first):
  // false, with its error recorded, when one of them is an error or cannot
  // be read. Waits only as long as the server keeps sending.
  [[nodiscard]] bool DropPendingResults();
  [[nodiscard]] bool SelectDb(std::string_view name);
  [[nodiscard]] bool CreateDb(std::string_view name);
  [[nodiscard]] bool DropDb(std::string_view name);
  // Restores User, Password and Db when the server refuses.
  [[nodiscard]] bool ChangeUser(std::string_view user, std::string_view password,
                                std::string_view db);
  [[nodiscard]] bool Refresh(std::uint32_t options);
  [[nodiscard]] bool Kill(std::uint32_t threadId);
  // Waits for the answer at most ConnectTimeout seconds (none when 0): a
  // server that stopped answering counts as a lost connection.
  [[nodiscard]] bool Ping();
  // Closes the session whatever the server answered.
  [[nodiscard]] bool Shutdown();
  // The server's statistics text; empty on failure.
  [[nodiscard]] std::string Stat();
  // `text` made safe between single quotes of a statement of this session:
  // backslash escapes, or quotes doubled when the session's SQL mode has
  // NO_BACKSLASH_ESCAPES (as the server last reported it; a connection lost
  // meanwhile gets the same mode back), passing multi-byte characters of the
  // session's character set whole.
  [[nodiscard]] std::string Escape(std::string_view text) const;
  // How Escape escapes on this session now.
  [[nodiscard]] TEscaping Escaping() const;
  // The server's process list as a buffered result; none on failure.
  [[nodiscard]] std::unique_ptr<TMysqlResult> ListProcesses();

  // --- Rows in batches (uMysqlClientBatches.cpp) ------------------------------
  // Query of a LOAD DATA LOCAL INFILE statement whose rows come from memory:
  // the server's request for the local file is answered with upload.Data when
  // the statement names that file and upload.Name is its name. Any other
  // request is answered as Query answers it.
  [[nodiscard]] TQueryResult QueryUploading(std::string_view statement,
                                            const TMemoryUpload& upload);
  // A transaction the session opens, while the script has none, for a group
  // of statements that must stand or fall together (a batch of rows). A
  // connection lost inside it takes only the group: the session is not held
  // back as after losing the script's transaction, yet it does not reconnect
  // on its own before EndOwnTransaction, so nothing of the group runs outside
  // it. False (recorded) when START TRANSACTION fails.
  [[nodiscard]] bool BeginOwnTransaction();
  // COMMIT or ROLLBACK of that transaction. False when the statement failed
  // or the connection was lost inside the transaction (then nothing is sent:
  // the group is gone, and the error slot keeps the loss).
  [[nodiscard]] bool EndOwnTransaction(bool commit);

  // Take the result set announced by the last statement: all rows now
  // (buffered) or row by row. None when no result set is pending; 2014 when
  // the session is not in the ResultPending state.
  [[nodiscard]] std::unique_ptr<TMysqlResult> StoreResult();
  [[nodiscard]] std::unique_ptr<TMysqlResult> UseResult();

  // --- What the server and the last statement reported ----------------------
  [[nodiscard]] bool Connected() const { return net_.IsOpen(); }
  [[nodiscard]] std::int32_t LastErrorNo() const { return net_.LastErrorNo(); }
  [[nodiscard]] const std::string& LastError() const { return net_.LastError(); }
  // Records one of the client's own errors with its catalogue text (also for
  // the layers above, such as a fill the host stopped).
  void SetClientError(std::int32_t number, std::initializer_list<TErrorArg> args = {}) {
    net_.SetClientError(number, args);
  }
  void ClearError() { net_.SetError(0, {}); }
  // Records an error with a message of the caller's (a server's error told
  // again with what the caller adds to it).
  void SetError(std::int32_t number, std::string_view message) { net_.SetError(number, message); }
  [[nodiscard]] static std::string_view ClientVersion() { return "4.1.1"; }
  // 0 before the first connect, 10 while a transport opens, then the greeting's.
  [[nodiscard]] int ProtocolVersion() const { return static_cast<int>(protocolVersion_); }
  [[nodiscard]] const std::string& ServerVersion() const { return serverVersion_; }
  [[nodiscard]] std::uint32_t ThreadId() const { return threadId_; }
  [[nodiscard]] const std::string& ScrambleSeed() const { return scrambleSeed_; }
  [[nodiscard]] std::uint32_t ServerCapabilities() const { return serverCapabilities_; }
  [[nodiscard]] std::uint32_t ServerLanguage() const { return serverLanguage_; }
  [[nodiscard]] std::uint32_t ServerStatus() const { return serverStatus_; }
  [[nodiscard]] std::uint64_t AffectedRows() const { return affectedRows_; }
  [[nodiscard]] std::uint64_t LastInsertId() const { return lastInsertId_; }
  [[nodiscard]] std::uint32_t WarningCount() const { return warningCount_; }
  [[nodiscard]] const std::string& Info() const { return info_; }
  [[nodiscard]] std::uint64_t ExtraInfo() const { return extraInfo_; }
  [[nodiscard]] TMysqlStatus Status() const { return status_; }

 private:
  // Handshake.
  [[nodiscard]] bool ConnectWith(std::string_view host, std::string_view user,
                                 std::string_view password, std::string_view db, std::uint32_t port,
                                 std::string_view unixSocket, bool trySockets,
                                 std::uint32_t clientFlag);
  [[nodiscard]] bool OpenTransport();
  [[nodiscard]] bool OpenConnectorStream();
  // The common end of both ways of opening: fresh state for a new stream.
  [[nodiscard]] bool TransportOpened();
  [[nodiscard]] bool Handshake();
  // The database the handshake selects: the one a statement made current,
  // else Db.
  [[nodiscard]] const std::string& ConnectDatabase() const;
  // A new server session: the server will be asked to report session
  // changes (where it can) before the next statement.
  void TrackSession();
  // Asks now, when still to be asked: false when the connection was lost.
  [[nodiscard]] bool AskForTracking();
  // The answer to the request: refused, the text alone tells from then on.
  [[nodiscard]] bool TrackingAnswered(bool accepted);
  // Gives a new connection the settings the script's statements made.
  [[nodiscard]] bool RestoreSession();
  [[nodiscard]] bool RunRestoreStatements(const std::vector<std::string>& statements);
  // The number of Charset when the authentication packet can carry it.
  [[nodiscard]] std::optional<std::uint8_t> HandshakeCharset() const;
  // The character-set byte of the login, SSL request and change of user:
  // Charset's number, or the server's own when Charset has none there.
  [[nodiscard]] std::uint8_t LoginCharset() const;
  // Chooses Charset on a new connection where the handshake could not.
  [[nodiscard]] bool ChooseCharset();
  [[nodiscard]] bool SetNames(const std::string& name);
  // Runs a statement of the session's own (not the script's) to its OK.
  [[nodiscard]] bool RunOwnStatement(std::string_view statement);
  // One attempt: the transport, the handshake, the character set.
  [[nodiscard]] bool ConnectOnce();

  // TLS (uMysqlClientTls.cpp). Before the authentication packet: when TLS is
  // to be used, sends the SSL request and runs the TLS handshake. `sentFlag`
  // (the word of the packets) carries CLIENT_SSL exactly when TLS started.
  // False (recorded, transport closed) when the connect cannot go on.
  [[nodiscard]] bool StartTlsIfWanted(std::uint32_t& sentFlag);
  [[nodiscard]] platform::TTlsSettings TlsSettings() const;
  // Preferred settles for a connection without TLS when the TLS handshake
  // itself failed.
  [[nodiscard]] bool RetryWithoutTls() const;
  [[nodiscard]] bool FailTls(std::string_view reason);

  // Authentication (uMysqlClientAuthentication.cpp). The method of the client's
  // first answer and the nonce it answered decide which further steps the
  // server may ask for.
  struct TAuthStart {
    TAuthMethod Method = TAuthMethod::NativePassword;
    std::string Nonce;
  };
  // The client's first answer: with plugin authentication the connection's
  // method and its scramble; otherwise the classic password part.
  struct TAuthOpening {
    TAuthStart Start;
    std::vector<std::uint8_t> Answer;
    bool Named = false;
    [[nodiscard]] TNamedAuth AsNamed() const;
  };
  // Sends the authentication packet (naming a method when the greeting
  // offered plugin authentication) and reads the exchange to its end.
  [[nodiscard]] bool Authenticate(const std::optional<std::string>& namedMethod);
  // None (recorded, transport closed) when the scramble cannot be formed.
  [[nodiscard]] std::optional<TAuthOpening> OpenAuthentication(std::string_view password);
  [[nodiscard]] bool ReadAuthReply(const TAuthStart& start);
  [[nodiscard]] bool AnswerAuthSwitch(TBytes request);
  // The packet just read answers the client's scramble for `start`.
  [[nodiscard]] bool ContinueAuthentication(const TAuthStart& start);
  [[nodiscard]] bool SendCachingSha2Password(const std::string& nonce);
  // Without TLS: the password encrypted with ServerPublicKey's key, or with
  // the key the server sends when AllowPublicKeyRetrieval allows asking.
  [[nodiscard]] bool SendEncryptedPassword(const std::string& nonce);
  // Records ErrAuthMethodFailed and closes the transport.
  [[nodiscard]] bool FailAuthMethod(TAuthMethod method, std::string_view why);
  [[nodiscard]] bool WriteAuthAnswer(std::span<const std::uint8_t> answer);
  [[nodiscard]] TPasswordContext PasswordContext(std::string_view password) const;
  void ResetServerState();
  // Close without forgetting what the script chose for the session (used
  // when a lost connection is noticed).
  void EndSession();
  void CutOffActiveResult();
  void CloseTransportIfChanged(bool changed);

  // Lost connections and transactions.
  // The transport was found closed (or failed) without the session closing
  // it: a transaction open on it is gone, and so is what the session held.
  void NoteLostConnection();
  // The script asked for a new session: nothing lost before holds it back.
  void ForgetLoss();
  // The reconnect the session makes on its own before a command, when
  // ShouldReconnect allows; refused (ErrTransactionLost, ErrSessionStateLost)
  // when the new connection could not be the session the script built.
  [[nodiscard]] bool ReconnectAutomatically();
  // Records the refusal of a statement: 2900 or 2904 with what was lost.
  void RefuseForLoss();
  // What the script's statement that was just answered left in the session.
  void NoteStatementEffects(std::string_view statement);
  // A statement reads the insert id a replaced connection took with it.
  void RefuseInsertIdReader();
  // After the server accepted COM_CHANGE_USER: its session starts afresh.
  [[nodiscard]] bool StartNewUserSession();
  // Open, or reconnected on the session's own: false when neither.
  [[nodiscard]] bool EnsureConnected();
  // Out of memory while reading a reply: the stream is out of step.
  void FailOutOfMemory();
  // Runs `read` (a step that reads the server's reply); running out of
  // memory there records 2008, closes the transport and yields `failed`.
  template <typename Result, typename Read>
  Result GuardMemory(Result failed, Read read) noexcept {
    try {
      return read();
    } catch (const std::bad_alloc&) {
      FailOutOfMemory();
      return failed;
    }
  }
  [[nodiscard]] bool RefuseOversized(std::size_t argumentLength);
  [[nodiscard]] std::uint32_t DrainSeconds() const;

  // Commands. SendCommand: 0 or -1.
  // replySeconds: the reply is waited for at most that long (0: no bound).
  [[nodiscard]] int SendCommand(TMysqlCommand command, std::span<const std::uint8_t> argument,
                                bool skipReply, bool retry, std::uint32_t replySeconds = 0);
  [[nodiscard]] TQueryResult RunQuery(std::string_view statement, bool buffered);
  // The connection answered within kRecentReply and has not been closed since.
  [[nodiscard]] bool RecentlyAnswered();
  // Writes the ping and the statement at once and reads the ping's answer.
  // A connection lost on the way is reported (2013) and the statement never
  // sent again: it may have run. Unanswered: the server closed the connection
  // before answering anything, so nothing sent has run; the connection is
  // given up as after a failed ping, and the statement may go on another.
  enum class TPipelined { Sent, Lost, Unanswered };
  [[nodiscard]] TPipelined SendWithPing(std::string_view statement);
  void NoteReply() { lastReply_ = TClock::now(); }
  // The answer to the request for session reports sent with a statement.
  [[nodiscard]] bool ReadTrackingAnswer();
  [[nodiscard]] TQueryResult ReadNextResult(bool buffered);
  // Takes the result set the reply just announced, buffered or row by row.
  [[nodiscard]] TQueryResult TakeResult(bool buffered);
  // What a later result of the last statement reported of the session.
  void NoteResultEffects();
  // A reply begins: the error and what the last one reported are cleared.
  void StartReply();
  // The server's status word from an OK, end-of-data or greeting packet.
  void TakeServerStatus(std::uint32_t status);
  [[nodiscard]] bool RunChangeUser(std::string_view user, std::string_view password,
                                   std::string_view db);
  [[nodiscard]] std::unique_ptr<TMysqlResult> ReadProcessList();
  [[nodiscard]] bool SimpleCommand(TMysqlCommand command, std::span<const std::uint8_t> argument,
                                   std::uint32_t replySeconds = 0);
  // The first answer to `statement`, which was just sent (a local file the
  // server asks for is sent only when the statement names it).
  [[nodiscard]] int ReadQueryResult(std::string_view statement);
  [[nodiscard]] bool ApplyOkPacket();
  [[nodiscard]] int ReadResultHeader(std::uint32_t fieldCount, TPacketReader& header);
  [[nodiscard]] int SendLocalFile(const std::string& fileName);
  // The upload of QueryUploading's rows (uMysqlClientBatches.cpp).
  [[nodiscard]] int SendUpload(const TMemoryUpload& upload);
  // Sends the empty packet that ends (or declines) an upload.
  [[nodiscard]] int RefuseLocalFile();
  [[nodiscard]] std::int32_t SafeRead();

  // Result sets (uMysqlClientResults.cpp).
  [[nodiscard]] bool ReadFieldList(std::uint32_t fieldCount);
  [[nodiscard]] bool ReadRows(std::vector<TFieldDescriptor>& fields, TRowStore& rows);
  // The row source of a row-by-row result.
  void Feed(TRowSink& sink) override;
  [[nodiscard]] int ReadRow(std::size_t columns, TCurrentRow& row) override;
  void EndRows(std::uint64_t rowsRead) override;
  void AbandonRows(std::uint64_t rowsRead) override;
  [[nodiscard]] int ReadRowPacket(std::size_t columns, TCurrentRow& row);
  // The current row of a row-by-row result lies in the packet buffer: it is
  // copied out before the buffer changes.
  void KeepActiveRow() noexcept;
  // Reads and drops the rest of a row-by-row result; after DrainSeconds
  // without a byte from the server the connection is closed instead.
  void DrainRows();
  // endsResult: the packet ends the rows (it says whether more results follow),
  // not a field list.
  void TakeEndOfData(bool endsResult);
  void FreeFields();
  // Records ErrMalformedPacket and closes the transport.
  void FailMalformed();

  [[nodiscard]] bool Layout41() const;

  TMysqlNet net_;

  std::string host_;
  std::string user_;
  std::string password_;
  std::string unixSocket_;
  std::string db_;
  std::uint32_t port_ = kDefaultPort;
  std::uint32_t clientFlag_ = 0xE285;
  bool shouldReconnect_ = true;
  bool useNamedPipe_ = false;
  bool trySockets_ = false;
  std::uint32_t connectTimeout_ = 30;
  std::uint32_t readTimeout_ = 0;
  std::uint32_t writeTimeout_ = kDefaultWriteTimeout;
  bool compress_ = true;
  bool useNewPassword_ = false;
  TSslMode sslMode_ = TSslMode::Preferred;
  std::string sslCa_;
  std::string sslCert_;
  std::string sslKey_;
  bool allowPublicKeyRetrieval_ = false;
  std::string serverPublicKey_;
  // This connect's TLS handshake failed (not its setup); the attempt after it
  // goes without TLS.
  bool tlsHandshakeFailed_ = false;
  bool tlsSkipped_ = false;

  std::uint32_t protocolVersion_ = 0;
  std::string serverVersion_;
  std::uint32_t threadId_ = 0;
  std::string scrambleSeed_;
  std::uint32_t serverCapabilities_ = 0;
  // The upper half of the greeting's capability word (not part of
  // ServerCapabilities, which holds the classic 16 bits).
  std::uint32_t upperCapabilities_ = 0;
  std::uint32_t serverLanguage_ = 0;
  std::uint32_t serverStatus_ = 0x2;
  std::uint64_t affectedRows_ = 0;
  std::uint64_t lastInsertId_ = 0;
  std::uint32_t warningCount_ = 0;
  std::string info_;
  std::uint64_t extraInfo_ = 0;
  TMysqlStatus status_ = TMysqlStatus::Ready;

  std::uint32_t pendingFieldCount_ = 0;
  std::vector<TFieldDescriptor> pendingFields_;
  // The row-by-row result being fed; not owned (the result ends the link
  // when it goes, the session by CutOffActiveResult).
  TRowSink* activeResult_ = nullptr;
  // Set while connecting: a reconnect from inside a connect is refused.
  bool connecting_ = false;
  TStreamConnector connector_;
  TVioKind connectorKind_ = VioTcpIp;
  // The method named at connect when plugin authentication is in use.
  std::optional<TAuthMethod> namedAuthMethod_;
  // A connection was made and has not been closed on purpose since.
  bool liveSession_ = false;
  bool transactionLost_ = false;
  // What the connection lost took that no new one has back (TSessionHolding).
  std::uint32_t lostHoldings_ = 0;
  // The last insert id was lost with a connection the session replaced on
  // its own: a statement that reads it is refused until a new one is made.
  bool insertIdLost_ = false;
  // The statement being run reads the last insert id.
  bool statementReadsInsertId_ = false;
  // What the script's statements left in the session.
  TSessionState session_;
  // What the last statement of the script may leave behind (its end-of-data
  // packets can still report a change).
  TStatementEffects lastEffects_;
  // What the last OK packet reported of the session.
  TSessionChanges lastChanges_;
  // When the server's last reply ended (none on a new connection).
  std::optional<TClock::time_point> lastReply_;
  // The last statement has results still to read (its last OK or end of
  // rows had SERVER_MORE_RESULTS_EXISTS).
  bool moreResults_ = false;
  // The character set the script chose (Charset), and the one the
  // connection uses as far as the session knows (for escaping).
  std::string charset_;
  std::string connectionCharset_;
  // The session's SQL mode has NO_BACKSLASH_ESCAPES: as the server last
  // reported it, kept over a lost connection (the new one is given the mode
  // back) and forgotten by Close.
  bool noBackslashEscapes_ = false;
  // The upload QueryUploading offers while its statement runs; not owned.
  const TMemoryUpload* upload_ = nullptr;
  // The transaction the session opened for a group of statements: none,
  // open, or lost with its connection (the session does not reconnect on its
  // own until the group has ended).
  enum class TOwnTransaction : std::uint8_t { None, Open, Lost };
  TOwnTransaction ownTransaction_ = TOwnTransaction::None;
  std::uint64_t connectionSerial_ = 0;
  bool askForSessionTracking_ = true;
  // The authentication packet asked for session changes (OK packets carry them).
  bool sessionTrackFormat_ = false;
  // The server reports every session change on this connection.
  bool sessionTracked_ = false;
  // The request for those reports goes with the next statement.
  bool trackingPending_ = false;
};

}  // namespace mysql

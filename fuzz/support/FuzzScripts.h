#pragma once
// How the inputs of the two session-level targets are laid out, shared with
// the seed generator that writes such inputs.

#include <array>
#include <cstdint>

// --- auth_fuzzer: options byte -------------------------------------------------
enum TAuthOption : std::uint8_t {
  kAuthEmptyPassword = 1,
  kAuthCompress = 2,
  kAuthChangeUser = 4,     // ChangeUser after connecting
  kAuthKeyRetrieval = 32,  // AllowPublicKeyRetrieval: full authentication asks for the key
};
// Bits 3-4: how many answers belong to the connect, minus one; the rest
// answer ChangeUser.
constexpr std::uint8_t AuthConnectAnswers(std::uint8_t count) {
  return static_cast<std::uint8_t>((count - 1) << 3);
}

// --- tls_fuzzer: options byte ----------------------------------------------------
enum TTlsOption : std::uint8_t {
  kTlsRequired = 1,  // else Preferred
  kTlsCompress = 2,
};

// --- session_fuzzer: options byte, then one byte per step ----------------------------
enum TSessionOption : std::uint8_t {
  kObjectDialect = 1,
  kCompressionOff = 2,
  kNoReconnect = 4,
  kAutoType = 8,
};

// The low four bits of a step byte; the high four choose a variant (which
// statement, which command...).
enum TSessionStep : std::uint8_t {
  kConnect,
  kQueryBuffered,
  kQueryRowByRow,
  kExecute,
  kNext,  // odd variants: NextResult
  kWalk,
  kFetchAll,
  kFillAll,
  kMove,  // First, Last, Prior, Locate(variant / 4)
  kPing,
  kReconnect,
  kClose,
  kChangeSetting,  // Compress, ShouldReconnect, Db, Host, Charset
  kServerCommand,  // SelectDb, Stat, ListProcesses, ChangeUser, Kill, Refresh, CreateDb, Shutdown
  kFetchRow,
  kReadState,
};

constexpr std::uint8_t WithVariant(TSessionStep step, std::uint8_t variant) {
  return static_cast<std::uint8_t>(step | variant << 4);
}

// The statements a query step sends. The text matters to the client in
// four ways: whether it chooses the session's character set, whether it
// names the local file a server may ask for (one that does not exist),
// whether it calls a procedure (whose results the server may mark as
// several), and whether it is empty.
enum TStatement : std::uint8_t {
  kSelect,
  kSetNames,
  kLoadData,
  kStartTransaction,
  kCommit,
  kInsert,
  kShowProcesses,
  kEmptyStatement,
  kCall,
};
inline constexpr std::array<const char*, 9> kStatements = {
    "select * from t",
    "set names cp1251",
    "load data local infile '/nonexistent/orbelin-fuzz' into table t",
    "start transaction",
    "commit",
    "insert into t values (1)",
    "show processlist",
    "",
    "call p()",
};

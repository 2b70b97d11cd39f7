#pragma once
// Every error number this client records itself, and its message template.
// (Server errors carry the server's own number and text.) README.md lists
// them for script writers, with when each happens.

#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace mysql {

enum TMysqlClientError : std::int32_t {
  ErrUnknown = 2000,
  ErrLocalSocketCreate = 2001,
  ErrLocalConnect = 2002,
  ErrConnect = 2003,
  ErrTcpSocketCreate = 2004,
  ErrUnknownHost = 2005,
  ErrServerGone = 2006,
  ErrProtocolMismatch = 2007,
  ErrOutOfMemory = 2008,
  ErrWrongHostInfo = 2009,
  ErrLocalhostConnection = 2010,
  ErrTcpConnection = 2011,
  ErrHandshake = 2012,
  ErrServerLost = 2013,
  ErrCommandsOutOfSync = 2014,
  ErrNamedPipeConnection = 2015,
  ErrNamedPipeWait = 2016,
  ErrNamedPipeOpen = 2017,
  ErrNamedPipeSetState = 2018,
  ErrCharsetInit = 2019,
  ErrPacketTooLarge = 2020,
  // No TLS session came about where the settings ask for one (the reason
  // follows the text); nothing of the password was sent.
  ErrSslConnection = 2026,
  // A packet that ends before its contents do, or a reply out of step with
  // the protocol (the connection is closed, since the client can no longer
  // tell where the server's answer ends).
  ErrMalformedPacket = 2027,
  // The server asked for an authentication method this client cannot do
  // (nothing of the password is sent then).
  ErrAuthMethodUnsupported = 2059,
  // A method this client knows could not be carried out here: no SHA-256 on
  // the system, or a public key of the server that cannot be used.
  ErrAuthMethodFailed = 2061,
  // The server asked for a local file that the statement just sent does not name.
  ErrLocalInfileRejected = 2068,
};

// A local file asked for by the server that cannot be opened, or that fails
// part-way through the upload: the numbers of the system's file errors.
enum TMysqlLocalFileError : std::int32_t {
  ErrLocalFileRead = 2,
  ErrLocalFileNotFound = 29,
};

// Errors of this client beyond the classic catalogue, for situations that
// client never reported.
enum TMysqlOwnError : std::int32_t {
  // The connection was lost while a transaction was open (or autocommit was
  // off): the client does not reconnect on its own until the script does.
  ErrTransactionLost = 2900,
  // A statement longer than the client's limit (1 GiB); nothing was sent.
  ErrStatementTooLarge = 2901,
  // A row-by-row result was cut off by closing its session before its end.
  ErrResultCutOff = 2902,
  // The host refused a line or a value while a table was filled.
  ErrFillRefused = 2903,
  // The connection was lost while the session held what no new connection
  // has (temporary tables, user variables, locks...): the client does not
  // reconnect on its own until the script does.
  ErrSessionStateLost = 2904,
  // A value of a host table that has no text a statement could carry (an
  // object, a number that is not finite...); nothing of its statement was sent.
  ErrValueNotWritable = 2905,
  // The server took fewer rows of a statement than it was sent and named no
  // reason; the statement's rows were taken back.
  ErrRowsRefused = 2906,
};

// Recorded (without a message) by the packet layer only; a read failure that
// carries it is reported as ErrPacketTooLarge.
inline constexpr std::int32_t kErrNetPacketTooLarge = 1153;

// The template of any number above; empty for any other number.
std::string_view ClientErrorMessage(std::int32_t number);

// One argument of a template: text for "%-.64s"/"%-.32s", a 32-bit integer
// for "%d", "%u" and "%lu" (the conversion decides signed or unsigned).
struct TErrorArg {
  TErrorArg(std::string_view text) : Text(text), IsText(true) {}
  TErrorArg(const std::string& text) : Text(text), IsText(true) {}
  TErrorArg(const char* text) : Text(text), IsText(true) {}
  template <std::integral T>
  TErrorArg(T value) : Bits(static_cast<std::uint32_t>(value)) {}

  std::string_view Text;
  std::uint32_t Bits = 0;
  bool IsText = false;
};

// Fills a printf-style template: "%d" signed, "%u"/"%lu" unsigned 32-bit,
// "%-.Ns" the first N characters of a string. Missing arguments format as
// empty/0, surplus ones are ignored; formatting never fails.
std::string FormatErrorMessage(std::string_view format, std::initializer_list<TErrorArg> args);

// The message of `number` filled with `args`.
std::string FormatClientError(std::int32_t number, std::initializer_list<TErrorArg> args = {});

}  // namespace mysql

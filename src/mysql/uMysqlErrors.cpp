#include "mysql/uMysqlErrors.h"

#include <array>
#include <cstddef>

namespace mysql {

namespace {

struct TErrorTemplate {
  std::int32_t Number;
  std::string_view Text;
};

constexpr std::array<TErrorTemplate, 35> kTemplates = {{
    {ErrUnknown, "Unknown MySQL error"},
    {ErrLocalSocketCreate, "Can't create UNIX socket (%d)"},
    {ErrLocalConnect, "Can't connect to local MySQL server through socket '%-.64s' (%d)"},
    {ErrConnect, "Can't connect to MySQL server on '%-.64s' (%d)"},
    {ErrTcpSocketCreate, "Can't create TCP/IP socket (%d)"},
    {ErrUnknownHost, "Unknown MySQL Server Host '%-.64s' (%d)"},
    {ErrServerGone, "MySQL server has gone away"},
    {ErrProtocolMismatch, "Protocol mismatch. Server Version = %d Client Version = %d"},
    {ErrOutOfMemory, "MySQL client run out of memory"},
    {ErrWrongHostInfo, "Wrong host info"},
    {ErrLocalhostConnection, "Localhost via UNIX socket"},
    {ErrTcpConnection, "%-.64s via TCP/IP"},
    {ErrHandshake, "Error in server handshake"},
    {ErrServerLost, "Lost connection to MySQL server during query"},
    {ErrCommandsOutOfSync, "Commands out of sync;  You can't run this command now"},
    {ErrNamedPipeConnection, "%-.64s via named pipe"},
    {ErrNamedPipeWait, "Can't wait for named pipe to host: %-.64s  pipe: %-.32s (%lu)"},
    {ErrNamedPipeOpen, "Can't open named pipe to host: %-.64s  pipe: %-.32s (%u)"},
    {ErrNamedPipeSetState, "Can't set state of named pipe to host: %-.64s  pipe: %-.32s (%lu)"},
    {ErrCharsetInit, "Can't initialize character set %-.64s (path: %-.64s)"},
    {ErrPacketTooLarge, "Got packet bigger than 'max_allowed_packet'"},
    {ErrSslConnection, "SSL connection error: %-.178s"},
    {ErrMalformedPacket, "Malformed packet"},
    {ErrAuthMethodUnsupported,
     "The server asked for the authentication method '%s', which this client does not support"},
    {ErrAuthMethodFailed, "The authentication method '%s' failed: %s"},
    {ErrLocalInfileRejected,
     "The server asked for the local file '%s', which the statement does not name; it was not "
     "sent"},
    {ErrLocalFileRead, "Error reading file '%s' (Errcode: %d)"},
    {ErrLocalFileNotFound, "File '%s' not found (Errcode: %d)"},
    {ErrTransactionLost,
     "Lost connection to MySQL server inside a transaction; its changes are gone. Call Connect "
     "or Reconnect to go on"},
    {ErrStatementTooLarge,
     "The statement of %u bytes is longer than the %u bytes this client sends; nothing was sent"},
    {ErrResultCutOff, "The result ended before its last row: its session was closed"},
    {ErrFillRefused, "The host refused line %d of the table: %-.120s"},
    {ErrSessionStateLost,
     "Lost connection to MySQL server; what the session held is gone (%-.96s). Call Connect or "
     "Reconnect to go on"},
    {ErrValueNotWritable,
     "The value in line %d, column '%-.64s' of the table cannot be written: %-.64s"},
    {ErrRowsRefused, "The server refused %u of the %u rows of a statement without saying why"},
}};

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

std::string_view ClientErrorMessage(std::int32_t number) {
  for (const TErrorTemplate& entry : kTemplates)
    if (entry.Number == number) return entry.Text;
  return {};
}

std::string FormatErrorMessage(std::string_view format, std::initializer_list<TErrorArg> args) {
  std::string out;
  auto next = args.begin();
  std::size_t i = 0;
  while (i < format.size()) {
    const char c = format[i++];
    if (c != '%' || i >= format.size()) {
      out += c;
      continue;
    }
    // A conversion: optional '-', optional '.precision', optional 'l', letter.
    const std::size_t start = i - 1;
    if (format[i] == '-') ++i;
    std::size_t precision = std::string_view::npos;
    if (i < format.size() && format[i] == '.') {
      ++i;
      precision = 0;
      while (i < format.size() && IsDigit(format[i]))
        precision = precision * 10 + static_cast<std::size_t>(format[i++] - '0');
    }
    if (i < format.size() && format[i] == 'l') ++i;
    if (i >= format.size()) {
      out.append(format.substr(start));
      break;
    }
    const char conversion = format[i++];
    const TErrorArg* arg = next != args.end() ? next++ : nullptr;
    switch (conversion) {
      case 's':
        if (arg != nullptr && arg->IsText) out.append(arg->Text.substr(0, precision));
        break;
      case 'd':
        out += std::to_string(static_cast<std::int32_t>(arg != nullptr ? arg->Bits : 0));
        break;
      case 'u':
        out += std::to_string(arg != nullptr ? arg->Bits : 0);
        break;
      case '%':
        out += '%';
        if (arg != nullptr) --next;
        break;
      default:
        // Not a conversion this catalogue uses: copy it as it stands.
        out.append(format.substr(start, i - start));
        if (arg != nullptr) --next;
        break;
    }
  }
  return out;
}

std::string FormatClientError(std::int32_t number, std::initializer_list<TErrorArg> args) {
  return FormatErrorMessage(ClientErrorMessage(number), args);
}

}  // namespace mysql

#include "mysql/uMysqlVio.h"

#include "platform/os/LocalPipe.h"
#include "platform/os/Socket.h"

namespace mysql {

namespace {

constexpr int kVioAlreadyOpen = -20;
constexpr int kVioSslRefused = -2;
constexpr int kVioStartupFailed = -1;
constexpr int kVioPipeFailed = -9;
constexpr int kVioSocketCreateFailed = -8;
constexpr int kVioUnknownHostOrTimeout = -7;
constexpr int kVioConnectRefused = -6;

constexpr int kPipeAttempts = 101;

// The local server pipe is always `\\.\pipe\MySQL`, whatever the caller named.
const std::string kPipeHost = ".";
const std::string kPipeName = "MySQL";

// Seconds as the 32-bit millisecond count of the pipe wait, saturated.
std::uint32_t WaitMilliseconds(std::uint32_t seconds) {
  return seconds > UINT32_MAX / 1000 ? UINT32_MAX : seconds * 1000;
}

}  // namespace

TMysqlVio::TMysqlVio() = default;

TMysqlVio::~TMysqlVio() {
  Close();
}

int TMysqlVio::Connect(TVioKind kind, const std::string& host, const std::string& pipeName,
                       std::int32_t port, std::uint32_t timeoutSeconds, bool allowTcp) {
  (void)pipeName;  // the pipe name is fixed; the caller's one is never used
  if (kind_ != VioClosed) return kVioAlreadyOpen;
  timeout_ = timeoutSeconds;
  if (kind == VioSsl) return kVioSslRefused;
  if ((kind == VioTcpIp || allowTcp) && !platform::StartSockets()) return kVioStartupFailed;

  if (kind == VioNamedPipe) {
    bool fallBackToTcp = false;
    const int result = ConnectPipe(allowTcp, fallBackToTcp);
    if (!fallBackToTcp) return result;
  } else if (kind != VioTcpIp) {
    return kVioStartupFailed;  // no other kind can be opened here
  }
  return ConnectTcp(host, port);
}

int TMysqlVio::ConnectPipe(bool allowTcp, bool& fallBackToTcp) {
  const std::string path = platform::LocalPipePath(kPipeHost, kPipeName);
  std::unique_ptr<platform::TLocalPipe> pipe;
  std::uint32_t systemError = 0;
  bool errorRecorded = false;
  for (int attempt = 0; attempt < kPipeAttempts && !pipe && !errorRecorded; ++attempt) {
    platform::TLocalPipe::TOpenResult result;
    pipe = platform::TLocalPipe::Open(path, result, systemError);
    if (result == platform::TLocalPipe::TOpenResult::Failed) {
      SetClientError(ErrNamedPipeOpen, {kPipeHost, kPipeName, systemError});
      errorRecorded = true;
    } else if (result == platform::TLocalPipe::TOpenResult::Busy &&
               !platform::TLocalPipe::WaitBusy(path, WaitMilliseconds(timeout_), systemError)) {
      SetClientError(ErrNamedPipeWait, {kPipeHost, kPipeName, systemError});
      errorRecorded = true;
    }
  }

  if (pipe) {
    if (pipe->SetByteMode(systemError)) {
      stream_ = std::move(pipe);
      kind_ = VioNamedPipe;
      modeFlags_ = 0;
      return 0;  // a pipe connect leaves the last error as it was
    }
    pipe.reset();
    SetClientError(ErrNamedPipeSetState, {kPipeHost, kPipeName, systemError});
    fallBackToTcp = allowTcp;
    return kVioPipeFailed;
  }

  // Open failed, or every attempt found the pipe busy.
  if (allowTcp || !errorRecorded)
    SetClientError(ErrNamedPipeOpen, {kPipeHost, kPipeName, systemError});
  fallBackToTcp = allowTcp;
  return kVioPipeFailed;
}

int TMysqlVio::ConnectTcp(std::string host, std::int32_t port) {
  if (port == 0) port = static_cast<std::int32_t>(kDefaultPort);
  if (host.empty()) host = "localhost";

  int error = 0;
  std::unique_ptr<platform::TTcpSocket> socket = platform::TTcpSocket::Create(error);
  if (!socket) {
    SetClientError(ErrTcpSocketCreate, {error});
    return kVioSocketCreateFailed;
  }
  std::uint32_t address = 0;
  if (!platform::ResolveIPv4(host, address, error)) {
    SetClientError(ErrUnknownHost, {host, error});
    return kVioUnknownHostOrTimeout;
  }

  // Connect without blocking so the time-out below bounds the whole wait.
  socket->SetNonBlocking(true);
  const auto started = socket->Connect(address, static_cast<std::uint16_t>(port));
  if (started == platform::TTcpSocket::TConnectResult::Failed) {
    SetClientError(ErrConnect, {host, socket->LastErrorCode()});
    return kVioConnectRefused;
  }
  socket->SetFastSend();
  socket->SetKeepAlive(true);

  if (timeout_ != 0) {
    // The server speaks first, so its first bytes must arrive in time.
    if (!socket->WaitReadable(static_cast<std::int64_t>(timeout_) * 1000)) {
      SetClientError(ErrConnect, {host, socket->LastErrorCode()});
      return kVioUnknownHostOrTimeout;
    }
    // A refused connect also ends the wait (the socket layer wakes it on
    // every system, though Windows reports the failure apart from the
    // readable sockets); report it as refused rather than as a connection
    // lost on the first read.
    if (const int pending = socket->PendingError(); pending != 0) {
      SetClientError(ErrConnect, {host, pending});
      return kVioConnectRefused;
    }
  }
  socket->SetNonBlocking(false);

  stream_ = std::move(socket);
  kind_ = VioTcpIp;
  modeFlags_ = 0;
  SetError(0, {});
  return 0;
}

int TMysqlVio::AttachStream(std::unique_ptr<platform::TByteStream> stream, TVioKind kind) {
  if (kind_ != VioClosed) return kVioAlreadyOpen;
  stream_ = std::move(stream);
  kind_ = kind;
  modeFlags_ = 0;
  return 0;
}

bool TMysqlVio::StartTls(const platform::TTlsSettings& settings,
                         std::optional<platform::TMonotonicClock::time_point> deadline,
                         platform::TTlsError& error) {
  if (kind_ == VioClosed) {
    error = {platform::TTlsFailure::Closed, "the connection is closed"};
    return false;
  }
  // The handshake runs on a blocking stream; its deadline bounds the waits.
  SetBlocking(true);
  auto tls = platform::TTlsStream::Start(std::move(stream_), settings, deadline, error);
  if (!tls) {
    Close();
    return false;
  }
  tlsDescription_ = tls->Description();
  stream_ = std::move(tls);
  return true;
}

int TMysqlVio::Read(std::uint8_t* buffer, int size) {
  if (kind_ == VioClosed) return -1;
  return stream_->Read(buffer, size);
}

int TMysqlVio::Write(const std::uint8_t* data, int size) {
  if (kind_ == VioClosed) return -1;
  return stream_->Write(data, size);
}

int TMysqlVio::Close() {
  if (stream_) stream_->Close();
  stream_.reset();
  kind_ = VioClosed;
  modeFlags_ = 0;
  tlsDescription_.clear();
  return 0;
}

int TMysqlVio::SetBlocking(bool on) {
  if (kind_ == VioClosed) return -1;
  if (kind_ == VioNamedPipe) return 0;
  const std::uint32_t newFlags = on ? (modeFlags_ & ~1u) : (modeFlags_ | 1u);
  if (newFlags == modeFlags_) return 0;
  modeFlags_ = newFlags;
  return stream_->SetNonBlocking(!on);
}

bool TMysqlVio::WaitReadable(std::uint32_t seconds) {
  if (kind_ == VioClosed) return false;
  if (kind_ == VioNamedPipe) return true;
  return stream_->WaitReadable(static_cast<std::int64_t>(seconds) * 1000);
}

bool TMysqlVio::WaitForData(std::int64_t milliseconds) {
  return kind_ != VioClosed && stream_->WaitReadable(milliseconds);
}

bool TMysqlVio::ShouldRetry() const {
  if (kind_ == VioClosed) return false;
  const platform::TIoError error = stream_->LastIoError();
  return error == platform::TIoError::Interrupted || error == platform::TIoError::WouldBlock ||
         error == platform::TIoError::InProgress;
}

bool TMysqlVio::WriteTimedOut() const {
  return kind_ != VioClosed && stream_->LastIoError() == platform::TIoError::TimedOut;
}

void TMysqlVio::SetWriteTimeout(std::int64_t milliseconds) {
  if (kind_ != VioClosed) stream_->SetWriteTimeout(milliseconds);
}

bool TMysqlVio::WasInterrupted() const {
  return kind_ != VioClosed && stream_->LastIoError() == platform::TIoError::Interrupted;
}

void TMysqlVio::SetError(std::int32_t number, std::string_view text) {
  errorNumber_ = number;
  errorMessage_.assign(text.substr(0, kMaxErrorMessage));
}

void TMysqlVio::SetClientError(std::int32_t number, std::initializer_list<TErrorArg> args) {
  errorNumber_ = number;  // stands even when the message does not fit in memory
  SetError(number, FormatClientError(number, args));
}

}  // namespace mysql

#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "platform/os/Clock.h"
#include "platform/os/LocalPipe.h"

namespace platform {

namespace {

HANDLE Handle(intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

}  // namespace

std::string LocalPipePath(const std::string& host, const std::string& name) {
  return "\\\\" + host + "\\pipe\\" + name;
}

bool LocalPipeIsUnixSocket() {
  return false;
}

std::unique_ptr<TLocalPipe> TLocalPipe::Open(const std::string& path, TOpenResult& result,
                                             std::uint32_t& error) {
  // Overlapped, so that a write can give up after the write time-out.
  const HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    error = GetLastError();
    result = error == ERROR_PIPE_BUSY ? TOpenResult::Busy : TOpenResult::Failed;
    return nullptr;
  }
  std::unique_ptr<TLocalPipe> pipe(new TLocalPipe(reinterpret_cast<intptr_t>(handle)));
  const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (event == nullptr) {
    error = GetLastError();
    result = TOpenResult::Failed;
    return nullptr;
  }
  pipe->event_ = reinterpret_cast<intptr_t>(event);
  result = TOpenResult::Opened;
  return pipe;
}

bool TLocalPipe::WaitBusy(const std::string& path, std::uint32_t milliseconds,
                          std::uint32_t& error) {
  if (WaitNamedPipeA(path.c_str(), milliseconds)) return true;
  error = GetLastError();
  return false;
}

TLocalPipe::~TLocalPipe() {
  Close();
}

bool TLocalPipe::SetByteMode(std::uint32_t& error) {
  DWORD mode = 0;  // PIPE_READMODE_BYTE | PIPE_WAIT
  if (SetNamedPipeHandleState(Handle(handle_), &mode, nullptr, nullptr)) return true;
  error = GetLastError();
  return false;
}

int TLocalPipe::Read(std::uint8_t* buffer, int size) {
  return Transfer(false, buffer, size, -1);
}

int TLocalPipe::Write(const std::uint8_t* data, int size) {
  return Transfer(true, const_cast<std::uint8_t*>(data), size,
                  writeTimeout_ > 0 ? writeTimeout_ : -1);
}

int TLocalPipe::Transfer(bool write, void* data, int size, std::int64_t milliseconds) {
  const HANDLE pipe = Handle(handle_);
  const HANDLE event = Handle(event_);
  OVERLAPPED operation{};
  operation.hEvent = event;
  ResetEvent(event);
  DWORD count = 0;
  const BOOL done = write ? WriteFile(pipe, data, static_cast<DWORD>(size), nullptr, &operation)
                          : ReadFile(pipe, data, static_cast<DWORD>(size), nullptr, &operation);
  if (!done && GetLastError() != ERROR_IO_PENDING) return Failed(write);
  if (!done) {
    const DWORD wait =
        milliseconds < 0 || milliseconds >= INFINITE ? INFINITE : static_cast<DWORD>(milliseconds);
    if (WaitForSingleObject(event, wait) == WAIT_TIMEOUT) {
      // Given up: the operation is cancelled and finishes before its
      // buffer may go.
      CancelIo(pipe);
      GetOverlappedResult(pipe, &operation, &count, TRUE);
      lastIoError_ = TIoError::TimedOut;
      return -1;
    }
  }
  if (!GetOverlappedResult(pipe, &operation, &count, TRUE)) return Failed(write);
  lastIoError_ = TIoError::None;
  return static_cast<int>(count);
}

int TLocalPipe::Failed(bool write) {
  // A read from a pipe the server closed or disconnected is the end of the
  // stream, as on a socket after the server's close.
  const DWORD error = GetLastError();
  if (!write && (error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED)) {
    lastIoError_ = TIoError::None;
    return 0;
  }
  lastIoError_ = TIoError::Other;
  return -1;
}

bool TLocalPipe::WaitReadable(std::int64_t milliseconds) {
  // A pipe cannot be waited on for data; peek at it in short steps until
  // data is there, the pipe breaks or the time is up.
  const auto started = TMonotonicClock::now();
  for (;;) {
    DWORD available = 0;
    if (!PeekNamedPipe(Handle(handle_), nullptr, 0, nullptr, &available, nullptr)) return true;
    if (available > 0) return true;
    if (milliseconds >= 0 &&
        TMonotonicClock::now() - started >= std::chrono::milliseconds(milliseconds))
      return false;
    Sleep(10);
  }
}

void TLocalPipe::Close() {
  if (event_ != 0) CloseHandle(Handle(event_));
  event_ = 0;
  if (Handle(handle_) == INVALID_HANDLE_VALUE) return;
  CloseHandle(Handle(handle_));
  handle_ = reinterpret_cast<intptr_t>(INVALID_HANDLE_VALUE);
}

}  // namespace platform

#endif

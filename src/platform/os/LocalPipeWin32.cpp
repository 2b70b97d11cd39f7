#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

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
  const HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    error = GetLastError();
    result = error == ERROR_PIPE_BUSY ? TOpenResult::Busy : TOpenResult::Failed;
    return nullptr;
  }
  result = TOpenResult::Opened;
  return std::unique_ptr<TLocalPipe>(new TLocalPipe(reinterpret_cast<intptr_t>(handle)));
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
  DWORD count = 0;
  if (!ReadFile(Handle(handle_), buffer, static_cast<DWORD>(size), &count, nullptr)) {
    lastIoError_ = TIoError::Other;
    return -1;
  }
  lastIoError_ = TIoError::None;
  return static_cast<int>(count);
}

int TLocalPipe::Write(const std::uint8_t* data, int size) {
  DWORD count = 0;
  if (!WriteFile(Handle(handle_), data, static_cast<DWORD>(size), &count, nullptr)) {
    lastIoError_ = TIoError::Other;
    return -1;
  }
  lastIoError_ = TIoError::None;
  return static_cast<int>(count);
}

bool TLocalPipe::WaitReadable(std::int64_t milliseconds) {
  // Pipes opened for blocking reads cannot be waited on; peek at the pipe in
  // short steps until data is there, the pipe breaks or the time is up.
  const DWORD started = GetTickCount();
  for (;;) {
    DWORD available = 0;
    if (!PeekNamedPipe(Handle(handle_), nullptr, 0, nullptr, &available, nullptr)) return true;
    if (available > 0) return true;
    const DWORD elapsed = GetTickCount() - started;
    if (milliseconds >= 0 && elapsed >= static_cast<std::uint64_t>(milliseconds)) return false;
    Sleep(10);
  }
}

void TLocalPipe::Close() {
  if (Handle(handle_) == INVALID_HANDLE_VALUE) return;
  CloseHandle(Handle(handle_));
  handle_ = reinterpret_cast<intptr_t>(INVALID_HANDLE_VALUE);
}

}  // namespace platform

#endif

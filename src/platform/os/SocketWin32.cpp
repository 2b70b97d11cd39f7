#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <winsock2.h>
// winsock2.h must come before windows.h and mstcpip.h.
#include <mstcpip.h>
#include <windows.h>

#include <vector>

#include "platform/os/Socket.h"

namespace platform {

namespace {

// The process-wide Windows Sockets start-up record: filled by the first TCP
// use, cleaned up once when the module unloads.
struct TSocketsStartup {
  bool started = false;
  ~TSocketsStartup() {
    if (started) WSACleanup();
  }
};
TSocketsStartup startup;

TIoError Classify(int error) {
  switch (error) {
    case WSAEINTR:
      return TIoError::Interrupted;
    case WSAEWOULDBLOCK:
      return TIoError::WouldBlock;
    case WSAEINPROGRESS:
      return TIoError::InProgress;
    default:
      return TIoError::Other;
  }
}

SOCKET Sock(intptr_t handle) {
  return static_cast<SOCKET>(handle);
}

}  // namespace

bool StartSockets() {
  if (startup.started) return true;
  WSADATA data;
  if (WSAStartup(0x0101, &data) != 0) return false;
  startup.started = true;
  return true;
}

int LastSocketError() {
  return WSAGetLastError();
}

int TimedOutError() {
  return WSAETIMEDOUT;
}

bool ResolveIPv4(const std::string& host, std::uint32_t& address, int& error) {
  address = inet_addr(host.c_str());
  if (address != INADDR_NONE) return true;
  const hostent* answer = gethostbyname(host.c_str());
  if (answer == nullptr || answer->h_addr_list == nullptr || answer->h_addr_list[0] == nullptr ||
      answer->h_length != 4) {
    error = WSAGetLastError();
    return false;
  }
  CopyMemory(&address, answer->h_addr_list[0], sizeof address);
  return true;
}

std::unique_ptr<TTcpSocket> TTcpSocket::Create(int& error) {
  const SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) {
    error = WSAGetLastError();
    return nullptr;
  }
  return std::unique_ptr<TTcpSocket>(new TTcpSocket(static_cast<intptr_t>(s)));
}

TTcpSocket::~TTcpSocket() {
  if (Sock(handle_) != INVALID_SOCKET) closesocket(Sock(handle_));
}

void TTcpSocket::NoteResult(int result) {
  if (result >= 0) {
    lastIoError_ = TIoError::None;
    return;
  }
  lastError_ = WSAGetLastError();
  lastIoError_ = Classify(lastError_);
}

TTcpSocket::TConnectResult TTcpSocket::Connect(std::uint32_t address, std::uint16_t port) {
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(port);
  peer.sin_addr.s_addr = address;
  if (connect(Sock(handle_), reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0)
    return TConnectResult::Connected;
  lastError_ = WSAGetLastError();
  lastIoError_ = Classify(lastError_);
  return lastError_ == WSAEWOULDBLOCK ? TConnectResult::InProgress : TConnectResult::Failed;
}

int TTcpSocket::PendingError() {
  int error = 0;
  int length = sizeof error;
  if (getsockopt(Sock(handle_), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) !=
      0)
    return WSAGetLastError();
  if (error != 0) lastError_ = error;
  return error;
}

int TTcpSocket::SetFastSend() {
  // Option 8 at IPPROTO_IP is the Windows Sockets 1.1 type of service; the
  // request carries no value and is normally refused, then TCP_NODELAY is set.
  if (setsockopt(Sock(handle_), IPPROTO_IP, 8, nullptr, 0) == 0) return 0;
  const BOOL on = TRUE;
  return setsockopt(Sock(handle_), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on),
                    sizeof on) == 0
             ? 0
             : -1;
}

int TTcpSocket::SetKeepAlive(bool on) {
  const BOOL value = on ? TRUE : FALSE;
  const int result = setsockopt(Sock(handle_), SOL_SOCKET, SO_KEEPALIVE,
                                reinterpret_cast<const char*>(&value), sizeof value);
  if (result != 0 || !on) return result;
  // Best effort (Windows 2000 and later): the probe count is the system's own
  // (5 on XP, 10 from Vista), so a peer that is gone is noticed within about
  // two minutes instead of two hours.
  tcp_keepalive tuning{1, kKeepAliveIdleSeconds * 1000, kKeepAliveIntervalSeconds * 1000};
  DWORD returned = 0;
  static_cast<void>(WSAIoctl(Sock(handle_), SIO_KEEPALIVE_VALS, &tuning, sizeof tuning, nullptr, 0,
                             &returned, nullptr, nullptr));
  return result;
}

int TTcpSocket::Read(std::uint8_t* buffer, int size) {
  const int result = recv(Sock(handle_), reinterpret_cast<char*>(buffer), size, 0);
  NoteResult(result);
  return result;
}

int TTcpSocket::Write(const std::uint8_t* data, int size) {
  if (writeTimeout_ <= 0) {
    const int result = send(Sock(handle_), reinterpret_cast<const char*>(data), size, 0);
    NoteResult(result);
    return result;
  }
  fd_set writable;
  FD_ZERO(&writable);
  FD_SET(Sock(handle_), &writable);
  timeval limit{static_cast<long>(writeTimeout_ / 1000),
                static_cast<long>(writeTimeout_ % 1000 * 1000)};
  const int ready = select(0, nullptr, &writable, nullptr, &limit);
  if (ready == 0) return TimeOutWrite();
  // What fits now, without blocking; the caller comes back for the rest.
  const bool wasNonBlocking = nonBlocking_;
  if (!wasNonBlocking) SetNonBlocking(true);
  const int result = send(Sock(handle_), reinterpret_cast<const char*>(data), size, 0);
  NoteResult(result);
  if (!wasNonBlocking) SetNonBlocking(false);
  return result;
}

int TTcpSocket::TimeOutWrite() {
  lastError_ = WSAETIMEDOUT;
  lastIoError_ = TIoError::TimedOut;
  return -1;
}

int TTcpSocket::SetNonBlocking(bool on) {
  u_long value = on ? 1 : 0;
  // FIONBIO is an unsigned code with the high bit set; ioctlsocket takes it
  // as a long, bit for bit.
  const int result = ioctlsocket(Sock(handle_), static_cast<long>(FIONBIO), &value);
  if (result != 0) lastError_ = WSAGetLastError();
  if (result == 0) nonBlocking_ = on;
  return result;
}

bool TTcpSocket::WaitReadable(std::int64_t milliseconds) {
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(Sock(handle_), &readable);
  // Windows reports a refused or failed non-blocking connect in the
  // exception set, never as readable; without it the wait would run the
  // whole connect time-out. The caller learns the failure from
  // PendingError, as on systems that wake the reader.
  fd_set failed;
  FD_ZERO(&failed);
  FD_SET(Sock(handle_), &failed);
  timeval limit{};
  timeval* limitPointer = nullptr;
  if (milliseconds >= 0) {
    limit.tv_sec = static_cast<long>(milliseconds / 1000);
    limit.tv_usec = static_cast<long>(milliseconds % 1000 * 1000);
    limitPointer = &limit;
  }
  const int result = select(0, &readable, nullptr, &failed, limitPointer);
  if (result == SOCKET_ERROR) lastError_ = WSAGetLastError();
  return result > 0 && (FD_ISSET(Sock(handle_), &readable) || FD_ISSET(Sock(handle_), &failed));
}

void TTcpSocket::Close() {
  if (Sock(handle_) == INVALID_SOCKET) return;
  shutdown(Sock(handle_), SD_SEND);
  SetNonBlocking(true);
  // Drain what the server still sends so the close is orderly, but bounded:
  // a server in the middle of a 16 MiB reply must not hold the close for
  // minutes.
  std::vector<char> scratch(kDrainChunk);
  int rounds = 0;
  do {
    Sleep(1);
  } while (recv(Sock(handle_), scratch.data(), kDrainChunk, 0) > 0 && ++rounds < kMaxDrainRounds);
  closesocket(Sock(handle_));
  handle_ = static_cast<intptr_t>(INVALID_SOCKET);
}

}  // namespace platform

#endif

// pipe-relay PORT [--busy MILLISECONDS]
//
// Serves the local server pipe \\.\pipe\MySQL for the tests of the Windows
// build under Wine, and forwards every client to the server at PORT on
// 127.0.0.1 (Wine has no Unix domain sockets, so the server sees a TCP
// client). Prints "ready" once the pipe exists. With --busy the relay first
// holds the only free pipe instance itself for that long, so a client meets
// a busy pipe and has to wait for it. Runs until it is killed.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <winsock2.h>
// winsock2.h must come before windows.h.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

constexpr char PipePath[] = "\\\\.\\pipe\\MySQL";
constexpr DWORD BufferSize = 65536;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "pipe-relay: %s failed (%lu, %d)\n", what, GetLastError(),
               WSAGetLastError());
  std::exit(1);
}

SOCKET ConnectServer(int port) {
  const SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (s != INVALID_SOCKET &&
      connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    closesocket(s);
    return INVALID_SOCKET;
  }
  return s;
}

HANDLE NewInstance() {
  // Overlapped, so one thread can read the pipe while another writes it.
  const HANDLE pipe =
      CreateNamedPipeA(PipePath, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                       PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES,
                       BufferSize, BufferSize, 0, nullptr);
  if (pipe == INVALID_HANDLE_VALUE) Fail("CreateNamedPipe");
  return pipe;
}

// One pipe operation, waited for: bytes moved, or 0 when the pipe is gone.
DWORD PipeIo(HANDLE pipe, char* data, DWORD size, bool write) {
  OVERLAPPED operation{};
  operation.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  DWORD moved = 0;
  const BOOL started = write ? WriteFile(pipe, data, size, nullptr, &operation)
                             : ReadFile(pipe, data, size, nullptr, &operation);
  if (!started && GetLastError() != ERROR_IO_PENDING)
    moved = 0;
  else if (!GetOverlappedResult(pipe, &operation, &moved, TRUE))
    moved = 0;
  CloseHandle(operation.hEvent);
  return moved;
}

struct Connection {
  HANDLE Pipe;
  SOCKET Socket;
};

// Server to client; when the server closes, the client's pipe is broken
// once the client has read everything (disconnecting at once would throw
// away a last error packet the client has not read yet).
DWORD WINAPI ServerToClient(void* parameter) {
  const Connection& c = *static_cast<Connection*>(parameter);
  char buffer[BufferSize];
  for (int got; (got = recv(c.Socket, buffer, sizeof buffer, 0)) > 0;) {
    for (DWORD sent = 0; sent < static_cast<DWORD>(got);) {
      const DWORD moved = PipeIo(c.Pipe, buffer + sent, static_cast<DWORD>(got) - sent, true);
      if (moved == 0) return 0;
      sent += moved;
    }
  }
  FlushFileBuffers(c.Pipe);
  DisconnectNamedPipe(c.Pipe);
  return 0;
}

// Client to server, then tidies up both ends.
DWORD WINAPI Serve(void* parameter) {
  const std::unique_ptr<Connection> c(static_cast<Connection*>(parameter));
  const HANDLE back = CreateThread(nullptr, 0, ServerToClient, c.get(), 0, nullptr);
  char buffer[BufferSize];
  for (DWORD got; (got = PipeIo(c->Pipe, buffer, sizeof buffer, false)) > 0;) {
    for (DWORD sent = 0; sent < got;) {
      const int moved = send(c->Socket, buffer + sent, static_cast<int>(got - sent), 0);
      if (moved <= 0) break;
      sent += static_cast<DWORD>(moved);
    }
  }
  shutdown(c->Socket, SD_SEND);
  WaitForSingleObject(back, INFINITE);
  CloseHandle(back);
  closesocket(c->Socket);
  DisconnectNamedPipe(c->Pipe);
  CloseHandle(c->Pipe);
  return 0;
}

// Waits for a client on an overlapped instance.
bool AwaitClient(HANDLE pipe) {
  OVERLAPPED operation{};
  operation.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  bool connected = ConnectNamedPipe(pipe, &operation) != 0;
  if (!connected) {
    const DWORD error = GetLastError();
    DWORD unused = 0;
    connected = error == ERROR_PIPE_CONNECTED ||
                (error == ERROR_IO_PENDING && GetOverlappedResult(pipe, &operation, &unused, TRUE));
  }
  CloseHandle(operation.hEvent);
  return connected;
}

void Ready() {
  std::printf("ready\n");
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && !(argc == 4 && std::strcmp(argv[2], "--busy") == 0)) {
    std::fprintf(stderr, "usage: pipe-relay PORT [--busy MILLISECONDS]\n");
    return 2;
  }
  const int port = std::atoi(argv[1]);
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) Fail("WSAStartup");

  HANDLE pipe = NewInstance();
  if (argc == 4) {
    // Take the only listening instance as a client ourselves: until there is
    // another one, every other client finds the pipe busy. The next instance
    // is made before this one goes, so the pipe never vanishes meanwhile.
    const HANDLE holder =
        CreateFileA(PipePath, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (holder == INVALID_HANDLE_VALUE) Fail("holding the pipe");
    Ready();
    Sleep(static_cast<DWORD>(std::atoi(argv[3])));
    const HANDLE held = pipe;
    pipe = NewInstance();
    CloseHandle(holder);
    CloseHandle(held);
  } else {
    Ready();
  }

  for (;; pipe = NewInstance()) {
    if (!AwaitClient(pipe)) {
      CloseHandle(pipe);
      continue;
    }
    const SOCKET s = ConnectServer(port);
    if (s == INVALID_SOCKET) {
      std::fprintf(stderr, "pipe-relay: cannot reach %s (%d)\n", argv[1], WSAGetLastError());
      DisconnectNamedPipe(pipe);
      CloseHandle(pipe);
      continue;
    }
    const HANDLE worker = CreateThread(nullptr, 0, Serve, new Connection{pipe, s}, 0, nullptr);
    if (!worker) Fail("CreateThread");
    CloseHandle(worker);
  }
}

#include "support/pipe_relay.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int ReadyWaitMilliseconds = 60000;

// Reads the relay's output until its "ready" line, end of output or the
// time limit.
bool AwaitReady(int fd) {
  std::string said;
  pollfd wait{fd, POLLIN, 0};
  while (said.find("ready") == std::string::npos) {
    if (poll(&wait, 1, ReadyWaitMilliseconds) <= 0) return false;
    char buffer[256];
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got <= 0) return false;
    said.append(buffer, static_cast<size_t>(got));
  }
  return true;
}

}  // namespace

PipeRelay::PipeRelay(const std::string& command, int port) {
  if (!lock_.Ok()) return;
  int output[2];
  if (pipe(output) != 0) return;
  const std::string line = "exec " + command + " " + std::to_string(port);
  pid_ = fork();
  if (pid_ == 0) {
    dup2(output[1], STDOUT_FILENO);
    close(output[0]);
    close(output[1]);
    execl("/bin/sh", "sh", "-c", line.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(output[1]);
  ok_ = pid_ > 0 && AwaitReady(output[0]);
  close(output[0]);
}

PipeRelay::~PipeRelay() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
}

#include "support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int ReadyWaitMilliseconds = 60000;

// Reads the program's output until it says "ready", ends, or the time limit.
bool AwaitReady(int fd, std::string& said) {
  pollfd wait{fd, POLLIN, 0};
  while (said.find("ready") == std::string::npos) {
    if (poll(&wait, 1, ReadyWaitMilliseconds) <= 0) return false;
    char buffer[256];
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got <= 0) return false;
    said.append(buffer, static_cast<std::size_t>(got));
  }
  return true;
}

}  // namespace

ChildProcess::ChildProcess(const std::string& command) {
  int output[2];
  // Close-on-exec: other programs the test starts must not hold the pipe.
  if (pipe2(output, O_CLOEXEC) != 0) return;
  const std::string line = "exec " + command;
  pid_ = fork();
  if (pid_ == 0) {
    dup2(output[1], STDOUT_FILENO);
    close(output[0]);
    close(output[1]);
    execl("/bin/sh", "sh", "-c", line.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(output[1]);
  output_ = output[0];
  ok_ = pid_ > 0 && AwaitReady(output_, said_);
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  if (output_ >= 0) close(output_);
}

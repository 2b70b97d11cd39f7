#pragma once
// A helper program run for a test (a relay, a scripted server) until this
// object goes: started through /bin/sh, ready once its standard output says
// "ready", ended with SIGTERM. Nothing it writes later is read.

#include <sys/types.h>

#include <string>

class ChildProcess {
 public:
  // Waits at most a minute for the word "ready" in the program's output.
  explicit ChildProcess(const std::string& command);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  [[nodiscard]] bool Ok() const { return ok_; }
  // What the program wrote up to its "ready" (and perhaps a little more).
  [[nodiscard]] const std::string& Said() const { return said_; }

 private:
  pid_t pid_ = -1;
  // Open until the program ends: it may write a little more after "ready"
  // (pieces of the same line), which must not fail.
  int output_ = -1;
  std::string said_;
  bool ok_ = false;
};

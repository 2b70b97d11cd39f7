#pragma once
// The local server pipe of the Windows build under Wine: a relay program
// (tests/windows/pipe_relay.cpp, started through Wine) serves \\.\pipe\MySQL
// and forwards to a server, for this object's lifetime. Holds the lock of
// the local pipe endpoint meanwhile (see LocalPipeLink), so test runs on the
// same machine take turns.

#include <sys/types.h>

#include <string>

#include "support/mariadb_fixture.h"

class PipeRelay {
 public:
  // Runs `command` with the server's TCP port appended, and waits until the
  // relay says it is ready.
  PipeRelay(const std::string& command, int port);
  ~PipeRelay();
  PipeRelay(const PipeRelay&) = delete;
  PipeRelay& operator=(const PipeRelay&) = delete;

  [[nodiscard]] bool Ok() const { return ok_; }

 private:
  LocalPipeLink lock_{""};
  pid_t pid_ = -1;
  bool ok_ = false;
};

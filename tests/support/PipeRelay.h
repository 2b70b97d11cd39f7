#pragma once
// The local server pipe of the Windows build under Wine: a relay program
// (tests/windows/PipeRelay.cpp, started through Wine) serves \\.\pipe\MySQL
// and forwards to a server, for this object's lifetime. Holds the lock of
// the local pipe endpoint meanwhile (see LocalPipeLink), so test runs on the
// same machine take turns.

#include <optional>
#include <string>

#include "support/ChildProcess.h"
#include "support/MariaDbFixture.h"

class PipeRelay {
 public:
  // Runs `command` with the server's TCP port appended, and waits until the
  // relay says it is ready.
  PipeRelay(const std::string& command, int port);

  [[nodiscard]] bool Ok() const { return relay_ && relay_->Ok(); }

 private:
  LocalPipeLink lock_{""};
  std::optional<ChildProcess> relay_;
};

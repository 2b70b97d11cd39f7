#pragma once
// Takes the real server's replies once, so the measured clients can be
// served the same bytes from memory (ReplayServer.h).

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "bench/Wire.h"

namespace bench {

struct ServerAddress {
  std::string Host = "127.0.0.1";
  std::uint16_t Port = 0;
  std::string User;  // an account without a password
};

// Statement -> the reply packets as sent on a plain connection; the server's
// version into `serverVersion`. Throws std::runtime_error when the server
// cannot be reached or refuses.
std::map<std::string, Bytes> RecordReplies(const ServerAddress& server,
                                           const std::vector<std::string>& statements,
                                           std::string& serverVersion);

}  // namespace bench

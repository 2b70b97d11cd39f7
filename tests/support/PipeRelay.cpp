#include "support/PipeRelay.h"

PipeRelay::PipeRelay(const std::string& command, int port) {
  if (lock_.Ok()) relay_.emplace(command + " " + std::to_string(port));
}

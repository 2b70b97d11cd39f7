#pragma once
// What the suite runs: one job is a case with its arguments and the server it
// talks to, measured in a child process of its own; a target is a figure with
// its limit, for the table of targets.

#include <map>
#include <string>

#include "bench/Figures.h"

namespace bench {

// The servers of a run: the replay server, the same replies over TLS, and the
// replay server behind a relay that adds network latency.
enum class Endpoint { Replay, TlsReplay, Delayed };

struct Job {
  std::string Case;
  std::string Statement;
  bool Compress = false;
  int Repeat = 1;
  Endpoint Server = Endpoint::Replay;
  bool I686 = false;  // the case runs in the 32-bit build of the benchmark
};

struct Target {
  std::string What;
  double Value;  // negative or not finite: not measured
  double Limit;
  std::string Figure;  // empty: the value as a ratio
};

using Medians = std::map<std::string, Median>;

}  // namespace bench

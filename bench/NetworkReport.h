#pragma once
// What users meet beyond loopback: statements and connects across a network
// with latency, reads over TLS, and the reads of the 32-bit build. Their
// jobs, the jobs that must read what "orb-buf" read, their tables and their
// targets; the suite runs them with its own.

#include <chrono>
#include <string>
#include <vector>

#include "bench/Jobs.h"

namespace bench {

// One way; a round trip is twice this.
inline constexpr std::chrono::microseconds kOneWayLatency{5000};

struct NetworkPlan {
  std::string AllRows;   // the statement of the large reads
  int ReadPasses = 1;    // how often each large read is made in one run
  bool I686 = false;     // a 32-bit build of the benchmark runs here
  std::string I686Note;  // why not, when it does not
};

void AddNetworkJobs(const NetworkPlan& plan, std::map<std::string, Job>& jobs);
// Jobs that read the same rows and values as "orb-buf".
std::vector<std::string> NetworkFullReads(const NetworkPlan& plan);
// Groups of jobs that must agree with each other.
std::vector<std::vector<std::string>> NetworkSameWork();

std::string LatencyTable(const Medians& medians);
std::string TlsTable(const Medians& medians);
std::string I686Table(const NetworkPlan& plan, const Medians& medians);
std::vector<Target> NetworkTargets(const Medians& medians);

}  // namespace bench

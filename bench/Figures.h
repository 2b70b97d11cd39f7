#pragma once
// Medians of repeated child runs and their text in the tables.

#include <cstdint>
#include <string>
#include <vector>

#include "bench/ChildRun.h"

namespace bench {

// The median of each figure over several runs of one case; user and system
// time are those of the run with the median CPU time.
struct Median {
  double User = 0;
  double System = 0;
  double Cpu = 0;
  double Wall = 0;
  double Timed = -1;  // what the case timed itself, -1 when it did not
  double Waits = -1;  // behind the delaying relay: the client's waits for the server
  std::int64_t PeakKb = 0;
};

Median MedianOf(const std::vector<ChildFigures>& runs);

std::string SecondsText(double seconds);
// "1.93 s (0.41 user + 1.52 system)"
std::string CpuText(const Median& median);
std::string MegabytesText(std::int64_t kb);
std::string RatioText(double ratio);
std::string MicrosecondsText(double seconds);
std::string CountText(double count);
// "1,000,000"
std::string GroupedText(std::uint64_t number);

}  // namespace bench

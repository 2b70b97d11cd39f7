#pragma once
// Runs one measured case in a child process of its own, so its CPU time and
// peak memory (getrusage through wait4) are that case's alone, and the
// replay server's work in this process is not counted.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace bench {

struct ChildFigures {
  double UserSeconds = 0;
  double SystemSeconds = 0;
  double WallSeconds = 0;
  std::int64_t PeakKb = 0;   // maximum resident set size
  double TimedSeconds = -1;  // what the case timed itself (ReportTimed), if it did
  std::string Output;        // what the case printed (its checksum line)
  bool Ok = false;

  [[nodiscard]] double CpuSeconds() const { return UserSeconds + SystemSeconds; }
};

// Runs `argv` (argv[0] a path) and waits for it. The peak is the one the
// child reports with ReportOwnPeak: the maximum resident set of getrusage
// also counts the pages the child shared with this (large) process between
// fork and exec.
ChildFigures RunChild(const std::vector<std::string>& argv);

// Called by a child at its end: prints its own peak resident set (VmHWM of
// /proc/self/status, which starts afresh at exec) for RunChild to read.
void ReportOwnPeak();

struct SyscallCounts {
  std::int64_t Total = 0;
  std::map<std::string, std::int64_t> ByName;
  bool Ok = false;
};

// Runs `argv` under `strace -f -c` and reads its summary.
SyscallCounts CountSyscalls(const std::vector<std::string>& argv);

}  // namespace bench

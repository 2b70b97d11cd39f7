#include "bench/ChildRun.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string_view>

namespace bench {

namespace {

double Seconds(const timeval& time) {
  return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

std::vector<char*> ArgvOf(const std::vector<std::string>& argv) {
  std::vector<char*> out;
  for (const std::string& arg : argv) out.push_back(const_cast<char*>(arg.c_str()));
  out.push_back(nullptr);
  return out;
}

constexpr std::string_view kPeakLine = "peak_kb ";
constexpr std::string_view kTimedLine = "timed_s ";

// The peak a child printed, or -1.
std::int64_t ReportedPeak(const std::string& output) {
  const std::size_t at = output.find(kPeakLine);
  if (at == std::string::npos) return -1;
  return std::stoll(output.substr(at + kPeakLine.size()));
}

// The seconds a case timed itself, or -1.
double ReportedTimed(const std::string& output) {
  const std::size_t at = output.find(kTimedLine);
  if (at == std::string::npos) return -1;
  return std::stod(output.substr(at + kTimedLine.size()));
}

}  // namespace

void ReportOwnPeak() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) {
      std::cout << kPeakLine << std::stoll(line.substr(6)) << std::endl;
      return;
    }
}

ChildFigures RunChild(const std::vector<std::string>& argv) {
  ChildFigures figures;
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return figures;
  std::vector<char*> args = ArgvOf(argv);
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    dup2(pipeFds[1], STDOUT_FILENO);
    close(pipeFds[0]);
    close(pipeFds[1]);
    execv(args[0], args.data());
    _exit(127);
  }
  close(pipeFds[1]);
  if (child < 0) {
    close(pipeFds[0]);
    return figures;
  }
  char buffer[4096];
  ssize_t count;
  while ((count = read(pipeFds[0], buffer, sizeof buffer)) > 0)
    figures.Output.append(buffer, static_cast<std::size_t>(count));
  close(pipeFds[0]);
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child) return figures;
  figures.WallSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  figures.UserSeconds = Seconds(usage.ru_utime);
  figures.SystemSeconds = Seconds(usage.ru_stime);
  figures.PeakKb = ReportedPeak(figures.Output);
  if (figures.PeakKb < 0) figures.PeakKb = usage.ru_maxrss;
  figures.TimedSeconds = ReportedTimed(figures.Output);
  figures.Ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return figures;
}

SyscallCounts CountSyscalls(const std::vector<std::string>& argv) {
  SyscallCounts counts;
  char name[] = "/tmp/orbelin-bench-strace.XXXXXX";
  const int fd = mkstemp(name);
  if (fd < 0) return counts;
  close(fd);
  std::vector<std::string> traced = {"/usr/bin/strace", "-f", "-c", "-o", name, "--"};
  traced.insert(traced.end(), argv.begin(), argv.end());
  const ChildFigures run = RunChild(traced);
  // Summary lines: "% time  seconds  usecs/call  calls  [errors]  syscall".
  std::ifstream summary(name);
  std::string line;
  while (std::getline(summary, line)) {
    std::istringstream fields(line);
    std::vector<std::string> words;
    for (std::string word; fields >> word;) words.push_back(word);
    if (words.size() < 5 || !std::isdigit(static_cast<unsigned char>(words[3][0]))) continue;
    const std::int64_t calls = std::stoll(words[3]);
    if (words.back() == "total")
      counts.Total = calls;
    else
      counts.ByName[words.back()] = calls;
  }
  std::remove(name);
  counts.Ok = run.Ok && counts.Total > 0;
  return counts;
}

}  // namespace bench

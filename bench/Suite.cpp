#include "bench/Suite.h"

#include <mysql.h>
#include <openssl/crypto.h>
#include <sys/utsname.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iostream>
#include <limits>
#include <map>
#include <sstream>
#include <thread>

#include "bench/DelayRelay.h"
#include "bench/Figures.h"
#include "bench/Jobs.h"
#include "bench/NetworkReport.h"
#include "bench/ReplayServer.h"

namespace bench {

namespace {

const std::string kAllRows = "SELECT * FROM orbelin_test.bench";
const std::string kSomeRows = "SELECT * FROM orbelin_test.bench WHERE id <= 200000";
const std::string kOneRow = "SELECT * FROM orbelin_test.bench WHERE id = 1";
constexpr int kStatements = 10000;
// The protocol-client reads take a tenth of a second or so; each case reads
// its result this many times, so its CPU time rises well above the clock's
// resolution and the noise of a busy machine. Tables show one pass.
constexpr int kReadPasses = 5;
constexpr int kFieldsPerRow = 6;

// Every timed job, by the key the tables use.
std::map<std::string, Job> TimedJobs(std::uint64_t someRows, const NetworkPlan& plan) {
  const int fillLines = static_cast<int>(someRows);
  std::map<std::string, Job> jobs = {
      {"idle", {"idle", ""}},
      {"orb-buf", {"orbelin-buffered", kAllRows, false, kReadPasses}},
      {"orb-rbr", {"orbelin-rowbyrow", kAllRows, false, kReadPasses}},
      {"orb-buf-z", {"orbelin-buffered", kAllRows, true, kReadPasses}},
      {"orb-rbr-z", {"orbelin-rowbyrow", kAllRows, true, kReadPasses}},
      {"orb-rbr-some", {"orbelin-rowbyrow", kSomeRows}},
      {"cc-buf", {"cc-buffered", kAllRows, false, kReadPasses}},
      {"cc-rbr", {"cc-rowbyrow", kAllRows, false, kReadPasses}},
      {"cc-buf-z", {"cc-buffered", kAllRows, true, kReadPasses}},
      {"cc-rbr-z", {"cc-rowbyrow", kAllRows, true, kReadPasses}},
      {"floor", {"floor", kAllRows, false, kReadPasses}},
      {"host-query", {"host-query", kAllRows}},
      {"host-last", {"host-last", kAllRows}},
      {"host-query-some", {"host-query", kSomeRows}},
      {"host-loop", {"host-loop", kSomeRows}},
      {"host-fetchall", {"host-fetchall", kSomeRows}},
      {"host-fetchall-auto", {"host-fetchall-autotype", kSomeRows}},
      {"host-baseline", {"host-fill-baseline", "", false, fillLines}},
      {"orb-stm", {"orbelin-statements", kOneRow, false, kStatements}},
      {"orb-stm-0", {"orbelin-statements", kOneRow, false, 0}},
      {"orb-stm-noping", {"orbelin-statements-noping", kOneRow, false, kStatements}},
      {"orb-stm-noping-0", {"orbelin-statements-noping", kOneRow, false, 0}},
      {"orb-stm-pingwait", {"orbelin-statements-pingwait", kOneRow, false, kStatements}},
      {"orb-stm-pingwait-0", {"orbelin-statements-pingwait", kOneRow, false, 0}},
      {"cc-stm", {"cc-statements", kOneRow, false, kStatements}},
      {"cc-stm-0", {"cc-statements", kOneRow, false, 0}},
      {"floor-stm", {"floor-statements", kOneRow, false, kStatements}},
      {"floor-stm-0", {"floor-statements", kOneRow, false, 0}},
      {"floor-stm-ping", {"floor-statements-ping", kOneRow, false, kStatements}},
      {"floor-stm-ping-0", {"floor-statements-ping", kOneRow, false, 0}},
  };
  AddNetworkJobs(plan, jobs);
  return jobs;
}

// Jobs counted under strace (slow, so once each): statements and reads.
const std::vector<std::string> kTracedJobs = {"idle",
                                              "orb-stm",
                                              "orb-stm-0",
                                              "orb-stm-noping",
                                              "orb-stm-noping-0",
                                              "orb-stm-pingwait",
                                              "orb-stm-pingwait-0",
                                              "cc-stm",
                                              "cc-stm-0",
                                              "floor-stm",
                                              "floor-stm-0",
                                              "floor-stm-ping",
                                              "floor-stm-ping-0",
                                              "orb-buf-some",
                                              "orb-rbr-some",
                                              "cc-buf-some",
                                              "cc-rbr-some",
                                              "floor-some"};

std::map<std::string, Job> TracedJobs(const std::map<std::string, Job>& timed) {
  std::map<std::string, Job> jobs = timed;
  jobs["orb-buf-some"] = {"orbelin-buffered", kSomeRows};
  jobs["cc-buf-some"] = {"cc-buffered", kSomeRows};
  jobs["cc-rbr-some"] = {"cc-rowbyrow", kSomeRows};
  jobs["floor-some"] = {"floor", kSomeRows};
  std::map<std::string, Job> traced;
  for (const std::string& key : kTracedJobs) traced[key] = jobs.at(key);
  return traced;
}

// The line a case printed of what it read ("rows ... values ... bytes ...").
std::string DigestLine(const std::string& output) {
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);)
    if (line.rfind("rows ", 0) == 0) return line + "\n";
  return {};
}

std::string FirstLineOf(const std::string& path, const std::string& prefix) {
  std::ifstream file(path);
  for (std::string line; std::getline(file, line);)
    if (line.rfind(prefix, 0) == 0)
      return line.substr(line.find_first_not_of(" \t:=\"", prefix.size()));
  return "unknown";
}

// The 1-, 5- and 15-minute load averages.
std::string LoadAverage() {
  std::ifstream file("/proc/loadavg");
  std::string one, five, fifteen;
  file >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

std::string MachineText(const std::string& serverVersion, const std::string& load) {
  utsname names{};
  uname(&names);
  std::string os = FirstLineOf("/etc/os-release", "PRETTY_NAME");
  if (!os.empty() && os.back() == '"') os.pop_back();
  return "Machine: " + FirstLineOf("/proc/cpuinfo", "model name") + ", " +
         std::to_string(std::thread::hardware_concurrency()) + " cores; " + os + ", Linux " +
         names.release + "; g++ " + __VERSION__ + " (-O3, 64-bit); MariaDB Connector/C " +
         mysql_get_client_info() + "; replies recorded from MariaDB " + serverVersion +
         ". Load average when the run began (other work on the machine): " + load + ".";
}

class Suite {
 public:
  explicit Suite(const SuiteOptions& options) : options_(options) {
    plan_.AllRows = kAllRows;
    plan_.ReadPasses = kReadPasses;
    plan_.I686 = !options.I686Self.empty();
    plan_.I686Note = options.I686Note;
  }
  int Run();

 private:
  std::vector<std::string> Argv(const Job& job) const;
  bool MeasureAll(std::uint64_t someRows);
  void CountAllSyscalls(std::uint64_t someRows);
  bool CheckDigests();
  std::string Report(const std::string& serverVersion, std::size_t plainBytes,
                     std::size_t compressedBytes) const;
  std::string ReadingTable() const;
  std::string HostTable() const;
  std::string StatementTable() const;
  std::string SyscallTable() const;
  std::string TargetTable() const;

  const Median& M(const std::string& key) const { return medians_.at(key); }
  double PerStatement(const std::string& key, double Median::*figure) const;
  double SyscallsPerStatement(const std::string& key) const;
  // The writes to the socket (send, sendto, sendmsg, write, writev) per
  // statement.
  double SendsPerStatement(const std::string& key) const;
  double WallPerStatement(const std::string& key) const { return M(key).Timed / kStatements; }
  double SyscallsPerRow(const std::string& key) const;
  double FetchAllPerCell(const std::string& key) const;
  double FetchAllAddinShare(const std::string& key) const;

  const SuiteOptions& options_;
  NetworkPlan plan_;
  std::map<Endpoint, std::uint16_t> ports_;
  const DelayRelay* relay_ = nullptr;
  std::map<std::string, Median> medians_;
  std::map<std::string, std::string> digests_;
  std::map<std::string, SyscallCounts> syscalls_;
  std::string startLoad_;
  std::uint64_t allRows_ = 0;
  std::uint64_t someRows_ = 0;
};

// A case that read its result several times: the CPU figures of one pass.
void PerPass(Median& median, const Job& job) {
  if (job.Statement != kAllRows || job.Repeat <= 1) return;
  const double passes = job.Repeat;
  median.User /= passes;
  median.System /= passes;
  median.Cpu /= passes;
  median.Wall /= passes;
}

std::vector<std::string> Suite::Argv(const Job& job) const {
  std::vector<std::string> argv = {job.I686 ? options_.I686Self : options_.Self,
                                   "case",
                                   job.Case,
                                   "--port",
                                   std::to_string(ports_.at(job.Server)),
                                   "--statement",
                                   job.Statement,
                                   "--repeat",
                                   std::to_string(job.Repeat),
                                   "--addin",
                                   options_.AddinPath};
  if (job.Compress) argv.push_back("--compress");
  if (job.Server == Endpoint::TlsReplay) argv.push_back("--tls");
  return argv;
}

bool Suite::MeasureAll(std::uint64_t someRows) {
  const auto jobs = TimedJobs(someRows, plan_);
  std::map<std::string, std::vector<ChildFigures>> runs;
  std::map<std::string, std::vector<double>> waits;
  // Round after round over all jobs, so a slow phase of the machine spreads
  // over every case instead of spoiling one.
  for (int round = 1; round <= options_.Runs; ++round) {
    std::cerr << "round " << round << " of " << options_.Runs << ":";
    for (const auto& [key, job] : jobs) {
      const std::uint64_t waitsBefore = relay_->Waits();
      ChildFigures figures = RunChild(Argv(job));
      if (job.Server == Endpoint::Delayed)
        waits[key].push_back(static_cast<double>(relay_->Waits() - waitsBefore));
      std::cerr << ' ' << key << std::flush;
      if (!figures.Ok) {
        std::cerr << "\ncase " << key << " failed\n";
        return false;
      }
      digests_[key] = DigestLine(figures.Output);
      runs[key].push_back(std::move(figures));
    }
    std::cerr << '\n';
  }
  for (const auto& [key, figures] : runs) {
    medians_[key] = MedianOf(figures);
    PerPass(medians_[key], jobs.at(key));
    if (auto& counted = waits[key]; !counted.empty()) {
      std::sort(counted.begin(), counted.end());
      medians_[key].Waits = counted[counted.size() / 2];
    }
  }
  return true;
}

void Suite::CountAllSyscalls(std::uint64_t someRows) {
  std::cerr << "counting system calls (strace):";
  for (const auto& [key, job] : TracedJobs(TimedJobs(someRows, plan_))) {
    syscalls_[key] = CountSyscalls(Argv(job));
    std::cerr << ' ' << key << std::flush;
  }
  std::cerr << '\n';
}

bool Suite::CheckDigests() {
  // Cases that read the same statement must have read the same values.
  std::vector<std::vector<std::string>> same = {
      {"orb-buf", "orb-rbr", "orb-buf-z", "orb-rbr-z", "cc-buf", "cc-rbr", "cc-buf-z", "cc-rbr-z"},
      {"orb-rbr-some", "host-loop"},
      {"orb-stm", "orb-stm-noping", "orb-stm-pingwait", "cc-stm"},
      {"floor-stm", "floor-stm-ping"}};
  for (const std::string& key : NetworkFullReads(plan_)) same.front().push_back(key);
  for (const auto& group : NetworkSameWork()) same.push_back(group);
  bool ok = true;
  for (const auto& group : same)
    for (const std::string& key : group)
      if (digests_[key] != digests_[group.front()]) {
        std::cerr << "digest of " << key << " (" << digests_[key] << ") differs from "
                  << group.front() << " (" << digests_[group.front()] << ")\n";
        ok = false;
      }
  std::istringstream(digests_["orb-buf"].substr(5)) >> allRows_;
  allRows_ /= kReadPasses;
  std::istringstream(digests_["orb-rbr-some"].substr(5)) >> someRows_;
  const auto rowsOnly = [](std::uint64_t rows) {
    return "rows " + std::to_string(rows) + " values 0 bytes 0\n";
  };
  const std::string allRowsOnly = rowsOnly(allRows_);
  const std::string someRowsOnly = rowsOnly(someRows_);
  for (const auto& [key, expected] :
       std::map<std::string, std::string>{{"floor", rowsOnly(allRows_ * kReadPasses)},
                                          {"host-query", allRowsOnly},
                                          {"host-last", allRowsOnly},
                                          {"host-query-some", someRowsOnly},
                                          {"host-fetchall", someRowsOnly},
                                          {"host-fetchall-auto", someRowsOnly},
                                          {"host-baseline", someRowsOnly}})
    if (digests_[key] != expected) {
      std::cerr << "case " << key << " read " << digests_[key] << " instead of " << expected;
      ok = false;
    }
  return ok;
}

double Suite::PerStatement(const std::string& key, double Median::*figure) const {
  return (M(key).*figure - M(key + "-0").*figure) / kStatements;
}

double Suite::SyscallsPerStatement(const std::string& key) const {
  const auto with = syscalls_.find(key);
  const auto without = syscalls_.find(key + "-0");
  if (with == syscalls_.end() || without == syscalls_.end() || !with->second.Ok) return -1;
  return static_cast<double>(with->second.Total - without->second.Total) / kStatements;
}

double Suite::SendsPerStatement(const std::string& key) const {
  const auto with = syscalls_.find(key);
  const auto without = syscalls_.find(key + "-0");
  if (with == syscalls_.end() || without == syscalls_.end() || !with->second.Ok) return -1;
  const auto sends = [](const SyscallCounts& counts) {
    std::int64_t total = 0;
    for (const char* name : {"send", "sendto", "sendmsg", "write", "writev"})
      if (const auto found = counts.ByName.find(name); found != counts.ByName.end())
        total += found->second;
    return total;
  };
  return static_cast<double>(sends(with->second) - sends(without->second)) / kStatements;
}

double Suite::SyscallsPerRow(const std::string& key) const {
  const auto found = syscalls_.find(key);
  if (found == syscalls_.end() || !found->second.Ok || someRows_ == 0) return -1;
  return static_cast<double>(found->second.Total - syscalls_.at("idle").Total) /
         static_cast<double>(someRows_);
}

// The table fill alone: FetchAll's run less the run that only queries.
double Suite::FetchAllPerCell(const std::string& key) const {
  return (M(key).Cpu - M("host-query-some").Cpu) / static_cast<double>(someRows_ * kFieldsPerRow);
}

// What the fill costs beyond what the host needs to take the same cells from
// a caller that has them ready.
double Suite::FetchAllAddinShare(const std::string& key) const {
  const double fill = M(key).Cpu - M("host-query-some").Cpu;
  const double host = M("host-baseline").Cpu - M("idle").Cpu;
  return fill > 0 ? (fill - host) / fill : 0;
}

std::string Suite::ReadingTable() const {
  std::ostringstream out;
  out << "| mode | orbelin CPU | Connector/C CPU | ratio | orbelin peak | Connector/C peak | ratio "
         "|\n|---|---|---|---|---|---|---|\n";
  const std::pair<const char*, std::string> modes[] = {{"buffered", "buf"},
                                                       {"row by row", "rbr"},
                                                       {"buffered, compressed", "buf-z"},
                                                       {"row by row, compressed", "rbr-z"}};
  for (const auto& [label, suffix] : modes) {
    const Median& ours = M("orb-" + suffix);
    const Median& theirs = M("cc-" + suffix);
    out << "| " << label << " | " << CpuText(ours) << " | " << CpuText(theirs) << " | "
        << RatioText(ours.Cpu / theirs.Cpu) << " | " << MegabytesText(ours.PeakKb) << " | "
        << MegabytesText(theirs.PeakKb) << " | "
        << RatioText(static_cast<double>(ours.PeakKb) / static_cast<double>(theirs.PeakKb))
        << " |\n";
  }
  out << "| raw socket floor, for reference (reads and drops the packets) | " << CpuText(M("floor"))
      << " | | | " << MegabytesText(M("floor").PeakKb) << " | | |\n";
  out << "| idle child (start-up only) | " << CpuText(M("idle")) << " | | | "
      << MegabytesText(M("idle").PeakKb) << " | | |\n";
  return out.str();
}

std::string Suite::HostTable() const {
  std::ostringstream out;
  const double someCells = static_cast<double>(someRows_ * kFieldsPerRow);
  out << "| through orbelin-host's emulator | rows | CPU | per cell | peak "
         "|\n|---|---|---|---|---|\n";
  out << "| `Query` buffered + `RowsCount` | " << GroupedText(allRows_) << " | "
      << CpuText(M("host-query")) << " | | " << MegabytesText(M("host-query").PeakKb) << " |\n";
  out << "| `Query` row by row + `Last` | " << GroupedText(allRows_) << " | "
      << CpuText(M("host-last")) << " | | " << MegabytesText(M("host-last").PeakKb) << " |\n";
  out << "| `Query` buffered + `RowsCount` | " << GroupedText(someRows_) << " | "
      << CpuText(M("host-query-some")) << " | | " << MegabytesText(M("host-query-some").PeakKb)
      << " |\n";
  out << "| `Query` row by row + `EOF`/`FetchValue`/`Next` loop | " << GroupedText(someRows_)
      << " | " << CpuText(M("host-loop")) << " | "
      << MicrosecondsText((M("host-loop").Cpu - M("idle").Cpu) / someCells) << " | "
      << MegabytesText(M("host-loop").PeakKb) << " |\n";
  for (const auto& [label, key] : {std::pair{"`FetchAll`, `AutoType` off", "host-fetchall"},
                                   std::pair{"`FetchAll`, `AutoType` on", "host-fetchall-auto"}})
    out << "| " << label << " (after a buffered `Query`) | " << GroupedText(someRows_) << " | "
        << CpuText(M(key)) << " | " << MicrosecondsText(FetchAllPerCell(key)) << " fill, "
        << static_cast<int>(FetchAllAddinShare(key) * 100 + 0.5) << "% of it the add-in's | "
        << MegabytesText(M(key).PeakKb) << " |\n";
  out << "| the host alone filling the same table (`NewLine`, `SetValue`, arguments laid out once) "
         "| "
      << GroupedText(someRows_) << " | " << CpuText(M("host-baseline")) << " | "
      << MicrosecondsText((M("host-baseline").Cpu - M("idle").Cpu) / someCells) << " | "
      << MegabytesText(M("host-baseline").PeakKb) << " |\n";
  return out.str();
}

std::string Suite::StatementTable() const {
  std::ostringstream out;
  out << "| " << GroupedText(kStatements)
      << " × one-row `SELECT` on one connection, loopback | round trip (wall) | "
         "CPU per statement | writes per statement | system calls per statement "
         "|\n|---|---|---|---|---|\n";
  for (const auto& [label, key] :
       {std::pair{"orbelin, default settings (`ShouldReconnect` on: a ping with each statement)",
                  "orb-stm"},
        std::pair{"orbelin, the ping's answer awaited before each statement (as before; still so "
                  "after 5 s without an answer)",
                  "orb-stm-pingwait"},
        std::pair{"orbelin, `ShouldReconnect` off", "orb-stm-noping"},
        std::pair{"Connector/C", "cc-stm"},
        std::pair{"raw socket floor: the statement alone", "floor-stm"},
        std::pair{"raw socket floor: a ping and the statement in one write", "floor-stm-ping"}})
    out << "| " << label << " | " << MicrosecondsText(WallPerStatement(key)) << " | "
        << MicrosecondsText(PerStatement(key, &Median::Cpu)) << " | "
        << CountText(SendsPerStatement(key)) << " | " << CountText(SyscallsPerStatement(key))
        << " |\n";
  return out.str();
}

std::string Suite::SyscallTable() const {
  std::ostringstream out;
  out << "| reading " << GroupedText(someRows_)
      << " rows | system calls per row | most frequent |\n|---|---|---|\n";
  for (const auto& [label, key] : {std::pair{"orbelin, buffered", "orb-buf-some"},
                                   std::pair{"orbelin, row by row", "orb-rbr-some"},
                                   std::pair{"Connector/C, buffered", "cc-buf-some"},
                                   std::pair{"Connector/C, row by row", "cc-rbr-some"},
                                   std::pair{"raw socket floor", "floor-some"}}) {
    const auto found = syscalls_.find(key);
    std::string top;
    if (found != syscalls_.end()) {
      std::string name;
      std::int64_t most = -1;
      for (const auto& [call, count] : found->second.ByName)
        if (count > most) std::tie(name, most) = std::pair{call, count};
      top = name + " × " + std::to_string(most);
    }
    out << "| " << label << " | " << CountText(SyscallsPerRow(key)) << " | " << top << " |\n";
  }
  return out.str();
}

std::string Suite::TargetTable() const {
  const auto cpuRatio = [&](const char* ours, const char* theirs) {
    return M(ours).Cpu / M(theirs).Cpu;
  };
  const double peakRatio =
      static_cast<double>(M("orb-buf").PeakKb) / static_cast<double>(M("cc-buf").PeakKb);
  // Row-by-row memory: the 1,000,000-row read may use at most 1 MB more
  // than the 200,000-row read.
  const double growthMb =
      std::max(0.0, static_cast<double>(M("orb-rbr").PeakKb - M("orb-rbr-some").PeakKb) / 1024.0);
  const double ourCalls = SyscallsPerStatement("orb-stm");
  const double theirCalls = SyscallsPerStatement("cc-stm");
  const double ourSends = SendsPerStatement("orb-stm");
  std::vector<Target> targets = {
      {"buffered read: CPU ≤ 0.8× Connector/C", cpuRatio("orb-buf", "cc-buf"), 0.8, ""},
      {"buffered read: peak memory ≤ 0.8× Connector/C", peakRatio, 0.8, ""},
      {"row by row: CPU ≤ 1.0× Connector/C", cpuRatio("orb-rbr", "cc-rbr"), 1.0, ""},
      {"row by row: memory independent of the row count", growthMb, 1.0,
       MegabytesText(M("orb-rbr-some").PeakKb) + " for " + GroupedText(someRows_) + " rows, " +
           MegabytesText(M("orb-rbr").PeakKb) + " for " + GroupedText(allRows_)},
      {"compressed, buffered: CPU ≤ 1.0× Connector/C", cpuRatio("orb-buf-z", "cc-buf-z"), 1.0, ""},
      {"compressed, row by row: CPU ≤ 1.0× Connector/C", cpuRatio("orb-rbr-z", "cc-rbr-z"), 1.0,
       ""},
      {"`FetchAll` (AutoType off): the add-in's share of the fill under half",
       FetchAllAddinShare("host-fetchall"), 0.5, ""},
      {"`FetchAll` (AutoType on): the add-in's share of the fill under half",
       FetchAllAddinShare("host-fetchall-auto"), 0.5, ""},
      {"10,000 round trips: system calls per statement ≤ Connector/C",
       ourCalls < 0 || theirCalls <= 0 ? -1 : ourCalls / theirCalls, 1.0,
       CountText(ourCalls) + " against " + CountText(theirCalls)},
      {"10,000 round trips, default settings: writes per statement ≤ 1.1", ourSends, 1.1,
       CountText(ourSends) + " (Connector/C " + CountText(SendsPerStatement("cc-stm")) + ")"},
      {"10,000 round trips, default settings: wall time per statement ≤ 1.05× Connector/C",
       WallPerStatement("orb-stm") / WallPerStatement("cc-stm"), 1.05,
       RatioText(WallPerStatement("orb-stm") / WallPerStatement("cc-stm")) +
           " (the raw floor with a ping in the same write: " +
           RatioText(WallPerStatement("floor-stm-ping") / WallPerStatement("cc-stm")) +
           "; with the ping awaited: " +
           RatioText(WallPerStatement("orb-stm-pingwait") / WallPerStatement("cc-stm")) + ")"},
  };
  for (Target& target : NetworkTargets(medians_)) targets.push_back(std::move(target));
  std::ostringstream out;
  out << "| target | figure | |\n|---|---|---|\n";
  for (const Target& target : targets) {
    if (!std::isfinite(target.Value) || target.Value < 0) {
      out << "| " << target.What << " | not measured | |\n";
      continue;
    }
    const bool met = target.Value <= target.Limit;
    std::string figure = target.Figure;
    if (figure.empty())
      figure = target.Limit == 0.5
                   ? std::to_string(static_cast<int>(target.Value * 100 + 0.5)) + "%"
                   : RatioText(target.Value);
    out << "| " << target.What << " | " << figure << " | " << (met ? "met" : "**missed**")
        << " |\n";
  }
  return out.str();
}

std::string Suite::Report(const std::string& serverVersion, std::size_t plainBytes,
                          std::size_t compressedBytes) const {
  std::ostringstream out;
  out << "Written by `scripts/bench` (medians of " << options_.Runs
      << " runs; client CPU is user + system time of the client process, peak is its maximum "
         "resident set). The server's replies were recorded once and are served from memory "
         "by a replay server in the benchmark process, so the figures are the client's alone. "
         "The table has "
      << GroupedText(allRows_)
      << " rows (id INT, a INT, s VARCHAR(40) of 5–40 characters, d DECIMAL(12,2), "
      << "dt DATETIME, f DOUBLE): " << MegabytesText(static_cast<std::int64_t>(plainBytes / 1024))
      << " on the wire, " << MegabytesText(static_cast<std::int64_t>(compressedBytes / 1024))
      << " compressed.\n\n"
      << MachineText(serverVersion, startLoad_) << "\n\n"
      << "Reading every row and walking every value (orbelin's protocol client "
         "`TMysqlClient`; Connector/C with `mysql_store_result`/`mysql_use_result`):\n\n"
      << ReadingTable() << "\n"
      << "The raw socket floor only finds where packets end; a client that decodes rows and "
         "hands out their values cannot come near it, so it stays a reference line, and the "
         "former target of row by row within 1.5× of it is retired.\n\n"
      << "The add-in through the host emulator, by late-bound calls as a script makes them. "
         "The fill cost per cell is `FetchAll`'s CPU less the buffered `Query` alone; the "
         "add-in's share is what the fill costs beyond the host alone filling the same "
         "table:\n\n"
      << HostTable() << "\n"
      << StatementTable() << "\n"
      << "The raw socket floor shows what the server's answer to the ping costs on loopback "
         "whatever the client: one more command for the server to read and answer per "
         "statement. Across a network the round trip outweighs it:\n\n"
      << LatencyTable(medians_) << "\n"
      << "Reading every row over TLS (the replay server's TLS on OpenSSL "
      << OpenSSL_version(OPENSSL_VERSION_STRING)
      << ", the same library both clients use; `SslMode` Required, Connector/C with "
         "`MYSQL_OPT_SSL_ENFORCE`):\n\n"
      << TlsTable(medians_) << "\n"
      << "The 32-bit build (i686, the protocol client and Connector/C's i386 package):\n\n"
      << I686Table(plan_, medians_) << "\n";
  if (options_.CountSyscalls) out << SyscallTable() << "\n";
  out << "Targets:\n\n" << TargetTable();
  return out.str();
}

int Suite::Run() {
  startLoad_ = LoadAverage();
  std::cerr << "recording the replies of " << options_.Server.Host << ":" << options_.Server.Port
            << "\n";
  std::string serverVersion;
  const auto replies =
      RecordReplies(options_.Server, {kAllRows, kSomeRows, kOneRow}, serverVersion);
  const auto recordings = PrepareRecordings(replies);
  const ReplayServer server(recordings);
  const ReplayServer tlsServer(recordings, true);
  const DelayRelay delayed(server.Port(), kOneWayLatency);
  ports_ = {{Endpoint::Replay, server.Port()},
            {Endpoint::TlsReplay, tlsServer.Port()},
            {Endpoint::Delayed, delayed.Port()}};
  relay_ = &delayed;
  std::cerr << "replay server on 127.0.0.1:" << server.Port() << ", over TLS on "
            << tlsServer.Port() << ", behind a delaying relay on " << delayed.Port() << "\n";
  // The row count of the smaller read sizes the host's own fill.
  std::uint64_t someRows = 0;
  {
    PacketScanner scanner;
    ReplyTracker tracker;
    scanner.Feed(replies.at(kSomeRows), [&](std::span<const std::uint8_t> p) { tracker.Feed(p); });
    someRows = tracker.Rows();
  }
  if (!MeasureAll(someRows)) return 1;
  const bool same = CheckDigests();
  if (options_.CountSyscalls) CountAllSyscalls(someRows);
  const std::string report =
      Report(serverVersion, replies.at(kAllRows).size(), server.CompressedSize(kAllRows));
  std::cout << report;
  if (!options_.MarkdownPath.empty()) std::ofstream(options_.MarkdownPath) << report;
  return same ? 0 : 1;
}

}  // namespace

int RunSuite(const SuiteOptions& options) {
  return Suite(options).Run();
}

int ServeReplies(const ServerAddress& server) {
  std::string serverVersion;
  const auto replies = RecordReplies(server, {kAllRows, kSomeRows, kOneRow}, serverVersion);
  const auto recordings = PrepareRecordings(replies);
  const ReplayServer replay(recordings);
  const ReplayServer tls(recordings, true);
  const DelayRelay delayed(replay.Port(), kOneWayLatency);
  std::cout << "port " << replay.Port() << "\n"
            << "TLS port " << tls.Port() << "\n"
            << "delayed port " << delayed.Port() << "\n"
            << "statements:\n  " << kAllRows << "\n  " << kSomeRows << "\n  " << kOneRow
            << std::endl;
  std::cin.ignore(std::numeric_limits<std::streamsize>::max());
  return 0;
}

}  // namespace bench

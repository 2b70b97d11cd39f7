#include "bench/NetworkReport.h"

#include <cmath>
#include <cstdio>
#include <sstream>

namespace bench {

namespace {

const std::string kInsert = "INSERT INTO orbelin_test.bench_log (id, note) VALUES (1, 'one row')";
constexpr int kLatencyStatements = 1000;
constexpr int kLatencyConnects = 10;
constexpr double kTlsCpuLimit = 1.1;
constexpr double kTlsPeakLimit = 0.8;

struct ReadMode {
  const char* Label;
  const char* Suffix;  // of the job keys: orb-SUFFIX, cc-SUFFIX
  bool Buffered;
  bool Compress;
};
constexpr ReadMode kReadModes[] = {{"buffered", "buf", true, false},
                                   {"row by row", "rbr", false, false},
                                   {"buffered, compressed", "buf-z", true, true},
                                   {"row by row, compressed", "rbr-z", false, true}};

std::string MillisecondsText(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f ms", seconds * 1e3);
  return text;
}

double RoundTrip() {
  return 2 * std::chrono::duration<double>(kOneWayLatency).count();
}

// A connect and its first statement, in seconds.
double PerConnect(const Median& median) {
  return median.Timed / kLatencyConnects;
}

// The waits of one connect and its first statement.
double ConnectWaits(const Median& median) {
  return median.Waits < 0 ? -1 : median.Waits / kLatencyConnects;
}

// The waits per statement on one connection, less the greeting's and the
// login's.
double StatementWaits(const Median& median) {
  return median.Waits < 0 ? -1 : (median.Waits - 2) / kLatencyStatements;
}

double CpuRatio(const Medians& m, const std::string& ours, const std::string& theirs) {
  return m.at(ours).Cpu / m.at(theirs).Cpu;
}

double PeakRatio(const Medians& m, const std::string& ours, const std::string& theirs) {
  return static_cast<double>(m.at(ours).PeakKb) / static_cast<double>(m.at(theirs).PeakKb);
}

// The four reads, orbelin's and Connector/C's, for keys PREFIX-orb-SUFFIX
// and PREFIX-cc-SUFFIX.
std::string ReadTable(const Medians& m, const std::string& prefix) {
  std::ostringstream out;
  out << "| mode | orbelin CPU | Connector/C CPU | ratio | orbelin peak | Connector/C peak | ratio "
         "|\n|---|---|---|---|---|---|---|\n";
  for (const ReadMode& mode : kReadModes) {
    const std::string ours = prefix + "orb-" + mode.Suffix;
    const std::string theirs = prefix + "cc-" + mode.Suffix;
    out << "| " << mode.Label << " | " << CpuText(m.at(ours)) << " | " << CpuText(m.at(theirs))
        << " | " << RatioText(CpuRatio(m, ours, theirs)) << " | "
        << MegabytesText(m.at(ours).PeakKb) << " | " << MegabytesText(m.at(theirs).PeakKb) << " | "
        << RatioText(PeakRatio(m, ours, theirs)) << " |\n";
  }
  return out.str();
}

}  // namespace

void AddNetworkJobs(const NetworkPlan& plan, std::map<std::string, Job>& jobs) {
  jobs["lat-orb-ins"] = {"orbelin-statements", kInsert, false, kLatencyStatements,
                         Endpoint::Delayed};
  jobs["lat-orb-ins-pingwait"] = {"orbelin-statements-pingwait", kInsert, false, kLatencyStatements,
                                  Endpoint::Delayed};
  jobs["lat-cc-ins"] = {"cc-statements", kInsert, false, kLatencyStatements, Endpoint::Delayed};
  jobs["lat-orb-connect"] = {"orbelin-connect", kInsert, false, kLatencyConnects,
                             Endpoint::Delayed};
  jobs["lat-cc-connect"] = {"cc-connect", kInsert, false, kLatencyConnects, Endpoint::Delayed};
  for (const ReadMode& mode : kReadModes) {
    const std::string suffix = mode.Suffix;
    const char* orbelin = mode.Buffered ? "orbelin-buffered" : "orbelin-rowbyrow";
    const char* connector = mode.Buffered ? "cc-buffered" : "cc-rowbyrow";
    jobs["tls-orb-" + suffix] = {orbelin, plan.AllRows, mode.Compress, plan.ReadPasses,
                                 Endpoint::TlsReplay};
    jobs["tls-cc-" + suffix] = {connector, plan.AllRows, mode.Compress, plan.ReadPasses,
                                Endpoint::TlsReplay};
    if (!plan.I686) continue;
    jobs["i686-orb-" + suffix] = {orbelin,         plan.AllRows,     mode.Compress,
                                  plan.ReadPasses, Endpoint::Replay, true};
    jobs["i686-cc-" + suffix] = {connector,       plan.AllRows,     mode.Compress,
                                 plan.ReadPasses, Endpoint::Replay, true};
  }
}

std::vector<std::string> NetworkFullReads(const NetworkPlan& plan) {
  std::vector<std::string> keys;
  for (const char* prefix : {"tls-", "i686-"}) {
    if (std::string(prefix) == "i686-" && !plan.I686) continue;
    for (const ReadMode& mode : kReadModes)
      for (const char* client : {"orb-", "cc-"})
        keys.push_back(std::string(prefix) + client + mode.Suffix);
  }
  return keys;
}

std::vector<std::vector<std::string>> NetworkSameWork() {
  return {{"lat-orb-ins", "lat-orb-ins-pingwait", "lat-cc-ins"},
          {"lat-orb-connect", "lat-cc-connect"}};
}

std::string LatencyTable(const Medians& m) {
  std::ostringstream out;
  const double roundTrip = RoundTrip();
  out << "| across a network, " << MillisecondsText(roundTrip / 2)
      << " each way (the replay server behind a relay that delays every byte) | orbelin | "
         "Connector/C | ratio |\n|---|---|---|---|\n";
  const Median& ours = m.at("lat-orb-ins");
  const Median& theirs = m.at("lat-cc-ins");
  out << "| " << GroupedText(kLatencyStatements)
      << " single-row `INSERT`s on one connection (total) | " << SecondsText(ours.Timed) << " | "
      << SecondsText(theirs.Timed) << " | " << RatioText(ours.Timed / theirs.Timed) << " |\n";
  out << "| … waits for the server per statement | " << CountText(StatementWaits(ours)) << " | "
      << CountText(StatementWaits(theirs)) << " | |\n";
  const Median& awaited = m.at("lat-orb-ins-pingwait");
  out << "| the same, orbelin awaiting the ping's answer before each statement (as before) | "
      << SecondsText(awaited.Timed) << " | " << SecondsText(theirs.Timed) << " | "
      << RatioText(awaited.Timed / theirs.Timed) << " |\n";
  out << "| … waits for the server per statement | " << CountText(StatementWaits(awaited))
      << " | | |\n";
  const Median& ourConnect = m.at("lat-orb-connect");
  const Median& theirConnect = m.at("lat-cc-connect");
  out << "| connect and the first `INSERT` (mean of " << kLatencyConnects << ") | "
      << MillisecondsText(PerConnect(ourConnect)) << " | "
      << MillisecondsText(PerConnect(theirConnect)) << " | "
      << RatioText(PerConnect(ourConnect) / PerConnect(theirConnect)) << " |\n";
  out << "| … waits for the server (greeting, login, statement: " << MillisecondsText(roundTrip / 2)
      << " + " << MillisecondsText(roundTrip) << " each after) | "
      << CountText(ConnectWaits(ourConnect)) << " | " << CountText(ConnectWaits(theirConnect))
      << " | |\n";
  return out.str();
}

std::string TlsTable(const Medians& m) {
  return ReadTable(m, "tls-");
}

std::string I686Table(const NetworkPlan& plan, const Medians& m) {
  if (!plan.I686) return plan.I686Note + "\n";
  std::ostringstream out;
  out << plan.I686Note << "\n\n" << ReadTable(m, "i686-");
  out << "\nThe same reads in the 64-bit build: ";
  for (const ReadMode& mode : kReadModes) {
    const std::string suffix = mode.Suffix;
    out << mode.Label << " " << RatioText(CpuRatio(m, "orb-" + suffix, "cc-" + suffix)) << " CPU"
        << (suffix == "rbr-z" ? ".\n" : "; ");
  }
  return out.str();
}

std::vector<Target> NetworkTargets(const Medians& m) {
  const double ourWaits = ConnectWaits(m.at("lat-orb-connect"));
  const double theirWaits = ConnectWaits(m.at("lat-cc-connect"));
  std::vector<Target> targets = {
      {"network latency: " + GroupedText(kLatencyStatements) +
           " `INSERT`s, total time ≤ 1.05× Connector/C",
       m.at("lat-orb-ins").Timed / m.at("lat-cc-ins").Timed, 1.05, ""},
      {"network latency: connect + first statement, total time ≤ 1.05× Connector/C",
       PerConnect(m.at("lat-orb-connect")) / PerConnect(m.at("lat-cc-connect")), 1.05, ""},
      {"network latency: round trips of the connect ≤ Connector/C",
       ourWaits < 0 || theirWaits < 0 ? -1
       : ourWaits <= theirWaits       ? 0.0
                                      : 1.0,
       0, CountText(ourWaits) + " waits for the server against " + CountText(theirWaits)},
  };
  for (const ReadMode& mode : kReadModes) {
    const std::string suffix = mode.Suffix;
    targets.push_back({std::string("TLS, ") + mode.Label + ": CPU ≤ 1.1× Connector/C",
                       CpuRatio(m, "tls-orb-" + suffix, "tls-cc-" + suffix), kTlsCpuLimit, ""});
    if (mode.Buffered)
      targets.push_back({std::string("TLS, ") + mode.Label + ": peak memory ≤ 0.8× Connector/C",
                         PeakRatio(m, "tls-orb-" + suffix, "tls-cc-" + suffix), kTlsPeakLimit, ""});
  }
  return targets;
}

}  // namespace bench

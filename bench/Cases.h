#pragma once
// The measured cases. Each runs in a child process (see ChildRun.h) against
// the replay server and prints one digest line, so the parent can check that
// every client read the same rows and values.

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace bench {

struct CaseArgs {
  std::uint16_t Port = 0;
  std::string Statement;
  bool Compress = false;
  bool Tls = false;       // TLS required (the server must offer it)
  int Repeat = 1;         // statements sent by the small-statement cases
  std::string AddinPath;  // orbelin.so, for the cases that go through the host
};

// What a case read: rows, non-NULL values and their total length in bytes.
struct Digest {
  std::uint64_t Rows = 0;
  std::uint64_t Values = 0;
  std::uint64_t Bytes = 0;

  void Add(std::size_t length) {
    ++Values;
    Bytes += length;
  }
  [[nodiscard]] std::string Line() const;
};

// Runs a case and answers its digest; throws std::runtime_error on failure.
using CaseFunction = Digest (*)(const CaseArgs&);

struct CaseEntry {
  std::string_view Name;
  CaseFunction Run;
};

const std::vector<CaseEntry>& AllCases();

// The user name the cases log in with (the replay server accepts any).
inline constexpr const char* kBenchUser = "bench";

// Called by a case that times a part of its work itself (a connect and the
// first statement, without the process around them): prints the seconds for
// RunChild to read.
void ReportTimed(double seconds);

// How long `work` took, in seconds.
template <typename Work>
double SecondsOf(Work work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// orbelin's protocol client alone: buffered or row by row, every value
// walked; the statement repeated on one connection.
Digest OrbelinBuffered(const CaseArgs& args);
Digest OrbelinRowByRow(const CaseArgs& args);
Digest OrbelinStatements(const CaseArgs& args);
Digest OrbelinStatementsNoPing(const CaseArgs& args);
// Each statement after a ping whose answer it awaits: two round trips.
Digest OrbelinStatementsPingAwaited(const CaseArgs& args);
// Connects, runs the statement and closes, --repeat times; times the connect
// and the statement's answer.
Digest OrbelinConnect(const CaseArgs& args);

// MariaDB Connector/C doing the same.
Digest ConnectorBuffered(const CaseArgs& args);
Digest ConnectorRowByRow(const CaseArgs& args);
Digest ConnectorStatements(const CaseArgs& args);
Digest ConnectorConnect(const CaseArgs& args);

// Reads the reply in large pieces and only finds where the packets end.
Digest RawFloor(const CaseArgs& args);
// One-row statements on one connection, alone or each with a ping in the
// same write; only the packets' ends are found.
Digest RawFloorStatements(const CaseArgs& args);
Digest RawFloorStatementsPing(const CaseArgs& args);

// The add-in through the host emulator, by late-bound calls as a script
// makes them.
Digest HostQueryRowsCount(const CaseArgs& args);
Digest HostQueryLast(const CaseArgs& args);
Digest HostFetchValueLoop(const CaseArgs& args);
Digest HostFetchAll(const CaseArgs& args);
Digest HostFetchAllAutoType(const CaseArgs& args);
// The host's own part of a table fill: the same lines and cells written
// into a value table by a caller that has its values ready.
Digest HostFillBaseline(const CaseArgs& args);

}  // namespace bench

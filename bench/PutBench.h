#pragma once
// orbelin-bench put: PutAll (ЗаписатьВсе) against the loop of one INSERT per
// row that a script runs without it, on a real server, reached directly or
// through a relay that holds every piece of data back for a one-way latency.

#include <cstdint>
#include <string>

namespace bench {

struct PutOptions {
  std::string Host = "127.0.0.1";
  std::uint16_t Port = 0;
  std::string User;
  std::string Password;
  std::string Database = "orbelin_test";
  int Rows = 100000;
  // Rows the INSERT loop writes; its time for all Rows is scaled from them.
  int LoopRows = 100000;
  int LatencyMs = 0;  // one way; 0: straight to the server
  // The server told to refuse local files (SET GLOBAL local_infile = 0,
  // given back afterwards), so PutAll goes by INSERT statements.
  bool RefuseLocalFiles = false;
  // The INSERT loop inside one transaction, so the server commits once
  // rather than after every row.
  bool LoopInTransaction = false;
  std::string AddinPath;
};

// Prints the figures as one Markdown table row; throws on failure.
void RunPutBench(const PutOptions& options);

}  // namespace bench

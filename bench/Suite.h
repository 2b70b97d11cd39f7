#pragma once
// One benchmark run: records the real server's replies, serves them from
// memory, measures every case in child processes (medians of several runs),
// and prints the figures and the targets as Markdown.

#include <string>

#include "bench/Recorder.h"

namespace bench {

struct SuiteOptions {
  ServerAddress Server;
  int Runs = 3;
  std::string Self;           // this program, started again for each case
  std::string AddinPath;      // orbelin.so
  std::string MarkdownPath;   // where the Markdown section goes (optional)
  bool CountSyscalls = true;  // needs strace
  std::string I686Self;       // the 32-bit build of this program; empty: none runs here
  std::string I686Note;       // what the report says of the 32-bit build
};

// 0 when every case ran and read what the others read.
int RunSuite(const SuiteOptions& options);

// Records the replies like RunSuite and serves them until standard input
// ends, for running a case by hand (under a profiler, say). Prints the ports
// (plain, TLS, behind the delaying relay) and the statements served.
int ServeReplies(const ServerAddress& server);

}  // namespace bench

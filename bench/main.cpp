// orbelin-bench: measures orbelin against MariaDB Connector/C on the same
// recorded replies (see README.md in this folder).
//
//   orbelin-bench run --server-port PORT --user NAME [--host ADDRESS] [--runs N]
//                     [--addin PATH] [--markdown FILE] [--no-strace]
//                     [--i686 PATH] [--i686-note TEXT]
//   orbelin-bench case NAME --port PORT [--statement TEXT] [--compress] [--tls]
//                     [--repeat N] [--addin PATH]
//   orbelin-bench serve --server-port PORT --user NAME [--host ADDRESS]
//   orbelin-bench put --server-port PORT --user NAME [--password TEXT]
//                     [--latency MS] [--rows N] [--loop-rows N] [--no-local-files]
//                     [--loop-in-transaction]
//
// `run` records the replies of the real server at --server-port, serves them
// from memory and measures every case (the read cases also with the 32-bit
// build of this program at --i686; --i686-note is what the report says of
// that build); `case` is one measured case, started
// by `run` in a child process of its own; `serve` only records and serves
// (until standard input ends), to run a case by hand, under a profiler say.
// `put` writes a table with PutAll and with a loop of INSERTs into the real
// server at --server-port (see PutBench.h).
#include <unistd.h>

#include <climits>
#include <iostream>
#include <stdexcept>
#include <string>

#include "bench/Cases.h"
#include "bench/ChildRun.h"
#include "bench/PutBench.h"
#include "bench/Suite.h"

namespace {

std::string SelfPath() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : "orbelin-bench";
}

std::string DefaultAddin(const std::string& self) {
  return self.substr(0, self.find_last_of('/') + 1) + "orbelin.so";
}

int Usage(const std::string& why) {
  std::cerr << "orbelin-bench: " << why << "\nusage:\n"
            << "  orbelin-bench run --server-port PORT --user NAME [--host ADDRESS] [--runs N]\n"
            << "                    [--addin PATH] [--markdown FILE] [--no-strace]\n"
            << "                    [--i686 PATH] [--i686-note TEXT]\n"
            << "  orbelin-bench case NAME --port PORT [--statement TEXT] [--compress] [--tls]\n"
            << "                    [--repeat N] [--addin PATH]\n"
            << "  orbelin-bench serve --server-port PORT --user NAME [--host ADDRESS]\n"
            << "  orbelin-bench put --server-port PORT --user NAME [--password TEXT]\n"
            << "                    [--latency MS] [--rows N] [--loop-rows N] [--no-local-files]\n"
            << "                    [--loop-in-transaction]\n";
  return 2;
}

int RunCase(int argc, char** argv, const std::string& self) {
  bench::CaseArgs args;
  args.AddinPath = DefaultAddin(self);
  const std::string name = argv[2];
  for (int i = 3; i < argc; ++i) {
    const std::string option = argv[i];
    const bool hasValue = i + 1 < argc;
    if (option == "--port" && hasValue)
      args.Port = static_cast<std::uint16_t>(std::stoi(argv[++i]));
    else if (option == "--statement" && hasValue)
      args.Statement = argv[++i];
    else if (option == "--repeat" && hasValue)
      args.Repeat = std::stoi(argv[++i]);
    else if (option == "--addin" && hasValue)
      args.AddinPath = argv[++i];
    else if (option == "--compress")
      args.Compress = true;
    else if (option == "--tls")
      args.Tls = true;
    else
      return Usage("unexpected argument " + option);
  }
  for (const bench::CaseEntry& entry : bench::AllCases())
    if (entry.Name == name) {
      std::cout << entry.Run(args).Line() << std::endl;
      bench::ReportOwnPeak();
      return 0;
    }
  return Usage("no case " + name);
}

int RunAll(int argc, char** argv, const std::string& self, bool serveOnly) {
  bench::SuiteOptions options;
  options.Self = self;
  options.AddinPath = DefaultAddin(self);
  for (int i = 2; i < argc; ++i) {
    const std::string option = argv[i];
    const bool hasValue = i + 1 < argc;
    if (option == "--server-port" && hasValue)
      options.Server.Port = static_cast<std::uint16_t>(std::stoi(argv[++i]));
    else if (option == "--host" && hasValue)
      options.Server.Host = argv[++i];
    else if (option == "--user" && hasValue)
      options.Server.User = argv[++i];
    else if (option == "--runs" && hasValue)
      options.Runs = std::stoi(argv[++i]);
    else if (option == "--addin" && hasValue)
      options.AddinPath = argv[++i];
    else if (option == "--markdown" && hasValue)
      options.MarkdownPath = argv[++i];
    else if (option == "--no-strace")
      options.CountSyscalls = false;
    else if (option == "--i686" && hasValue)
      options.I686Self = argv[++i];
    else if (option == "--i686-note" && hasValue)
      options.I686Note = argv[++i];
    else
      return Usage("unexpected argument " + option);
  }
  if (options.Server.Port == 0 || options.Server.User.empty())
    return Usage("--server-port and --user are needed");
  return serveOnly ? bench::ServeReplies(options.Server) : bench::RunSuite(options);
}

int RunPut(int argc, char** argv, const std::string& self) {
  bench::PutOptions options;
  options.AddinPath = DefaultAddin(self);
  for (int i = 2; i < argc; ++i) {
    const std::string option = argv[i];
    const bool hasValue = i + 1 < argc;
    if (option == "--server-port" && hasValue)
      options.Port = static_cast<std::uint16_t>(std::stoi(argv[++i]));
    else if (option == "--user" && hasValue)
      options.User = argv[++i];
    else if (option == "--password" && hasValue)
      options.Password = argv[++i];
    else if (option == "--latency" && hasValue)
      options.LatencyMs = std::stoi(argv[++i]);
    else if (option == "--rows" && hasValue)
      options.Rows = std::stoi(argv[++i]);
    else if (option == "--loop-rows" && hasValue)
      options.LoopRows = std::stoi(argv[++i]);
    else if (option == "--no-local-files")
      options.RefuseLocalFiles = true;
    else if (option == "--loop-in-transaction")
      options.LoopInTransaction = true;
    else
      return Usage("unexpected argument " + option);
  }
  if (options.Port == 0 || options.User.empty() || options.Rows < 1 || options.LoopRows < 1)
    return Usage("--server-port and --user are needed");
  bench::RunPutBench(options);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string self = SelfPath();
  try {
    if (argc >= 3 && std::string(argv[1]) == "case") return RunCase(argc, argv, self);
    if (argc >= 2 && std::string(argv[1]) == "run") return RunAll(argc, argv, self, false);
    if (argc >= 2 && std::string(argv[1]) == "serve") return RunAll(argc, argv, self, true);
    if (argc >= 2 && std::string(argv[1]) == "put") return RunPut(argc, argv, self);
  } catch (const std::exception& error) {
    std::cerr << "orbelin-bench: " << error.what() << "\n";
    return 1;
  }
  return Usage("say run, case, serve or put");
}

// orbelin-soak --host H --port P --user U --password W [--addin PATH]
//
// Runs the connection object for a long while inside one process, as a 1C
// session would, and samples the process's memory and open descriptors
// between the phases: 1,000 connect/query/fill/close cycles, then 10,000
// statements on one connection. Prints the figures; exit code 1 when a phase
// leaves descriptors open or memory grows past a small allowance.
#include <dirent.h>
#include <malloc.h>

#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "host/Host.h"
#include "host/ScriptParser.h"
#include "host/ScriptRunner.h"
#include "platform/os/DynamicLibrary.h"

namespace {

// Heap a phase may keep for good (the host's objects of the last round).
constexpr long kAllowedGrowthKb = 64;

struct TSample {
  long RssKb = 0;
  long HeapKb = 0;  // allocated and not freed
  int Descriptors = 0;
};

TSample Sample() {
  TSample sample;
  sample.HeapKb = static_cast<long>(mallinfo2().uordblks / 1024);
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.starts_with("VmRSS:")) sample.RssKb = std::stol(line.substr(6));
  if (DIR* fds = opendir("/proc/self/fd")) {
    while (readdir(fds) != nullptr) ++sample.Descriptors;
    closedir(fds);
    sample.Descriptors -= 3;  // ".", ".." and the directory itself
  }
  return sample;
}

std::string Repeat(int times, const std::string& lines) {
  std::string text;
  for (int i = 0; i < times; ++i) text += lines;
  return text;
}

std::string Argument(int argc, char** argv, const std::string& name, const std::string& fallback) {
  for (int i = 1; i + 1 < argc; ++i)
    if (argv[i] == name) return argv[i + 1];
  return fallback;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string self = platform::ExecutablePath();
  const std::string addin =
      Argument(argc, argv, "--addin", self.substr(0, self.find_last_of('/')) + "/orbelin.so");
  const std::string setup =
      "c = CreateObject(\"AddIn.Dalvora\")\n"
      "c.Host = \"" +
      Argument(argc, argv, "--host", "127.0.0.1") +
      "\"\n"
      "c.Port = " +
      Argument(argc, argv, "--port", "3306") +
      "\n"
      "c.User = \"" +
      Argument(argc, argv, "--user", "") +
      "\"\n"
      "c.Password = \"" +
      Argument(argc, argv, "--password", "") + "\"\n";
  const std::string cycle =
      "c.Connect()\n"
      "c.Query(\"select seq, concat('row ', seq) from seq_1_to_100\", , 1)\n"
      "t = c.FetchAll()\n"
      "c.Close()\n";
  const std::string statements =
      "c.Execute(\"set @n = 1\")\n"
      "c.Query(\"select @n, 'text', 1.5\", , 1)\n"
      "v = c.FetchValue(1)\n"
      "c.Query(\"select seq from seq_1_to_10\", , 0)\n"
      "c.Last()\n";

  std::ostringstream ignored;
  const host::TOutput output = [&ignored](const std::string& line) { ignored << line << '\n'; };
  bool steady = true;
  try {
    host::THost session(host::TDialect::Expression, false, output);
    session.LoadAddin(addin);
    host::TScriptRunner runner(session, output);
    runner.Run(host::ParseScript(setup + Repeat(10, cycle)));  // warm-up

    const auto phase = [&](const char* name, int times, const std::string& lines) {
      // Parsed first, so the script itself counts in both samples.
      const std::vector<host::TStatement> script = host::ParseScript(Repeat(times, lines));
      const TSample before = Sample();
      runner.Run(script);
      const TSample after = Sample();
      std::cout << name << ": heap in use " << before.HeapKb << " -> " << after.HeapKb
                << " KB, resident " << before.RssKb << " -> " << after.RssKb
                << " KB, open descriptors " << before.Descriptors << " -> " << after.Descriptors
                << "\n";
      if (after.Descriptors > before.Descriptors || after.HeapKb - before.HeapKb > kAllowedGrowthKb)
        steady = false;
    };
    phase("1000 connect/query/fill/close cycles", 1000, cycle);
    runner.Run(host::ParseScript("c.Connect()\n"));
    // Five statements a round: 2,000 rounds are 10,000 statements.
    phase("10000 statements on one connection", 2000, statements);
    runner.Run(host::ParseScript("c.Close()\n"));
  } catch (const std::exception& error) {
    std::cerr << "error: " << error.what() << "\n" << ignored.str();
    return 2;
  }
  std::cout << (steady ? "steady: no descriptor left open, no heap growth\n"
                       : "NOT STEADY: see the figures above\n");
  return steady ? 0 : 1;
}

// Script-level tests: every script under scripts/ runs through orbelin-host
// and the real add-in library against the MariaDB fixture, in both host
// dialects, plain and compressed, and over the local endpoint where its
// header allows. Its output must match scripts/NAME.out (or NAME.MODE.out)
// exactly; a ${ANY} there matches any text within a line, and a line
// ${ANY LINES} any number of lines. A script whose header names versions of
// the scripted MySQL server ("# server: mysql-8.4.3 mysql-9.1.0") runs
// against that server instead, once per version, which must have found
// nothing wrong in what the add-in sent; "# server: private" runs it against
// a server of its own, started with the options of "# server-options:".
//
// The Windows build runs the same suite under Wine (scripts/wine-test), with
// the host command in ORBELIN_TEST_HOST, a relay program serving the local
// pipe in ORBELIN_TEST_PIPE_RELAY, and ORBELIN_TEST_OUTPUT_VARIANT=windows:
// where Windows answers differently (system error numbers in messages; the
// relay reaches the server over TCP, so the server sees 127.0.0.1 rather
// than localhost), a NAME.windows.MODE.out or NAME.windows.out comes first.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "connection/HostRun.h"
#include "support/FakeMysqlServer.h"
#include "support/MariaDbFixture.h"
#include "support/PipeRelay.h"

namespace connection {
namespace {

namespace fs = std::filesystem;

struct ScriptRun {
  std::string Script;   // file name without .txt
  std::string Dialect;  // expression | object
  std::string Mode;     // plain | compressed | pipe
  bool PrivateServer = false;
  std::string ServerOptions;  // mariadbd options of the private server
  std::string MysqlVersion;   // the scripted MySQL server's, instead of MariaDB

  std::string Name() const {
    std::string name = Script + "_" + Dialect + "_" + Mode;
    if (MysqlVersion.empty()) return name;
    name += "_mysql";
    for (const char c : MysqlVersion)
      if (c != '.') name += c;
    return name;
  }
};

void PrintTo(const ScriptRun& run, std::ostream* out) {
  *out << run.Name();
}

std::vector<std::string> HeaderWords(const std::string& script, const std::string& key) {
  std::istringstream lines(script);
  std::string line;
  const std::string prefix = "# " + key + ":";
  while (std::getline(lines, line)) {
    if (!line.starts_with(prefix)) continue;
    std::istringstream words(line.substr(prefix.size()));
    std::vector<std::string> result;
    for (std::string word; words >> word;) result.push_back(word);
    return result;
  }
  return {};
}

// Every script, in every dialect, in the modes its "# runs:" header names
// (all three when it names none).
std::vector<ScriptRun> AllRuns() {
  std::vector<fs::path> scripts;
  for (const auto& entry : fs::directory_iterator(ORBELIN_SCRIPT_DIR)) {
    if (entry.path().extension() == ".txt") scripts.push_back(entry.path());
  }
  std::sort(scripts.begin(), scripts.end());
  std::vector<ScriptRun> runs;
  for (const fs::path& path : scripts) {
    const std::string text = ReadFile(path);
    std::vector<std::string> modes = HeaderWords(text, "runs");
    if (modes.empty()) modes = {"plain", "compressed", "pipe"};
    const std::vector<std::string> servers = HeaderWords(text, "server");
    const bool privateServer = servers == std::vector<std::string>{"private"};
    std::string options;
    for (const std::string& option : HeaderWords(text, "server-options")) options += option + " ";
    std::vector<std::string> mysqlVersions;
    for (const std::string& word : servers)
      if (word.starts_with("mysql-")) mysqlVersions.push_back(word.substr(6));
    if (mysqlVersions.empty()) mysqlVersions.push_back("");
    for (const char* dialect : {"expression", "object"}) {
      for (const std::string& mode : modes) {
        for (const std::string& version : mysqlVersions)
          runs.push_back({path.stem().string(), dialect, mode, privateServer, options, version});
      }
    }
  }
  return runs;
}

std::map<std::string, std::string> Variables(const ScriptRun& run, const MariaDbServer& server) {
  const bool compressed = run.Mode == "compressed";
  const bool expressions = run.Dialect == "expression";
  std::map<std::string, std::string> variables{
      {"HOST", server.Host},
      {"PORT", std::to_string(server.Port)},
      {"DB", server.Database},
      {"USER", server.Native.User},
      {"PASSWORD", server.Native.Password},
      {"OLD_USER", server.Old.User},
      {"OLD_PASSWORD", server.Old.Password},
      {"NOPASS_USER", server.NoPass.User},
      {"SSL_USER", server.Ssl.User},
      {"SSL_PASSWORD", server.Ssl.Password},
      {"X509_USER", server.X509.User},
      {"X509_PASSWORD", server.X509.Password},
      {"CERTS", server.Certs},
      {"COMPRESS", compressed ? "1" : "0"},
      {"NOT_COMPRESS", compressed ? "0" : "1"},
      {"PIPE", run.Mode == "pipe" ? "1" : "0"},
      {"RUN", run.Name()},
      {"MYSQL_VERSION", run.MysqlVersion},
      {"LIST_ADD", run.Dialect == "expression" ? "AddValue" : "Add"},
      {"TABLE_ADD_COLUMN", run.Dialect == "expression" ? "NewColumn" : "Columns.Add"},
      {"TABLE_COLUMN_COUNT", run.Dialect == "expression" ? "ColumnCount()" : "Columns.Count()"},
      {"TABLE_FIRST_CELL", run.Dialect == "expression" ? "GetValue(1, 1)" : "Get(0).Get(0)"},
      // A table t built line by line: ${TABLE_NEW_LINE} adds a line,
      // ${TABLE_CELL_n}value) sets its column n (counted from 1).
      {"TABLE_NEW_LINE", expressions ? "t.NewLine()" : "r = t.Add()"},
  };
  for (int column = 1; column <= 9; ++column) {
    variables["TABLE_CELL_" + std::to_string(column)] =
        expressions ? "t.SetValue(t.LineCount(), " + std::to_string(column) + ", "
                    : "r.Set(" + std::to_string(column - 1) + ", ";
  }
  return variables;
}

// An expected line with ${ANY} places, as a pattern over the whole line.
bool LineMatches(const std::string& expected, const std::string& actual) {
  const std::string any = "${ANY}";
  if (expected.find(any) == std::string::npos) return expected == actual;
  std::string pattern;
  std::size_t from = 0;
  for (std::size_t at = expected.find(any); at != std::string::npos;
       at = expected.find(any, from)) {
    for (char c : expected.substr(from, at - from)) {
      if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos) pattern += '\\';
      pattern += c;
    }
    pattern += ".*";
    from = at + any.size();
  }
  for (char c : expected.substr(from)) {
    if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos) pattern += '\\';
    pattern += c;
  }
  return std::regex_match(actual, std::regex(pattern));
}

// Where the actual output first differs from the expected lines, or nothing
// when it matches. An expected line "${ANY LINES}" matches any number of
// lines (none included) up to the expected line after it.
std::optional<std::size_t> FirstDifference(const std::vector<std::string>& expected,
                                           const std::vector<std::string>& actual) {
  const std::string anyLines = "${ANY LINES}";
  std::size_t e = 0;
  std::size_t a = 0;
  while (e < expected.size()) {
    if (expected[e] == anyLines) {
      ++e;
      while (a < actual.size() && (e == expected.size() || !LineMatches(expected[e], actual[a])))
        ++a;
      continue;
    }
    if (a >= actual.size() || !LineMatches(expected[e], actual[a])) return a;
    ++e;
    ++a;
  }
  if (a < actual.size()) return a;
  return std::nullopt;
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// The first expected output that exists: the platform variant's before the
// common one, the mode's before the script's.
fs::path ExpectedOutput(const ScriptRun& run) {
  const std::string variant = Environment("ORBELIN_TEST_OUTPUT_VARIANT");
  std::vector<std::string> names;
  if (!variant.empty()) {
    names.push_back(run.Script + "." + variant + "." + run.Mode + ".out");
    names.push_back(run.Script + "." + variant + ".out");
  }
  names.push_back(run.Script + "." + run.Mode + ".out");
  names.push_back(run.Script + ".out");
  for (const std::string& name : names) {
    const fs::path path = fs::path(ORBELIN_SCRIPT_DIR) / name;
    if (fs::exists(path)) return path;
  }
  return fs::path(ORBELIN_SCRIPT_DIR) / names.back();
}

// Runs the host with the local pipe leading to the server: a link to the
// server's socket, or the relay program under Wine.
ProcessOutput RunHostOverPipe(const ScriptRun& run, const fs::path& script,
                              const MariaDbServer& server) {
  const std::string relay = Environment("ORBELIN_TEST_PIPE_RELAY");
  if (!relay.empty()) {
    PipeRelay pipe(relay, server.Port);
    EXPECT_TRUE(pipe.Ok()) << relay;
    return RunHost(run.Dialect, script);
  }
  LocalPipeLink link(server.Socket);
  EXPECT_TRUE(link.Ok());
  return RunHost(run.Dialect, script);
}

class ScriptRunTest : public testing::TestWithParam<ScriptRun> {};

TEST_P(ScriptRunTest, OutputMatches) {
  const ScriptRun& run = GetParam();
  std::unique_ptr<PrivateMariaDb> privateServer;
  std::unique_ptr<FakeMysqlServer> mysql;
  std::optional<MariaDbServer> server;
  if (!run.MysqlVersion.empty()) {
    // As MySQL 8.4 and 9.x do out of the box, it offers TLS (with a
    // certificate of its own), which the add-in prefers by default.
    mysql = std::make_unique<FakeMysqlServer>(run.MysqlVersion, "--tls");
    ASSERT_TRUE(mysql->Ok()) << "the scripted MySQL server did not start";
    server.emplace();
    server->Host = "127.0.0.1";
    server->Port = mysql->Port();
    server->Socket = mysql->Socket();
  } else if (run.PrivateServer) {
    privateServer = std::make_unique<PrivateMariaDb>("conn-" + run.Name(), run.ServerOptions);
    server = privateServer->Server();
  } else {
    server = SharedMariaDb();
  }
  ASSERT_TRUE(server) << "no MariaDB server";

  const auto variables = Variables(run, *server);
  const fs::path source = fs::path(ORBELIN_SCRIPT_DIR) / (run.Script + ".txt");
  const fs::path expectedPath = ExpectedOutput(run);
  const fs::path script = fs::path(ORBELIN_SCRIPT_RUN_DIR) / (run.Name() + ".txt");
  fs::create_directories(script.parent_path());
  std::ofstream(script, std::ios::binary) << Substitute(ReadFile(source), variables);

  const ProcessOutput output =
      run.Mode == "pipe" ? RunHostOverPipe(run, script, *server) : RunHost(run.Dialect, script);
  EXPECT_EQ(output.ExitCode, 0);
  if (mysql) {
    for (const std::string& violation : mysql->Violations())
      ADD_FAILURE() << "the scripted MySQL server noted: " << violation;
  }

  const auto expected = Lines(Substitute(ReadFile(expectedPath), variables));
  const auto actual = Lines(output.Text);
  if (const auto difference = FirstDifference(expected, actual)) {
    std::ofstream(fs::path(ORBELIN_SCRIPT_RUN_DIR) / (run.Name() + ".actual"), std::ios::binary)
        << output.Text;
    const std::string line = *difference < actual.size() ? actual[*difference] : "<none>";
    FAIL() << run.Script << ": output line " << *difference + 1 << " is not expected there:\n  "
           << line << "\nwhole output:\n"
           << output.Text;
  }
}

INSTANTIATE_TEST_SUITE_P(Scripts, ScriptRunTest, testing::ValuesIn(AllRuns()),
                         [](const testing::TestParamInfo<ScriptRun>& test) {
                           return test.param.Name();
                         });

}  // namespace
}  // namespace connection

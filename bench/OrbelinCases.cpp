// orbelin's protocol client (TMysqlClient) alone, linked into the benchmark.
#include <memory>
#include <stdexcept>

#include "bench/Cases.h"
#include "mysql/uMysqlClient.h"

using namespace mysql;

namespace bench {

namespace {

std::unique_ptr<TMysqlClient> Connect(const CaseArgs& args, bool reconnect = true) {
  auto client = std::make_unique<TMysqlClient>();
  client->SetCompress(args.Compress);
  client->SetShouldReconnect(reconnect);
  if (args.Tls) client->SetSslMode(TSslMode::Required);
  if (!client->ConnectTo("127.0.0.1", kBenchUser, "", "", args.Port, "", false,
                         client->ClientFlag()))
    throw std::runtime_error("orbelin: connect failed: " + client->LastError());
  return client;
}

// Visits every row once, the way a script's EOF/Next loop does.
void WalkRows(TMysqlResult& result, Digest& digest) {
  const int fields = result.FieldCount();
  while (!result.Eof()) {
    ++digest.Rows;
    for (int i = 0; i < fields; ++i)
      if (const auto value = result.Value(i)) digest.Add(value->size());
    result.Next();
  }
}

// Reads the result --repeat times, each time on a new connection.
Digest Read(const CaseArgs& args, bool buffered) {
  Digest digest;
  for (int pass = 0; pass < args.Repeat; ++pass) {
    const auto client = Connect(args);
    TQueryResult outcome = client->Query(args.Statement, buffered);
    if (!outcome.Ok || !outcome.Result)
      throw std::runtime_error("orbelin: query failed: " + client->LastError());
    WalkRows(*outcome.Result, digest);
  }
  return digest;
}

// Runs the statement buffered and walks its rows, if it has any.
void RunStatement(TMysqlClient& client, const std::string& statement, Digest& digest) {
  TQueryResult outcome = client.Query(statement, true);
  if (!outcome.Ok) throw std::runtime_error("orbelin: query failed: " + client.LastError());
  if (outcome.Result) WalkRows(*outcome.Result, digest);
}

enum class PingBefore { Alongside, None, Awaited };

// The statement --repeat times on one connection. Awaited: ShouldReconnect
// off and an explicit Ping before each statement, whose answer comes before
// the statement goes (what ShouldReconnect always did before the ping went
// in the statement's write, and still does after 5 seconds without an
// answer).
Digest Statements(const CaseArgs& args, PingBefore ping) {
  const auto client = Connect(args, ping == PingBefore::Alongside);
  Digest digest;
  ReportTimed(SecondsOf([&] {
    for (int i = 0; i < args.Repeat; ++i) {
      if (ping == PingBefore::Awaited && !client->Ping())
        throw std::runtime_error("orbelin: ping failed: " + client->LastError());
      RunStatement(*client, args.Statement, digest);
    }
  }));
  return digest;
}

}  // namespace

Digest OrbelinBuffered(const CaseArgs& args) {
  return Read(args, true);
}

Digest OrbelinRowByRow(const CaseArgs& args) {
  return Read(args, false);
}

Digest OrbelinStatements(const CaseArgs& args) {
  return Statements(args, PingBefore::Alongside);
}

Digest OrbelinStatementsNoPing(const CaseArgs& args) {
  return Statements(args, PingBefore::None);
}

Digest OrbelinStatementsPingAwaited(const CaseArgs& args) {
  return Statements(args, PingBefore::Awaited);
}

Digest OrbelinConnect(const CaseArgs& args) {
  Digest digest;
  double timed = 0;
  for (int i = 0; i < args.Repeat; ++i) {
    std::unique_ptr<TMysqlClient> client;  // closed untimed
    timed += SecondsOf([&] {
      client = Connect(args);
      RunStatement(*client, args.Statement, digest);
    });
  }
  ReportTimed(timed);
  return digest;
}

}  // namespace bench

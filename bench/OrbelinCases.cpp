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

Digest Statements(const CaseArgs& args, bool reconnect) {
  const auto client = Connect(args, reconnect);
  Digest digest;
  ReportTimed(SecondsOf([&] {
    for (int i = 0; i < args.Repeat; ++i) RunStatement(*client, args.Statement, digest);
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
  return Statements(args, true);
}

Digest OrbelinStatementsNoPing(const CaseArgs& args) {
  return Statements(args, false);
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

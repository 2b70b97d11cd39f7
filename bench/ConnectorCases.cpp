// MariaDB Connector/C, the reference client, doing what the orbelin cases do.
#include <mysql.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "bench/Cases.h"

namespace bench {

namespace {

struct CloseConnection {
  void operator()(MYSQL* connection) const { mysql_close(connection); }
};
struct FreeResult {
  void operator()(MYSQL_RES* result) const { mysql_free_result(result); }
};
using Connection = std::unique_ptr<MYSQL, CloseConnection>;
using Result = std::unique_ptr<MYSQL_RES, FreeResult>;

Connection Connect(const CaseArgs& args) {
  Connection connection(mysql_init(nullptr));
  if (!connection) throw std::runtime_error("Connector/C: mysql_init failed");
  if (args.Compress) mysql_options(connection.get(), MYSQL_OPT_COMPRESS, nullptr);
  if (args.Tls) {
    // TLS or no connection; the certificate is not checked (as orbelin's
    // Required).
    const my_bool on = 1;
    mysql_options(connection.get(), MYSQL_OPT_SSL_ENFORCE, &on);
  }
  if (!mysql_real_connect(connection.get(), "127.0.0.1", kBenchUser, "", nullptr, args.Port,
                          nullptr, 0))
    throw std::runtime_error(std::string("Connector/C: connect failed: ") +
                             mysql_error(connection.get()));
  return connection;
}

Result Query(MYSQL* connection, const std::string& statement, bool buffered) {
  if (mysql_real_query(connection, statement.data(), statement.size()) != 0)
    throw std::runtime_error(std::string("Connector/C: query failed: ") + mysql_error(connection));
  Result result(buffered ? mysql_store_result(connection) : mysql_use_result(connection));
  if (!result) throw std::runtime_error(std::string("Connector/C: ") + mysql_error(connection));
  return result;
}

void WalkRows(MYSQL_RES* result, Digest& digest);

// Runs the statement buffered and walks its rows, if it has any (an INSERT
// has none).
void RunStatement(MYSQL* connection, const std::string& statement, Digest& digest) {
  if (mysql_real_query(connection, statement.data(), statement.size()) != 0)
    throw std::runtime_error(std::string("Connector/C: query failed: ") + mysql_error(connection));
  const Result result(mysql_store_result(connection));
  if (result)
    WalkRows(result.get(), digest);
  else if (mysql_field_count(connection) != 0)
    throw std::runtime_error(std::string("Connector/C: ") + mysql_error(connection));
}

void WalkRows(MYSQL_RES* result, Digest& digest) {
  const unsigned fields = mysql_num_fields(result);
  while (MYSQL_ROW row = mysql_fetch_row(result)) {
    const unsigned long* lengths = mysql_fetch_lengths(result);
    ++digest.Rows;
    for (unsigned i = 0; i < fields; ++i)
      if (row[i] != nullptr) digest.Add(lengths[i]);
  }
}

// Reads the result --repeat times, each time on a new connection.
Digest Read(const CaseArgs& args, bool buffered) {
  Digest digest;
  for (int pass = 0; pass < args.Repeat; ++pass) {
    const Connection connection = Connect(args);
    const Result result = Query(connection.get(), args.Statement, buffered);
    WalkRows(result.get(), digest);
  }
  return digest;
}

}  // namespace

Digest ConnectorBuffered(const CaseArgs& args) {
  return Read(args, true);
}

Digest ConnectorRowByRow(const CaseArgs& args) {
  return Read(args, false);
}

Digest ConnectorStatements(const CaseArgs& args) {
  const Connection connection = Connect(args);
  Digest digest;
  ReportTimed(SecondsOf([&] {
    for (int i = 0; i < args.Repeat; ++i) RunStatement(connection.get(), args.Statement, digest);
  }));
  return digest;
}

Digest ConnectorConnect(const CaseArgs& args) {
  Digest digest;
  double timed = 0;
  for (int i = 0; i < args.Repeat; ++i) {
    Connection connection;  // closed untimed
    timed += SecondsOf([&] {
      connection = Connect(args);
      RunStatement(connection.get(), args.Statement, digest);
    });
  }
  ReportTimed(timed);
  return digest;
}

}  // namespace bench

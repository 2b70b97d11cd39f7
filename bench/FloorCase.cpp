#include <stdexcept>

#include "bench/Cases.h"
#include "bench/RawClient.h"

namespace bench {

// Reads the result --repeat times, each time on a new connection.
Digest RawFloor(const CaseArgs& args) {
  Digest digest;
  for (int pass = 0; pass < args.Repeat; ++pass) {
    RawClient client;
    if (!client.Connect("127.0.0.1", args.Port, kBenchUser) || !client.SendQuery(args.Statement))
      throw std::runtime_error("floor: " + client.Error());
    const std::int64_t rows = client.ReadReply([](std::span<const std::uint8_t>) {});
    if (rows < 0) throw std::runtime_error("floor: " + client.Error());
    client.Quit();
    digest.Rows += static_cast<std::uint64_t>(rows);
  }
  return digest;
}

}  // namespace bench

namespace bench {

namespace {

// The statement --repeat times on one connection, each time with a ping in
// the same write or without: what the server's answer to the ping costs
// whatever the client.
Digest RawStatements(const CaseArgs& args, bool withPing) {
  RawClient client;
  if (!client.Connect("127.0.0.1", args.Port, kBenchUser))
    throw std::runtime_error("floor: " + client.Error());
  Digest digest;
  ReportTimed(SecondsOf([&] {
    for (int i = 0; i < args.Repeat; ++i) {
      const std::int64_t rows =
          client.SendQuery(args.Statement, withPing)
              ? client.ReadReply([](std::span<const std::uint8_t>) {}, withPing ? 2 : 1)
              : -1;
      if (rows < 0) throw std::runtime_error("floor: " + client.Error());
      digest.Rows += static_cast<std::uint64_t>(rows);
    }
  }));
  client.Quit();
  return digest;
}

}  // namespace

Digest RawFloorStatements(const CaseArgs& args) {
  return RawStatements(args, false);
}

Digest RawFloorStatementsPing(const CaseArgs& args) {
  return RawStatements(args, true);
}

}  // namespace bench

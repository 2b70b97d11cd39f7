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

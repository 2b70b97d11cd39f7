#include <stdexcept>

#include "bench/Cases.h"
#include "bench/RawClient.h"

namespace bench {

Digest RawFloor(const CaseArgs& args) {
  RawClient client;
  if (!client.Connect("127.0.0.1", args.Port, kBenchUser) || !client.SendQuery(args.Statement))
    throw std::runtime_error("floor: " + client.Error());
  const std::int64_t rows = client.ReadReply([](std::span<const std::uint8_t>) {});
  if (rows < 0) throw std::runtime_error("floor: " + client.Error());
  client.Quit();
  Digest digest;
  digest.Rows = static_cast<std::uint64_t>(rows);
  return digest;
}

}  // namespace bench

// The server's greeting: the input is the greeting packet's payload.

#include "mysql/uMysqlGreeting.h"
#include "support/FuzzInput.h"

using namespace mysql;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const TBytes packet(data, size);
  const auto greeting = ParseGreeting(packet);
  if (!greeting) return 0;
  FuzzCheck(greeting->ServerVersion.find('\0') == std::string::npos, "version text ends at NUL");
  FuzzCheck(greeting->ServerVersion.size() + 14 <= size, "version, thread id and seed fit");
  FuzzCheck(greeting->ScrambleSeed.size() <= 20, "seed of at most 20 characters");
  FuzzCheck(greeting->Language.has_value() == greeting->Status.has_value(),
            "language and status come together");
  FuzzCheck(!greeting->Status || greeting->Capabilities, "status only after the capabilities");
  FuzzCheck(!greeting->HasSecondSeedPart || greeting->Status, "second seed after the status");

  const std::uint32_t caps = greeting->Capabilities.value_or(0);
  for (const bool withDb : {false, true}) {
    for (const bool compress : {false, true}) {
      const std::uint32_t flag = DeriveClientFlag(0xE285, withDb, caps, compress);
      FuzzCheck((flag & CLIENT_COMPRESS) == 0 || (caps & CLIENT_COMPRESS) != 0,
                "compression only when the server offers it");
      FuzzCheck(withDb == ((flag & CLIENT_CONNECT_WITH_DB) != 0), "database bit as asked");
    }
  }
  static_cast<void>(UsesTwoStepAuthentication(greeting->ServerVersion));
  return 0;
}

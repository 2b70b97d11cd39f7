// Row packets. The first two bytes of the input give the column count (up to
// the 4096 columns a result may have), the rest is the row's payload.

#include "mysql/uMysqlClient.h"
#include "mysql/uMysqlFieldPacket.h"
#include "mysql/uMysqlReplies.h"
#include "support/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t columns = (data[0] | data[1] << 8) % (kMaxResultColumns + 1);
  const TBytes packet(data + 2, size - 2);
  static_cast<void>(IsEndOfData(packet));
  const auto row = DecodeRow(packet, columns);
  if (!row) return 0;
  FuzzCheck(row->size() == columns, "a value for every column");
  std::size_t bytes = 0;
  for (const auto& value : *row) bytes += value ? value->size() + 1 : 1;
  FuzzCheck(bytes <= packet.size(), "values come from the packet");
  return 0;
}

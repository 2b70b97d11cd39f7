// Row packets, both ways they are stored: decoded in place as the current
// row of a row-by-row result (and then copied out), and appended to the row
// store of a buffered result. The first two bytes of the input give the
// column count (any of 0 to 65535: a result may have more columns than a
// table), the rest is the row's payload.

#include <string>
#include <vector>

#include "mysql/uMysqlClient.h"
#include "mysql/uMysqlReplies.h"
#include "mysql/uMysqlRowStore.h"
#include "support/FuzzInput.h"

using namespace mysql;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t columns = static_cast<std::size_t>(data[0] | data[1] << 8);
  const TBytes packet(data + 2, size - 2);
  static_cast<void>(IsEndOfData(packet));

  TRowStore store(columns);
  const bool stored = store.Append(packet);
  // In place the packet is written to, as the packet layer hands it out:
  // writable, with a 0 behind it.
  std::vector<std::uint8_t> copy(packet.begin(), packet.end());
  copy.push_back(0);
  TCurrentRow current;
  const bool assigned = current.Assign({copy.data(), packet.size()}, columns);
  FuzzCheck(stored == assigned, "both ways take the same packets");
  if (!stored) return 0;

  std::size_t bytes = 0;
  for (std::size_t column = 0; column < columns; ++column) {
    const auto value = store.Row(0).Value(column);
    const auto inPlace = current.Value(column);
    FuzzCheck(value.has_value() == inPlace.has_value(), "NULL alike both ways");
    if (!value) continue;
    FuzzCheck(*value == *inPlace, "the same value both ways");
    FuzzCheck(value->data()[value->size()] == '\0', "stored values are NUL-terminated");
    FuzzCheck(inPlace->data()[inPlace->size()] == '\0', "values in place are NUL-terminated");
    FuzzCheck(value->size() <= store.LongestValues()[column], "the longest value is kept");
    bytes += value->size() + 1;
  }
  FuzzCheck(bytes <= packet.size() + 1, "values come from the packet");
  // Copied out, the row no longer needs the packet.
  std::vector<std::string> before;
  for (std::size_t column = 0; column < columns; ++column)
    before.emplace_back(current.Value(column).value_or("<null>"));
  current.Keep();
  std::fill(copy.begin(), copy.end(), 'x');
  for (std::size_t column = 0; column < columns; ++column)
    FuzzCheck(std::string(current.Value(column).value_or("<null>")) == before[column],
              "a row kept is whole");
  return 0;
}

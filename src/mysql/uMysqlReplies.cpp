#include "mysql/uMysqlReplies.h"

namespace mysql {

namespace {
constexpr std::uint8_t kEndOfDataMarker = 254;
constexpr std::size_t kEndOfDataLimit = 8;
constexpr std::size_t kEndOfDataFieldsEnd = 5;
}  // namespace

std::optional<TOkPacket> ParseOkPacket(TBytes packet, bool layout41, bool serverTransactions) {
  TPacketReader reader(packet);
  TOkPacket ok;
  const auto fieldCount = reader.ReadLengthCoded();
  // NULL reads as all ones, as the 64-bit reader defines it.
  ok.AffectedRows = reader.ReadLengthCoded().value_or(~std::uint64_t{0});
  ok.LastInsertId = reader.ReadLengthCoded().value_or(~std::uint64_t{0});
  if (layout41) {
    ok.ServerStatus = static_cast<std::uint16_t>(reader.ReadUInt(2));
    ok.WarningCount = static_cast<std::uint16_t>(reader.ReadUInt(2));
  } else if (serverTransactions) {
    ok.ServerStatus = static_cast<std::uint16_t>(reader.ReadUInt(2));
  }
  if (!reader.Ok() || fieldCount != 0) return std::nullopt;
  if (!reader.AtEnd()) {
    // The message runs to the end of the packet; its length prefix only says
    // whether there is one.
    const auto infoLength = reader.ReadLengthCoded();
    if (!reader.Ok()) return std::nullopt;
    if (infoLength.value_or(1) != 0) ok.Info = std::string(reader.ReadRest());
  }
  return ok;
}

bool IsEndOfData(TBytes packet) {
  return !packet.empty() && packet[0] == kEndOfDataMarker && packet.size() < kEndOfDataLimit;
}

std::optional<TEndOfData> ParseEndOfData(TBytes packet) {
  if (!IsEndOfData(packet) || packet.size() < kEndOfDataFieldsEnd) return std::nullopt;
  TPacketReader reader(packet, 1);
  TEndOfData end;
  end.WarningCount = static_cast<std::uint16_t>(reader.ReadUInt(2));
  end.ServerStatus = static_cast<std::uint16_t>(reader.ReadUInt(2));
  return end;
}

}  // namespace mysql

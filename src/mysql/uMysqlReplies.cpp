#include "mysql/uMysqlReplies.h"

#include "mysql/uMysqlGreeting.h"

namespace mysql {

namespace {
constexpr std::uint8_t kEndOfDataMarker = 254;
constexpr std::size_t kEndOfDataLimit = 8;
constexpr std::size_t kEndOfDataFieldsEnd = 5;

// Kinds of entries in a session changes block.
constexpr std::uint8_t kTrackSystemVariables = 0;
constexpr std::uint8_t kTrackSchema = 1;
constexpr std::uint8_t kTrackStateChange = 2;

std::optional<std::string_view> ReadLengthCodedBytes(TPacketReader& reader) {
  const auto length = reader.ReadLengthCoded();
  if (!length || *length > reader.Remaining()) {
    reader.Fail();
    return std::nullopt;
  }
  return reader.ReadBytes(static_cast<std::size_t>(*length));
}

bool ReadSessionEntry(std::uint8_t kind, TBytes data, TSessionChanges& changes) {
  TPacketReader entry(data);
  switch (kind) {
    case kTrackSystemVariables: {
      const auto name = ReadLengthCodedBytes(entry);
      const auto value = ReadLengthCodedBytes(entry);
      if (!entry.Ok()) return false;
      changes.Variables.emplace_back(*name, *value);
      return true;
    }
    case kTrackSchema: {
      const auto name = ReadLengthCodedBytes(entry);
      if (!entry.Ok()) return false;
      changes.Database = std::string(*name);
      return true;
    }
    case kTrackStateChange:
      // A flag ("1"); servers differ in whether it carries a length of its own.
      changes.StateChanged = !data.empty();
      return true;
    default:
      return true;
  }
}

}  // namespace

std::optional<TSessionChanges> ParseSessionChanges(TBytes block) {
  TPacketReader reader(block);
  TSessionChanges changes;
  while (!reader.AtEnd()) {
    const std::uint8_t kind = reader.ReadByte();
    const auto data = ReadLengthCodedBytes(reader);
    if (!reader.Ok() || !ReadSessionEntry(kind, AsBytes(*data), changes)) return std::nullopt;
  }
  return changes;
}

std::optional<TOkPacket> ParseOkPacket(TBytes packet, bool layout41, bool serverTransactions,
                                       bool sessionTrack) {
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
  if (sessionTrack && layout41) {
    if (reader.AtEnd()) return ok;
    const auto info = ReadLengthCodedBytes(reader);
    if (!reader.Ok()) return std::nullopt;
    ok.Info = std::string(*info);
    if (!(*ok.ServerStatus & SERVER_SESSION_STATE_CHANGED) || reader.AtEnd()) return ok;
    const auto block = ReadLengthCodedBytes(reader);
    if (!reader.Ok()) return std::nullopt;
    auto changes = ParseSessionChanges(AsBytes(*block));
    if (!changes) return std::nullopt;
    ok.Changes = std::move(*changes);
    return ok;
  }
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

#include "mysql/uMysqlFieldPacket.h"

namespace mysql {

namespace {

constexpr std::size_t kFixedBlockRead = 10;

std::uint32_t LittleEndian(std::string_view bytes, std::size_t width) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < width; ++i)
    value |= std::uint32_t{static_cast<std::uint8_t>(bytes[i])} << (8 * i);
  return value;
}

std::uint32_t TextLength(const std::string& text) {
  return static_cast<std::uint32_t>(UpToNul(text).size());
}

// A fixed-width column of the older layout: NULL leaves the member 0, a
// column shorter than its width is malformed.
bool ReadFixed(TPacketReader& reader, std::size_t width, std::uint32_t& member) {
  const auto bytes = reader.ReadLengthCodedString();
  if (!reader.Ok()) return false;
  if (!bytes) return true;
  if (bytes->size() < width) return false;
  member = LittleEndian(*bytes, width);
  return true;
}

bool DecodeLayout41(TPacketReader& reader, TFieldDescriptor& field) {
  for (std::string* member :
       {&field.Catalog, &field.Db, &field.Table, &field.OrgTable, &field.Name, &field.OrgName})
    *member = std::string(reader.ReadLengthCodedString().value_or(""));
  const auto fixed = reader.ReadLengthCodedString();
  if (!reader.Ok()) return false;
  if (!fixed) return true;
  if (fixed->size() < kFixedBlockRead) return false;
  field.CharsetNr = LittleEndian(fixed->substr(0), 2);
  field.Length = LittleEndian(fixed->substr(2), 4);
  field.Type = static_cast<std::uint8_t>((*fixed)[6]);
  field.Flags = LittleEndian(fixed->substr(7), 2);
  field.Decimals = static_cast<std::uint8_t>((*fixed)[9]);
  return true;
}

bool DecodeOldLayout(TPacketReader& reader, bool longFlags, TFieldDescriptor& field) {
  field.Table = std::string(reader.ReadLengthCodedString().value_or(""));
  field.Name = std::string(reader.ReadLengthCodedString().value_or(""));
  std::uint32_t type = 0;
  if (!ReadFixed(reader, 3, field.Length) || !ReadFixed(reader, 1, type)) return false;
  field.Type = static_cast<std::uint8_t>(type);
  const auto flags = reader.ReadLengthCodedString();
  if (!reader.Ok()) return false;
  if (!flags) return true;
  const std::size_t flagWidth = longFlags ? 2 : 1;
  if (flags->size() < flagWidth + 1) return false;
  field.Flags = LittleEndian(*flags, flagWidth);
  field.Decimals = static_cast<std::uint8_t>((*flags)[flagWidth]);
  return true;
}

// Numeric columns get NUM_FLAG; a TIMESTAMP only in its numeric display
// widths 14 and 8, YEAR always.
bool IsNumeric(const TFieldDescriptor& field) {
  if (field.Type == FIELD_TYPE_TIMESTAMP) return field.Length == 14 || field.Length == 8;
  return field.Type <= FIELD_TYPE_INT24 || field.Type == FIELD_TYPE_YEAR;
}

}  // namespace

std::optional<TFieldDescriptor> DecodeFieldPacket(TBytes packet, bool layout41, bool longFlags) {
  TPacketReader reader(packet);
  TFieldDescriptor field;
  const bool decoded =
      layout41 ? DecodeLayout41(reader, field) : DecodeOldLayout(reader, longFlags, field);
  if (!decoded) return std::nullopt;
  if (IsNumeric(field)) field.Flags |= NUM_FLAG;
  field.NameLength = TextLength(field.Name);
  field.OrgNameLength = TextLength(field.OrgName);
  field.TableLength = TextLength(field.Table);
  field.OrgTableLength = TextLength(field.OrgTable);
  field.DbLength = TextLength(field.Db);
  field.CatalogLength = TextLength(field.Catalog);
  return field;
}

}  // namespace mysql

// Length-coded values and the other reads of TPacketReader. The first part
// of the input is a list of reads to make (one byte each), the second the
// packet they read; an input of one part is the packet, read with
// length-coded strings to its end.

#include <algorithm>
#include <string>

#include "mysql/uMysqlCodec.h"
#include "support/FuzzInput.h"

using namespace mysql;

namespace {

bool Inside(std::string_view text, TBytes packet) {
  if (text.empty()) return true;
  const auto* start = reinterpret_cast<const char*>(packet.data());
  return text.data() >= start && text.data() + text.size() <= start + packet.size();
}

// A read the packet allows must stay inside it; touching every byte lets the
// address sanitizer see any that does not.
void CheckText(std::string_view text, TBytes packet) {
  FuzzCheck(Inside(text, packet), "text read from inside the packet");
  volatile std::size_t sum = 0;
  for (const char c : text) sum = sum + static_cast<unsigned char>(c);
}

void ReadOne(TPacketReader& reader, std::uint8_t op, TBytes packet) {
  const bool wasOk = reader.Ok();
  const std::size_t before = reader.Pos();
  switch (op % 10) {
    case 0:
      reader.ReadByte();
      break;
    case 1:
      reader.ReadUInt(1 + op / 10 % 4);
      break;
    case 2:
      reader.ReadUInt64();
      break;
    case 3:
      CheckText(reader.ReadBytes(op / 10), packet);
      break;
    case 4:
      reader.Skip(op / 10);
      break;
    case 5: {
      const std::string_view text = reader.ReadNulTerminated();
      CheckText(text, packet);
      FuzzCheck(text.find('\0') == std::string_view::npos, "NUL-terminated text has no NUL");
      break;
    }
    case 6:
      CheckText(reader.ReadRest(), packet);
      FuzzCheck(reader.AtEnd(), "at the end after reading the rest");
      break;
    case 7: {
      TPacketReader copy = reader;
      const auto wide = reader.ReadLengthCoded();
      const auto narrow = copy.ReadLengthCoded32();
      FuzzCheck(wide.has_value() == narrow.has_value(), "both readers agree on NULL");
      FuzzCheck(!wide || static_cast<std::uint32_t>(*wide) == *narrow,
                "the 32-bit reader keeps the low 32 bits");
      FuzzCheck(copy.Pos() == reader.Pos() && copy.Ok() == reader.Ok(),
                "both readers consume the same bytes");
      break;
    }
    case 8: {
      TPacketReader lengthOnly = reader;
      const auto length = lengthOnly.ReadLengthCoded();
      const auto text = reader.ReadLengthCodedString();
      if (text) {
        CheckText(*text, packet);
        FuzzCheck(length && *length == text->size(), "string as long as its prefix says");
        FuzzCheck(reader.Pos() == lengthOnly.Pos() + text->size(), "string follows its prefix");
      }
      break;
    }
    default:
      CheckText(UpToNul(AsText(packet.subspan(std::min(before, packet.size())))), packet);
      break;
  }
  FuzzCheck(reader.Pos() <= packet.size(), "position inside the packet");
  FuzzCheck(reader.Remaining() == (reader.Ok() ? packet.size() - reader.Pos() : 0),
            "remaining bytes match the position");
  FuzzCheck(wasOk || (!reader.Ok() && reader.Pos() == before), "a failed reader stays failed");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto parts = SplitParts({data, size});
  const TBytes packet = parts.size() > 1 ? parts[1] : parts[0];
  TPacketReader reader(packet);
  if (parts.size() > 1) {
    for (const std::uint8_t op : parts[0]) ReadOne(reader, op, packet);
  } else {
    while (reader.Ok() && !reader.AtEnd()) ReadOne(reader, 8, packet);
  }
  return 0;
}

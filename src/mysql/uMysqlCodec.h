#pragma once
// Bounds-checked reading of received packets and little-endian writing of
// outgoing ones. Every decoder of the session works through TPacketReader, so
// no value is ever taken from beyond the end of the packet it came in.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace mysql {

using TBytes = std::span<const std::uint8_t>;

// The marker byte of a NULL length-coded value.
inline constexpr std::uint8_t kLengthCodedNull = 251;

// How many bytes of a length-coded integer follow its first byte `first`:
// none below 251 (the byte is the value), 2 after 252, 3 after 253, 8 after
// 254 and 255. (251 is NULL, see above.)
constexpr std::size_t LengthCodedExtraBytes(std::uint8_t first) {
  return first < 252 ? 0 : first == 252 ? 2 : first == 253 ? 3 : 8;
}

// Cursor over one packet. The first read that would run past the end marks the
// reader failed; every later read is then a no-op returning a zero value, so a
// decoder reads all its fields and checks Ok() once.
class TPacketReader {
 public:
  explicit TPacketReader(TBytes packet, std::size_t pos = 0);

  bool Ok() const { return ok_; }
  std::size_t Pos() const { return pos_; }
  std::size_t Remaining() const { return ok_ ? packet_.size() - pos_ : 0; }
  bool AtEnd() const { return Remaining() == 0; }
  void Fail() { ok_ = false; }

  std::uint8_t ReadByte();
  // Little-endian unsigned integer of 1 to 4 bytes.
  std::uint32_t ReadUInt(std::size_t width);
  std::uint64_t ReadUInt64();
  std::string_view ReadBytes(std::size_t count);
  void Skip(std::size_t count);
  // Text up to the next NUL (consumed) or the end of the packet.
  std::string_view ReadNulTerminated();
  std::string_view ReadRest();

  // Length-coded integer; nullopt for the NULL marker (and on failure).
  std::optional<std::uint64_t> ReadLengthCoded();
  // The 32-bit reader keeps only the low 32 bits of the 9-byte form.
  std::optional<std::uint32_t> ReadLengthCoded32();
  // Length-coded string; nullopt for NULL (and on failure).
  std::optional<std::string_view> ReadLengthCodedString();

 private:
  bool Need(std::size_t count);

  TBytes packet_;
  std::size_t pos_;
  bool ok_ = true;
};

// Text as bytes, for appending to packets built in byte vectors.
TBytes AsBytes(std::string_view text);
std::string_view AsText(TBytes bytes);

void AppendUInt(std::vector<std::uint8_t>& out, std::uint32_t value, std::size_t width);
void AppendText(std::vector<std::uint8_t>& out, std::string_view text);

// The text cut at its first NUL byte, as C strings of the wire protocol end there.
std::string_view UpToNul(std::string_view text);

}  // namespace mysql

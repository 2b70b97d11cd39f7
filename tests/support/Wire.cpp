#include "support/Wire.h"

#include <zlib.h>

#include <stdexcept>

namespace {

void Put3(Bytes& out, std::size_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
  out.push_back(static_cast<std::uint8_t>(value >> 16));
}

}  // namespace

Bytes Text(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

std::size_t Length3(const std::uint8_t* at) {
  return std::size_t{at[0]} | std::size_t{at[1]} << 8 | std::size_t{at[2]} << 16;
}

Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t to) {
  return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
               bytes.begin() + static_cast<std::ptrdiff_t>(to));
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

std::string Hex(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (const std::uint8_t byte : bytes) {
    out += kDigits[byte >> 4];
    out += kDigits[byte & 15];
  }
  return out;
}

Bytes Packet(std::uint8_t sequence, const Bytes& payload) {
  Bytes out;
  Put3(out, payload.size());
  out.push_back(sequence);
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

Bytes CompressedBlock(std::uint8_t sequence, const Bytes& data, bool deflate) {
  Bytes payload = data;
  std::size_t uncompressedLength = 0;
  if (deflate) {
    uLongf length = compressBound(static_cast<uLong>(data.size()));
    payload.resize(length);
    if (compress(payload.data(), &length, data.data(), static_cast<uLong>(data.size())) != Z_OK)
      throw std::runtime_error("zlib compress failed");
    payload.resize(length);
    uncompressedLength = data.size();
  }
  Bytes out;
  Put3(out, payload.size());
  out.push_back(sequence);
  Put3(out, uncompressedLength);
  out.insert(out.end(), payload.begin(), payload.end());
  return out;
}

Bytes ErrorPayload(std::uint16_t number, std::string_view sqlState, std::string_view text) {
  Bytes out{0xFF, static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8)};
  if (!sqlState.empty()) {
    out.push_back('#');
    out.insert(out.end(), sqlState.begin(), sqlState.end());
  }
  out.insert(out.end(), text.begin(), text.end());
  return out;
}

#pragma once
// Byte builders for protocol test data: packets, compressed blocks, text.

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

Bytes Text(std::string_view text);
Bytes Concat(std::initializer_list<Bytes> parts);
// The bytes of `bytes` from `from` up to (not including) `to`.
Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t to);
// The 3-byte little-endian length that begins at `at` (packet and block headers).
std::size_t Length3(const std::uint8_t* at);
// Lower-case hexadecimal digits, two per byte (digests in expectations).
std::string Hex(std::span<const std::uint8_t> bytes);
// A packet: 3-byte length, sequence number, payload.
Bytes Packet(std::uint8_t sequence, const Bytes& payload);
// A compressed-protocol block around `data`: zlib-compressed with the
// uncompressed length in the header when `deflate`, else stored (length 0).
Bytes CompressedBlock(std::uint8_t sequence, const Bytes& data, bool deflate);
// Server error packet payload: 0xFF, number, optional "#" + SQL state, text.
Bytes ErrorPayload(std::uint16_t number, std::string_view sqlState, std::string_view text);

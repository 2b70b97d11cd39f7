#include "mysql/uMysqlCharsets.h"

#include <algorithm>
#include <array>

namespace mysql {

namespace {

// A version as one number: 5.5.3 is 50503.
constexpr std::uint32_t Version(std::uint32_t major, std::uint32_t minor, std::uint32_t patch) {
  return major * 10000 + minor * 100 + patch;
}

struct TCharset {
  std::string_view Name;
  std::uint8_t Collation;  // the default collation's number
  std::uint32_t Since;     // the first server version that has it
};

constexpr std::uint32_t k41 = Version(4, 1, 0);

// Every server since 4.1 has these under these numbers; utf8mb4 came with 5.5.3.
constexpr std::array<TCharset, 37> kCharsets = {{
    {"big5", 1, k41},     {"dec8", 3, k41},     {"cp850", 4, k41},
    {"hp8", 6, k41},      {"koi8r", 7, k41},    {"latin1", 8, k41},
    {"latin2", 9, k41},   {"swe7", 10, k41},    {"ascii", 11, k41},
    {"ujis", 12, k41},    {"sjis", 13, k41},    {"hebrew", 16, k41},
    {"tis620", 18, k41},  {"euckr", 19, k41},   {"koi8u", 22, k41},
    {"gb2312", 24, k41},  {"greek", 25, k41},   {"cp1250", 26, k41},
    {"gbk", 28, k41},     {"latin5", 30, k41},  {"armscii8", 32, k41},
    {"utf8", 33, k41},    {"utf8mb3", 33, k41}, {"cp866", 36, k41},
    {"keybcs2", 37, k41}, {"macce", 38, k41},   {"macroman", 39, k41},
    {"cp852", 40, k41},   {"latin7", 41, k41},  {"utf8mb4", 45, Version(5, 5, 3)},
    {"cp1251", 51, k41},  {"cp1256", 57, k41},  {"cp1257", 59, k41},
    {"binary", 63, k41},  {"geostd8", 92, k41}, {"cp932", 95, k41},
    {"eucjpms", 97, k41},
}};

struct TCollation {
  std::uint8_t Number;
  std::string_view Charset;
};

// The other collations of the character sets whose layout escaping must know.
constexpr std::array<TCollation, 7> kOtherCollations = {{
    {84, "big5"},
    {87, "gbk"},
    {88, "sjis"},
    {96, "cp932"},
    {248, "gb18030"},
    {249, "gb18030"},
    {250, "gb18030"},
}};

// The leading "major.minor.patch" of a version text ("5.5.5-10.11.9-MariaDB"
// is 5.5.5); missing parts count as 0.
std::uint32_t VersionNumber(std::string_view text) {
  std::array<std::uint32_t, 3> parts{};
  std::size_t part = 0;
  for (const char c : text) {
    if (c >= '0' && c <= '9') {
      parts[part] =
          std::min<std::uint32_t>(parts[part] * 10 + static_cast<std::uint32_t>(c - '0'), 99);
    } else if (c == '.' && part + 1 < parts.size()) {
      ++part;
    } else {
      break;
    }
  }
  return Version(parts[0], parts[1], parts[2]);
}

}  // namespace

bool IsWellFormedCharsetName(std::string_view name) {
  return name.size() <= kMaxCharsetNameLength && std::ranges::all_of(name, [](char c) {
           return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  c == '_';
         });
}

bool IsCharsetNamed(std::string_view name, std::string_view known) {
  return std::ranges::equal(name, known, [](char a, char b) {
    return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
  });
}

std::optional<std::uint8_t> HandshakeCharsetNumber(std::string_view name,
                                                   std::string_view serverVersion) {
  const auto known = std::ranges::find_if(
      kCharsets, [&](const TCharset& charset) { return IsCharsetNamed(name, charset.Name); });
  if (known == kCharsets.end() || VersionNumber(serverVersion) < known->Since) return std::nullopt;
  return known->Collation;
}

std::string_view CharsetOfCollation(std::uint32_t number) {
  for (const TCharset& charset : kCharsets)
    if (charset.Collation == number) return charset.Name;
  for (const TCollation& collation : kOtherCollations)
    if (collation.Number == number) return collation.Charset;
  return {};
}

}  // namespace mysql

#include "platform/os/CodePage.h"

#ifdef _WIN32

#include <climits>
#include <stdexcept>

namespace platform {
namespace {

int CheckedLength(std::size_t size) {
  if (size > static_cast<std::size_t>(INT_MAX)) throw std::length_error("text too long");
  return static_cast<int>(size);
}

// No "best fit": a look-alike such as a full-width apostrophe must not turn
// into a real quote inside SQL text; unmappable characters become '?'.
// UTF-8 maps everything and refuses the flag.
DWORD ConversionFlags() {
  return GetACP() == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
}

}  // namespace

std::string ToAnsi(TOleStringView text) {
  if (text.empty()) return {};
  const int units = CheckedLength(text.size());
  const DWORD flags = ConversionFlags();
  const int bytes =
      WideCharToMultiByte(CP_ACP, flags, text.data(), units, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_ACP, flags, text.data(), units, out.data(), bytes, nullptr, nullptr);
  return out;
}

TOleString FromAnsi(std::string_view text) {
  if (text.empty()) return {};
  const int bytes = CheckedLength(text.size());
  const int units = MultiByteToWideChar(CP_ACP, 0, text.data(), bytes, nullptr, 0);
  TOleString out(static_cast<std::size_t>(units), OLECHAR(0));
  MultiByteToWideChar(CP_ACP, 0, text.data(), bytes, out.data(), units);
  return out;
}

}  // namespace platform

#else

#include <algorithm>
#include <array>
#include <utility>

namespace platform {
namespace {

using THighHalf = std::array<char16_t, 128>;

// Windows-1251, bytes 0x80 to 0xFF. 0x98 has no character in the code page;
// it maps to U+0098 as Windows does, so every byte survives a round trip.
constexpr THighHalf kCyrillic = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,  // C0
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,  // C8
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,  // D0
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,  // D8
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,  // E0
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,  // E8
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,  // F0
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,  // F8
};

// Windows-1252 (Western European): its own characters from 0x80 to 0x9F
// (the five unassigned bytes map to the same control codes, as on Windows),
// then Latin-1 from 0xA0.
constexpr THighHalf kWestern = [] {
  THighHalf table = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88
      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98
  };
  for (std::size_t i = 0x20; i < table.size(); ++i) table[i] = static_cast<char16_t>(0x80 + i);
  return table;
}();

using TReverseEntry = std::pair<char16_t, char>;
using TReverse = std::array<TReverseEntry, 128>;

// A high half sorted by character, for the UTF-16 to byte direction.
constexpr TReverse ReverseOf(const THighHalf& high) {
  TReverse table{};
  for (std::size_t i = 0; i < high.size(); ++i) table[i] = {high[i], static_cast<char>(0x80 + i)};
  std::sort(table.begin(), table.end());
  return table;
}

struct TCodePageTable {
  unsigned Number;
  const THighHalf& High;
  TReverse Bytes;
};

const TCodePageTable kCodePages[] = {
    {1251, kCyrillic, ReverseOf(kCyrillic)},
    {1252, kWestern, ReverseOf(kWestern)},
};

// The hosts this add-in serves run with code page 1251.
const TCodePageTable* active = &kCodePages[0];

char ByteFor(char16_t unit) {
  if (unit < 0x80) return static_cast<char>(unit);
  const TReverse& bytes = active->Bytes;
  const auto it =
      std::lower_bound(bytes.begin(), bytes.end(), unit,
                       [](const TReverseEntry& entry, char16_t key) { return entry.first < key; });
  return it != bytes.end() && it->first == unit ? it->second : '?';
}

bool IsHighSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char16_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

std::string ToAnsi(TOleStringView text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    // A character outside the basic plane is one '?', not two.
    if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) ++i;
    out.push_back(ByteFor(text[i]));
  }
  return out;
}

TOleString FromAnsi(std::string_view text) {
  TOleString out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    out.push_back(byte < 0x80 ? char16_t(byte) : active->High[byte - 0x80]);
  }
  return out;
}

bool SetStandInCodePage(unsigned codePage) {
  for (const TCodePageTable& table : kCodePages) {
    if (table.Number != codePage) continue;
    active = &table;
    return true;
  }
  return false;
}

}  // namespace platform

#endif

namespace platform {

TOleStringView ViewOfBstr(BSTR text) {
  return text == nullptr ? TOleStringView() : TOleStringView(text, SysStringLen(text));
}

std::string AnsiFromBstr(BSTR text) {
  return ToAnsi(ViewOfBstr(text));
}

std::optional<std::string> ToAnsiExactly(TOleStringView text) {
  std::string ansi = ToAnsi(text);
  if (FromAnsi(ansi) != text) return std::nullopt;
  return ansi;
}

}  // namespace platform

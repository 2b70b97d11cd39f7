#include "mysql/uMysqlEscape.h"

#include "mysql/uMysqlCharsets.h"

#include <array>

namespace mysql {

namespace {

constexpr char kCtrlZ = '\x1A';

struct TLayoutName {
  std::string_view Name;
  TMultibyteLayout Layout;
};

constexpr std::array<TLayoutName, 5> kLayouts = {{
    {"big5", TMultibyteLayout::Big5},
    {"gbk", TMultibyteLayout::Gbk},
    {"gb18030", TMultibyteLayout::Gb18030},
    {"sjis", TMultibyteLayout::ShiftJis},
    {"cp932", TMultibyteLayout::ShiftJis},
}};

bool InRange(std::uint8_t byte, std::uint8_t least, std::uint8_t most) {
  return byte >= least && byte <= most;
}

bool IsLead(TMultibyteLayout layout, std::uint8_t byte) {
  switch (layout) {
    case TMultibyteLayout::Big5:
      return InRange(byte, 0xA1, 0xF9);
    case TMultibyteLayout::Gbk:
    case TMultibyteLayout::Gb18030:
      return InRange(byte, 0x81, 0xFE);
    case TMultibyteLayout::ShiftJis:
      return InRange(byte, 0x81, 0x9F) || InRange(byte, 0xE0, 0xFC);
    case TMultibyteLayout::Safe:
      break;
  }
  return false;
}

bool IsTrail(TMultibyteLayout layout, std::uint8_t byte) {
  switch (layout) {
    case TMultibyteLayout::Big5:
      return InRange(byte, 0x40, 0x7E) || InRange(byte, 0xA1, 0xFE);
    case TMultibyteLayout::Gbk:
    case TMultibyteLayout::Gb18030:
      return InRange(byte, 0x40, 0x7E) || InRange(byte, 0x80, 0xFE);
    case TMultibyteLayout::ShiftJis:
      return InRange(byte, 0x40, 0x7E) || InRange(byte, 0x80, 0xFC);
    case TMultibyteLayout::Safe:
      break;
  }
  return false;
}

// The length of the multi-byte character that starts at `at`, as the
// server's reading of the string would take it; 0 when none does.
std::size_t CharacterLength(TMultibyteLayout layout, std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[at + i]); };
  if (!IsLead(layout, byte(0)) || at + 1 >= text.size()) return 0;
  if (IsTrail(layout, byte(1))) return 2;
  if (layout == TMultibyteLayout::Gb18030 && at + 3 < text.size() && InRange(byte(1), 0x30, 0x39) &&
      InRange(byte(2), 0x81, 0xFE) && InRange(byte(3), 0x30, 0x39))
    return 4;
  return 0;
}

// The escape of a byte the server would read specially, or 0.
char EscapeOf(char c) {
  switch (c) {
    case '\0':
      return '0';
    case '\n':
      return 'n';
    case '\r':
      return 'r';
    case kCtrlZ:
      return 'Z';
    case '\'':
    case '"':
    case '\\':
      return c;
    default:
      return 0;
  }
}

}  // namespace

TMultibyteLayout LayoutOfCharset(std::string_view name) {
  for (const TLayoutName& entry : kLayouts)
    if (IsCharsetNamed(name, entry.Name)) return entry.Layout;
  return TMultibyteLayout::Safe;
}

void AppendEscaped(std::string& escaped, std::string_view text, const TEscaping& escaping) {
  const auto [noBackslashEscapes, layout] = escaping;
  for (std::size_t at = 0; at < text.size();) {
    if (const std::size_t length = CharacterLength(layout, text, at)) {
      escaped.append(text.substr(at, length));
      at += length;
      continue;
    }
    const char c = text[at++];
    if (noBackslashEscapes) {
      // Only a quote ends the string; everything else stands for itself.
      escaped += c;
      if (c == '\'') escaped += c;
      continue;
    }
    // A byte that only begins an apparent multi-byte character: escaped, so
    // it cannot join the backslash of a quote after it into one character.
    const char escape = IsLead(layout, static_cast<std::uint8_t>(c)) ? c : EscapeOf(c);
    if (escape != 0) escaped += '\\';
    escaped += escape != 0 ? escape : c;
  }
}

std::string EscapeString(std::string_view text, bool noBackslashEscapes, TMultibyteLayout layout) {
  std::string escaped;
  escaped.reserve(text.size() + text.size() / 8 + 2);
  AppendEscaped(escaped, text, {noBackslashEscapes, layout});
  return escaped;
}

}  // namespace mysql

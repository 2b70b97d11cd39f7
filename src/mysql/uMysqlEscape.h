#pragma once
// Text made safe between the single quotes of a statement, the way the
// server reads a quoted string: with backslash escapes, or, when the
// session's SQL mode has NO_BACKSLASH_ESCAPES, with quotes doubled only.
//
// Character sets whose multi-byte characters can hold a byte that looks like
// a backslash (big5, gbk, gb18030, sjis, cp932) are passed character by
// character: a byte inside such a character is never escaped, and a byte
// that only begins an apparent one is escaped itself, so an added backslash
// can never become part of a character and leave a quote bare.

#include <cstdint>
#include <string>
#include <string_view>

namespace mysql {

// How a character set's multi-byte characters are laid out, as far as
// escaping cares.
enum class TMultibyteLayout : std::uint8_t {
  Safe,      // no byte of a multi-byte character is below 0x80 (utf8, cp1251...)
  Big5,      // lead 0xA1-0xF9
  Gbk,       // lead 0x81-0xFE
  Gb18030,   // as gbk, and four-byte characters
  ShiftJis,  // sjis and cp932
};

// The layout of the character set `name` (any letter case).
TMultibyteLayout LayoutOfCharset(std::string_view name);

// How a session reads a quoted string: whether its status has
// SERVER_STATUS_NO_BACKSLASH_ESCAPES, and its character set's layout.
struct TEscaping {
  bool NoBackslashEscapes = false;
  TMultibyteLayout Layout = TMultibyteLayout::Safe;
};

// Appends `text` escaped for a single-quoted string of such a session.
void AppendEscaped(std::string& out, std::string_view text, const TEscaping& escaping);

// The same, as a string of its own.
std::string EscapeString(std::string_view text, bool noBackslashEscapes,
                         TMultibyteLayout layout = TMultibyteLayout::Safe);

}  // namespace mysql

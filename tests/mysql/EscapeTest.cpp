// Escaping text for a quoted string, and the character-set names a
// connection can be given. The escapes are checked against a reading of the
// escaped text the way the server's parser reads a quoted string: whatever
// the input, the string must neither end early nor read back differently.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "mysql/uMysqlCharsets.h"
#include "mysql/uMysqlEscape.h"

using namespace mysql;

namespace {

using L = TMultibyteLayout;

// The length of a whole multi-byte character at `at` in `layout`, 0 if none,
// written from the character sets' published byte ranges.
std::size_t WholeCharacter(std::string_view s, std::size_t at, L layout) {
  const auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[at + i]); };
  const auto in = [](unsigned char c, int lo, int hi) { return c >= lo && c <= hi; };
  if (at + 1 >= s.size()) return 0;
  switch (layout) {
    case L::Big5:
      return in(b(0), 0xA1, 0xF9) && (in(b(1), 0x40, 0x7E) || in(b(1), 0xA1, 0xFE)) ? 2 : 0;
    case L::Gbk:
      return in(b(0), 0x81, 0xFE) && (in(b(1), 0x40, 0x7E) || in(b(1), 0x80, 0xFE)) ? 2 : 0;
    case L::Gb18030:
      if (!in(b(0), 0x81, 0xFE)) return 0;
      if (in(b(1), 0x40, 0x7E) || in(b(1), 0x80, 0xFE)) return 2;
      return at + 3 < s.size() && in(b(1), 0x30, 0x39) && in(b(2), 0x81, 0xFE) &&
                     in(b(3), 0x30, 0x39)
                 ? 4
                 : 0;
    case L::ShiftJis:
      return (in(b(0), 0x81, 0x9F) || in(b(0), 0xE0, 0xFC)) &&
                     (in(b(1), 0x40, 0x7E) || in(b(1), 0x80, 0xFC))
                 ? 2
                 : 0;
    case L::Safe:
      break;
  }
  return 0;
}

// What the server makes of `escaped` between single quotes; none when a
// quote in it ends the string before its end.
std::optional<std::string> ServerReads(std::string_view escaped, bool noBackslashEscapes,
                                       L layout) {
  std::string value;
  for (std::size_t at = 0; at < escaped.size();) {
    if (const std::size_t length = WholeCharacter(escaped, at, layout)) {
      value.append(escaped.substr(at, length));
      at += length;
      continue;
    }
    const char c = escaped[at++];
    if (c == '\'') {
      if (at == escaped.size() || escaped[at] != '\'') return std::nullopt;
      value += '\'';
      ++at;
    } else if (c == '\\' && !noBackslashEscapes) {
      // A backslash at the very end would escape the closing quote.
      if (at == escaped.size()) return std::nullopt;
      const char e = escaped[at++];
      switch (e) {
        case '0':
          value += '\0';
          break;
        case 'n':
          value += '\n';
          break;
        case 'r':
          value += '\r';
          break;
        case 'Z':
          value += '\x1A';
          break;
        default:
          value += e;  // \' \" \\ and any other byte stand for themselves
      }
    } else {
      value += c;
    }
  }
  return value;
}

struct Case {
  const char* name;
  std::string text;
  bool noBackslashEscapes;
  L layout;
  std::string escaped;
};

TEST(Escape, NamedCases) {
  const std::vector<Case> cases = {
      {"specials, backslash escapes", std::string("\0\n\r\x1A'\"\\", 7), false, L::Safe,
       "\\0\\n\\r\\Z\\'\\\"\\\\"},
      {"specials, no backslash escapes", std::string("\0\n\r\x1A'\"\\", 7), true, L::Safe,
       std::string("\0\n\r\x1A''\"\\", 8)},
      {"cp1251 letters stay", "\xD7\xE0\xE9 tea", false, L::Safe, "\xD7\xE0\xE9 tea"},
      {"the injection of the issue", "x' or '1'='1", false, L::Safe, "x\\' or \\'1\\'=\\'1"},
      {"the injection, no backslash escapes", "x' or '1'='1", true, L::Safe, "x'' or ''1''=''1"},
      {"gbk: a character ending in 0x5C passes whole", "\x95\\'", false, L::Gbk, "\x95\\\\'"},
      {"gbk: a lone lead before a quote is escaped", "\xBF'", false, L::Gbk, "\\\xBF\\'"},
      {"gbk: a lead at the end is escaped", "a\xBF", false, L::Gbk, "a\\\xBF"},
      {"gbk, no backslash escapes: only the quote doubles", "\xBF'", true, L::Gbk, "\xBF''"},
      {"utf8: no lead is escaped", "\xC3'", false, L::Safe, "\xC3\\'"},
      {"big5: 0x81 is no lead", "\x81'", false, L::Big5, "\x81\\'"},
      {"big5: a character ending in 0x5C passes whole", "\xA1\\", false, L::Big5, "\xA1\\"},
      {"sjis: 0xE0 leads", "\xE0'", false, L::ShiftJis, "\\\xE0\\'"},
      {"gb18030: four bytes pass whole", "\x81\x30\x81\x30'", false, L::Gb18030,
       "\x81\x30\x81\x30\\'"},
      {"gb18030: a broken four-byte character", "\x81\x30'", false, L::Gb18030, "\\\x81\x30\\'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string escaped = EscapeString(c.text, c.noBackslashEscapes, c.layout);
    EXPECT_EQ(escaped, c.escaped);
    EXPECT_EQ(ServerReads(escaped, c.noBackslashEscapes, c.layout), c.text);
  }
}

// Every text of one or two bytes, and longer ones over the bytes that
// matter, read back as written in every layout and both modes: no input can
// end the quoted string early.
TEST(Escape, NoTextEndsTheStringOrChanges) {
  const std::string alphabet = std::string(
      "\0'\"\\\n\x1A"
      "0\x30\x40\x5C\x7F\x81\xA1\xBF\xE0\xFE",
      16);
  std::vector<std::string> texts;
  for (int a = 0; a < 256; ++a) {
    texts.emplace_back(1, static_cast<char>(a));
    for (int b = 0; b < 256; ++b) texts.push_back({static_cast<char>(a), static_cast<char>(b)});
  }
  for (const char a : alphabet)
    for (const char b : alphabet)
      for (const char c : alphabet)
        for (const char d : alphabet) texts.push_back({a, b, c, d});
  for (const L layout : {L::Safe, L::Big5, L::Gbk, L::Gb18030, L::ShiftJis}) {
    for (const bool noBackslashEscapes : {false, true}) {
      for (const std::string& text : texts) {
        const std::string escaped = EscapeString(text, noBackslashEscapes, layout);
        const auto read = ServerReads(escaped, noBackslashEscapes, layout);
        ASSERT_EQ(read, text) << "layout " << static_cast<int>(layout) << ", mode "
                              << noBackslashEscapes << ", escaped " << escaped;
      }
    }
  }
}

TEST(Escape, LayoutsByName) {
  EXPECT_EQ(LayoutOfCharset("GBK"), L::Gbk);
  EXPECT_EQ(LayoutOfCharset("cp932"), L::ShiftJis);
  EXPECT_EQ(LayoutOfCharset("Sjis"), L::ShiftJis);
  EXPECT_EQ(LayoutOfCharset("gb18030"), L::Gb18030);
  EXPECT_EQ(LayoutOfCharset("big5"), L::Big5);
  EXPECT_EQ(LayoutOfCharset("gbk2"), L::Safe);
  EXPECT_EQ(LayoutOfCharset("utf8mb4"), L::Safe);
  EXPECT_EQ(LayoutOfCharset(""), L::Safe);
}

TEST(CharsetNames, OnlyNamesThatCannotEndAStatementAreWellFormed) {
  for (const char* name : {"", "cp1251", "UTF8MB4", "utf8mb4_0900", "latin1"})
    EXPECT_TRUE(IsWellFormedCharsetName(name)) << name;
  for (const char* name :
       {"cp1251; drop table t", "cp-1251", "'cp1251'", "cp1251 ", "`x`", "\xCA\xEE\xE4"})
    EXPECT_FALSE(IsWellFormedCharsetName(name)) << name;
  EXPECT_TRUE(IsWellFormedCharsetName(std::string(kMaxCharsetNameLength, 'a')));
  EXPECT_FALSE(IsWellFormedCharsetName(std::string(kMaxCharsetNameLength + 1, 'a')));
}

TEST(CharsetNames, TheHandshakeCarriesOnlyWhatTheServerKnows) {
  EXPECT_EQ(HandshakeCharsetNumber("cp1251", "5.0.96"), 51);
  EXPECT_EQ(HandshakeCharsetNumber("CP1251", "10.11.9-MariaDB"), 51);
  EXPECT_EQ(HandshakeCharsetNumber("utf8mb4", "5.5.5-10.11.9-MariaDB"), 45);
  EXPECT_EQ(HandshakeCharsetNumber("utf8mb4", "5.5.3"), 45);
  EXPECT_EQ(HandshakeCharsetNumber("utf8mb4", "5.1.73-log"), std::nullopt)
      << "a server without it would fall back to its default in silence";
  EXPECT_EQ(HandshakeCharsetNumber("utf8mb4", ""), std::nullopt);
  EXPECT_EQ(HandshakeCharsetNumber("utf16", "8.4.3"), std::nullopt) << "no client's character set";
  EXPECT_EQ(HandshakeCharsetNumber("klingon", "8.4.3"), std::nullopt);
  EXPECT_EQ(CharsetOfCollation(28), "gbk");
  EXPECT_EQ(CharsetOfCollation(87), "gbk");
  EXPECT_EQ(CharsetOfCollation(96), "cp932");
  EXPECT_EQ(CharsetOfCollation(51), "cp1251");
  EXPECT_EQ(CharsetOfCollation(224), "");
}

}  // namespace

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

#include "platform/codepage.h"

namespace {

using platform::FromAnsi;
using platform::OleString;
using platform::ToAnsi;

TEST(CodePage, EveryByteSurvivesARoundTrip) {
  std::string all;
  for (int byte = 0; byte < 256; ++byte) all.push_back(static_cast<char>(byte));
  const OleString wide = FromAnsi(all);
  ASSERT_EQ(wide.size(), 256u);
  EXPECT_EQ(ToAnsi(wide), all);
}

// The system's iconv knows Windows-1251 too; the two tables must agree on
// every byte that has a character (0x98 has none).
TEST(CodePage, TableAgreesWithTheSystemConverter) {
  iconv_t converter = iconv_open("UTF-16LE", "CP1251");
  ASSERT_NE(converter, reinterpret_cast<iconv_t>(-1));
  for (int byte = 0; byte < 256; ++byte) {
    if (byte == 0x98) continue;
    char in = static_cast<char>(byte);
    unsigned char out[4] = {};
    char* inPtr = &in;
    char* outPtr = reinterpret_cast<char*>(out);
    size_t inLeft = 1, outLeft = sizeof out;
    ASSERT_NE(iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft), static_cast<size_t>(-1));
    const char16_t expected = static_cast<char16_t>(out[0] | out[1] << 8);
    EXPECT_EQ(FromAnsi(std::string(1, in))[0], expected) << "byte " << byte;
  }
  iconv_close(converter);
}

TEST(CodePage, RussianWords) {
  struct Case {
    const char16_t* wide;
    const char* ansi;
  } cases[] = {
      {u"Сервер", "\xD1\xE5\xF0\xE2\xE5\xF0"},
      {u"ВыполнитьЗапрос", "\xC2\xFB\xEF\xEE\xEB\xED\xE8\xF2\xFC\xC7\xE0\xEF\xF0\xEE\xF1"},
      {u"Ёлка ёж № «»", "\xA8\xEB\xEA\xE0 \xB8\xE6 \xB9 \xAB\xBB"},
      {u"руб.", "\xF0\xF3\xE1."},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ToAnsi(c.wide), c.ansi);
    EXPECT_EQ(FromAnsi(c.ansi), c.wide);
  }
}

TEST(CodePage, UnmappableCharactersBecomeQuestionMarks) {
  EXPECT_EQ(ToAnsi(u"a\u00E9b"), "a?b");  // é is not in the code page
  EXPECT_EQ(ToAnsi(u"\u4E2D"), "?");
  // A character outside the basic plane is one '?', a lone surrogate too.
  EXPECT_EQ(ToAnsi(u"x\U0001F600y"), "x?y");
  EXPECT_EQ(ToAnsi(OleString{u'x', char16_t(0xD800), u'y'}), "x?y");
}

TEST(CodePage, EmbeddedNulsAreKept) {
  const std::string ansi("a\0\xC0", 3);
  const OleString wide = FromAnsi(ansi);
  EXPECT_EQ(wide, (OleString{u'a', 0, u'А'}));
  EXPECT_EQ(ToAnsi(wide), ansi);
}

TEST(CodePage, BstrHelpersTreatNullAsEmpty) {
  EXPECT_EQ(platform::AnsiFromBstr(nullptr), "");
  BSTR text = SysAllocString(u"Да");
  EXPECT_EQ(platform::AnsiFromBstr(text), "\xC4\xE0");
  SysFreeString(text);
}

}  // namespace

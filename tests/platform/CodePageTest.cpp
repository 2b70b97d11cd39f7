#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "platform/os/CodePage.h"
#include "support/StandInCodePage.h"

namespace {

using platform::FromAnsi;
using platform::ToAnsi;
using platform::TOleString;

TEST(CodePage, EveryByteSurvivesARoundTrip) {
  std::string all;
  for (int byte = 0; byte < 256; ++byte) all.push_back(static_cast<char>(byte));
  const TOleString wide = FromAnsi(all);
  ASSERT_EQ(wide.size(), 256u);
  EXPECT_EQ(ToAnsi(wide), all);
}

// The system's iconv knows both code pages too; the tables must agree on
// every byte that has a character there.
struct TableCase {
  unsigned CodePage;
  const char* IconvName;
  std::vector<int> Unassigned;
};

class TCodePageTable : public testing::TestWithParam<TableCase> {};

TEST_P(TCodePageTable, AgreesWithTheSystemConverter) {
  const TableCase& table = GetParam();
  StandInCodePage codePage(table.CodePage);
  iconv_t converter = iconv_open("UTF-16LE", table.IconvName);
  ASSERT_NE(converter, reinterpret_cast<iconv_t>(-1));
  for (int byte = 0; byte < 256; ++byte) {
    if (std::count(table.Unassigned.begin(), table.Unassigned.end(), byte)) continue;
    char in = static_cast<char>(byte);
    unsigned char out[4] = {};
    char* inPtr = &in;
    char* outPtr = reinterpret_cast<char*>(out);
    std::size_t inLeft = 1, outLeft = sizeof out;
    ASSERT_NE(iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft), static_cast<std::size_t>(-1));
    const char16_t expected = static_cast<char16_t>(out[0] | out[1] << 8);
    EXPECT_EQ(FromAnsi(std::string(1, in))[0], expected) << "byte " << byte;
    EXPECT_EQ(ToAnsi(TOleString(1, expected)), std::string(1, in)) << "byte " << byte;
  }
  iconv_close(converter);
}

INSTANTIATE_TEST_SUITE_P(StandIn, TCodePageTable,
                         testing::Values(TableCase{1251, "CP1251", {0x98}},
                                         TableCase{1252, "CP1252", {0x81, 0x8D, 0x8F, 0x90, 0x9D}}),
                         [](const testing::TestParamInfo<TableCase>& test) {
                           return "cp" + std::to_string(test.param.CodePage);
                         });

TEST(CodePage, OnlyTheTwoStandInCodePagesExist) {
  EXPECT_FALSE(platform::SetStandInCodePage(866));
  EXPECT_EQ(ToAnsi(u"Да"), "\xC4\xE0");  // still 1251
}

TEST(CodePage, ExactConversionRefusesWhatTheCodePageLacks) {
  EXPECT_EQ(platform::ToAnsiExactly(u"_Цена"), std::optional<std::string>("_\xD6\xE5\xED\xE0"));
  EXPECT_EQ(platform::ToAnsiExactly(u"caf\u00E9"), std::nullopt);
  EXPECT_EQ(platform::ToAnsiExactly(u"?"), std::optional<std::string>("?"));
  StandInCodePage western(1252);
  EXPECT_EQ(platform::ToAnsiExactly(u"caf\u00E9"), std::optional<std::string>("caf\xE9"));
  EXPECT_EQ(platform::ToAnsiExactly(u"Пароль"), std::nullopt);
  EXPECT_EQ(ToAnsi(u"Пароль"), "??????");
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
  EXPECT_EQ(ToAnsi(TOleString{u'x', char16_t(0xD800), u'y'}), "x?y");
}

TEST(CodePage, EmbeddedNulsAreKept) {
  const std::string ansi("a\0\xC0", 3);
  const TOleString wide = FromAnsi(ansi);
  EXPECT_EQ(wide, (TOleString{u'a', 0, u'А'}));
  EXPECT_EQ(ToAnsi(wide), ansi);
}

TEST(CodePage, BstrHelpersTreatNullAsEmpty) {
  EXPECT_EQ(platform::AnsiFromBstr(nullptr), "");
  BSTR text = SysAllocString(u"Да");
  EXPECT_EQ(platform::AnsiFromBstr(text), "\xC4\xE0");
  SysFreeString(text);
}

}  // namespace

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "platform/com/Bstr.h"
#include "platform/com/Com.h"

namespace {

std::uint32_t BytePrefix(BSTR text) {
  std::uint32_t prefix;
  std::memcpy(&prefix, reinterpret_cast<const char*>(text) - 4, sizeof prefix);
  return prefix;
}

TEST(TBstr, LayoutIsByteLengthPrefixThenUnitsThenNul) {
  BSTR text = SysAllocString(u"Дом");
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(BytePrefix(text), 6u);
  EXPECT_EQ(SysStringLen(text), 3u);
  EXPECT_EQ(SysStringByteLen(text), 6u);
  EXPECT_EQ(text[0], u'Д');
  EXPECT_EQ(text[3], u'\0');
  SysFreeString(text);
}

TEST(TBstr, EmbeddedNulsCountTowardsTheLength) {
  const char16_t units[] = {u'a', 0, u'b', 0};
  BSTR text = SysAllocStringLen(units, 4);
  EXPECT_EQ(SysStringLen(text), 4u);
  EXPECT_EQ(std::memcmp(text, units, sizeof units), 0);
  EXPECT_EQ(text[4], u'\0');
  SysFreeString(text);
}

TEST(TBstr, NullIsTheEmptyString) {
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  SysFreeString(nullptr);

  BSTR zeros = SysAllocStringLen(nullptr, 2);  // room for text, zero-filled
  EXPECT_EQ(SysStringLen(zeros), 2u);
  EXPECT_EQ(zeros[0], 0);
  EXPECT_EQ(zeros[2], 0);
  SysFreeString(zeros);
}

TEST(TBstr, OddByteLengthStillEndsInAWholeNul) {
  BSTR bytes = SysAllocStringByteLen("abc", 3);
  EXPECT_EQ(SysStringByteLen(bytes), 3u);
  EXPECT_EQ(SysStringLen(bytes), 1u);
  EXPECT_EQ(std::memcmp(bytes, "abc\0\0", 5), 0);
  SysFreeString(bytes);
}

TEST(TBstr, ImpossibleLengthsFailInsteadOfWrapping) {
  EXPECT_EQ(SysAllocStringLen(nullptr, 0x80000000u), nullptr);
  EXPECT_EQ(SysAllocStringByteLen(nullptr, 0xFFFFFFFFu), nullptr);
}

TEST(TBstr, ReAllocFromItsOwnTextKeepsTheText) {
  BSTR text = SysAllocString(u"hello world");
  // The new text lies inside the string being replaced.
  ASSERT_TRUE(SysReAllocStringLen(&text, text + 6, 5));
  EXPECT_EQ(platform::TOleStringView(text, SysStringLen(text)), u"world");
  ASSERT_TRUE(SysReAllocString(&text, text + 1));
  EXPECT_EQ(platform::TOleStringView(text, SysStringLen(text)), u"orld");
  ASSERT_TRUE(SysReAllocString(&text, nullptr));
  EXPECT_EQ(text, nullptr);
  EXPECT_FALSE(SysReAllocString(nullptr, u"x"));
}

TEST(BstrOwner, CopiesMovesAndDetaches) {
  platform::TBstr original = platform::TBstr::FromAnsi("\xD0\xE0\xE7");  // "Раз" in cp1251
  EXPECT_EQ(original.View(), u"Раз");

  platform::TBstr copy = original;
  EXPECT_NE(copy.Get(), original.Get());
  EXPECT_EQ(copy.ToAnsi(), "\xD0\xE0\xE7");

  platform::TBstr moved = std::move(copy);
  EXPECT_EQ(copy.Get(), nullptr);
  EXPECT_EQ(moved.Length(), 3u);

  BSTR raw = moved.Detach();
  EXPECT_EQ(moved.Get(), nullptr);
  platform::TBstr adopted = platform::TBstr::Attach(raw);
  EXPECT_EQ(adopted.Get(), raw);

  // An out-parameter slot frees what was there before.
  *adopted.Out() = SysAllocString(u"new");
  EXPECT_EQ(adopted.View(), u"new");

  // The empty text is a real, empty BSTR, not null.
  platform::TBstr empty{platform::TOleStringView()};
  EXPECT_NE(empty.Get(), nullptr);
  EXPECT_EQ(empty.Length(), 0u);
}

}  // namespace

#include <gtest/gtest.h>

#include <string_view>

#include "platform/com/Com.h"

namespace {

TEST(Guid, BracedTextRoundTrips) {
  OLECHAR text[39];
  ASSERT_EQ(StringFromGUID2(IID_IErrorLog, text, 39), 39);
  EXPECT_EQ(std::u16string_view(text), u"{3127CA40-446E-11CE-8135-00AA004BB851}");

  CLSID parsed{};
  ASSERT_EQ(CLSIDFromString(text, &parsed), S_OK);
  EXPECT_TRUE(IsEqualGUID(parsed, IID_IErrorLog));
  // Lower-case digits are read too.
  ASSERT_EQ(CLSIDFromString(u"{00020400-0000-0000-c000-000000000046}", &parsed), S_OK);
  EXPECT_TRUE(parsed == IID_IDispatch);
  EXPECT_FALSE(parsed == IID_IUnknown);
}

TEST(Guid, ShortBufferWritesNothing) {
  OLECHAR text[38] = {u'x'};
  EXPECT_EQ(StringFromGUID2(IID_IUnknown, text, 38), 0);
  EXPECT_EQ(text[0], u'x');
}

TEST(Guid, MalformedTextIsRejected) {
  const char16_t* cases[] = {
      u"",
      u"3127CA40-446E-11CE-8135-00AA004BB851",     // no braces
      u"{3127CA40-446E-11CE-8135-00AA004BB851",    // cut short
      u"{3127CA40-446E-11CE-8135-00AA004BB851}x",  // trailing text
      u"{3127CA40+446E-11CE-8135-00AA004BB851}",   // wrong separator
      u"{3127CA4G-446E-11CE-8135-00AA004BB851}",   // not hex
  };
  for (const char16_t* text : cases) {
    CLSID parsed = IID_IUnknown;
    EXPECT_EQ(CLSIDFromString(text, &parsed), CO_E_CLASSSTRING) << std::u16string_view(text).size();
    EXPECT_TRUE(parsed == IID_IUnknown);
  }
}

}  // namespace

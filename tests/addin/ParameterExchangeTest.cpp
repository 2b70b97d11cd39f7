// The conversion of handler values into kinds the host can hold.
#include <gtest/gtest.h>

#include "addin/ParameterExchange.h"
#include "support/RawVariant.h"

namespace {

using platform::TOleVariant;

TEST(HostValue, ConvertsKindsTheHostCannotHold) {
  struct {
    const char* Name;
    TOleVariant In;
    VARTYPE Type;
    const char* Text;
  } const cases[] = {
      {"I1", RawVariant(VT_I1, 0xFF), VT_I4, "-1"},
      {"UI1", RawVariant(VT_UI1, 200), VT_I4, "200"},
      {"UI2", RawVariant(VT_UI2, 65535), VT_I4, "65535"},
      {"UI4 fits", RawVariant(VT_UI4, 2147483647), VT_I4, "2147483647"},
      {"UI4 too big", RawVariant(VT_UI4, 2147483648u), VT_R8, "2147483648"},
      {"I8 fits", TOleVariant(std::int64_t{-2147483648LL}), VT_I4, "-2147483648"},
      {"I8 too big", TOleVariant(std::int64_t{1} << 40), VT_R8, "1099511627776"},
      {"I8 too small", TOleVariant(-(std::int64_t{1} << 31) - 1), VT_R8, "-2147483649"},
      {"I4 unchanged", TOleVariant(5), VT_I4, "5"},
      {"text unchanged", TOleVariant("x"), VT_BSTR, "x"},
      {"null unchanged", TOleVariant::Null(), VT_NULL, ""},
      {"UI8 unchanged", RawVariant(VT_UI8, 7), VT_UI8, "7"},
  };
  for (const auto& c : cases) {
    const TOleVariant out = addin::HostValue(c.In);
    EXPECT_EQ(out.Type(), c.Type) << c.Name;
    if (!out.IsNull()) {
      EXPECT_EQ(out.ToString(), c.Text) << c.Name;
    }
  }
}

TEST(HostValue, ResolvesReferences) {
  TOleVariant target(std::int64_t{9});
  VARIANT reference;
  VariantInit(&reference);
  reference.vt = VT_VARIANT | VT_BYREF;
  reference.pvarVal = target.Get();
  const TOleVariant out = addin::HostValue(TOleVariant::Attach(reference));
  EXPECT_EQ(out.Type(), VT_I4);
  EXPECT_EQ(out.ToInt32(), 9);
}

TEST(ParamsFromHost, CopiesAnyLowerBound) {
  SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, -2, 2);
  TOleVariant first("a"), second(2);
  LONG index = -2;
  SafeArrayPutElement(array, &index, first.Get());
  index = -1;
  SafeArrayPutElement(array, &index, second.Get());
  const addin::TParams params = addin::ParamsFromHost(array);
  ASSERT_EQ(params.size(), 2u);
  EXPECT_EQ(params[0].ToString(), "a");
  EXPECT_EQ(params[1].ToInt32(), 2);
  SafeArrayDestroy(array);
  EXPECT_TRUE(addin::ParamsFromHost(nullptr).empty());
}

}  // namespace

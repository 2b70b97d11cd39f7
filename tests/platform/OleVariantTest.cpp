#include "platform/com/OleVariant.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "CountingDispatch.h"
#include "support/RawVariant.h"

namespace {

using platform::TOleVariant;
using platform_test::CountingDispatch;

// Renders a conversion's result, or the message it failed with, so that
// successes and failures share one table.
template <typename Convert>
std::string Outcome(const TOleVariant& value, Convert convert) {
  try {
    const auto result = convert(value);
    if constexpr (std::is_same_v<decltype(result), const std::string>) {
      return result;
    } else if constexpr (std::is_same_v<decltype(result), const bool>) {
      return result ? "true" : "false";
    } else if constexpr (std::is_same_v<decltype(result), const double>) {
      char buffer[64];
      return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, result).ptr);
    } else {
      return std::to_string(result);
    }
  } catch (const platform::TOleError& error) {
    return error.what();
  }
}

struct Case {
  const char* name;
  TOleVariant value;
  std::string expected;
};

TOleVariant Currency(LONGLONG scaled) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_CY;
  v.cyVal.int64 = scaled;
  return TOleVariant::Attach(v);
}

TOleVariant Decimal(ULONG low, BYTE scale, bool negative) {
  VARIANT v;
  VariantInit(&v);
  v.decVal.Lo32 = low;
  v.decVal.scale = scale;
  v.decVal.sign = negative ? DECIMAL_NEG : 0;
  v.vt = VT_DECIMAL;
  return TOleVariant::Attach(v);
}

void ExpectAll(const std::vector<Case>& cases, auto convert) {
  for (const Case& c : cases) EXPECT_EQ(Outcome(c.value, convert), c.expected) << c.name;
}

TEST(OleVariantConversion, ToString) {
  ExpectAll(
      {
          {"empty", TOleVariant(), ""},
          {"int", TOleVariant(-5), "-5"},
          {"int64 min", TOleVariant(std::numeric_limits<std::int64_t>::min()),
           "-9223372036854775808"},
          {"uint64", RawVariant(VT_UI8, 18446744073709551615ull), "18446744073709551615"},
          {"double", TOleVariant(0.4375), "0.4375"},
          {"double shortest", TOleVariant(0.1), "0.1"},
          {"double large", TOleVariant(1e20), "1e+20"},
          {"negative zero", TOleVariant(-0.0), "0"},
          {"true", TOleVariant::Boolean(true), "True"},
          {"false", TOleVariant::Boolean(false), "False"},
          {"text", TOleVariant("\xD1\xE5\xF0\xE2\xE5\xF0"), "\xD1\xE5\xF0\xE2\xE5\xF0"},
          {"date", TOleVariant::Date(45351), "2024-02-29"},
          {"date and time", TOleVariant::Date(45351.5), "2024-02-29 12:00:00"},
          {"date zero", TOleVariant::Date(0), "1899-12-30"},
          {"date before zero", TOleVariant::Date(-1.25), "1899-12-29 06:00:00"},
          {"date rounding to midnight", TOleVariant::Date(45351.9999999), "2024-03-01"},
          {"date out of range", TOleVariant::Date(1e10),
           "Overflow while converting variant of type (Date) into type (String)"},
          {"currency", Currency(12345), "1.2345"},
          {"currency whole", Currency(-50000), "-5"},
          {"decimal", Decimal(12345, 2, true), "-123.45"},
          {"decimal small", Decimal(5, 3, false), "0.005"},
          {"null", TOleVariant::Null(),
           "Could not convert variant of type (Null) into type (String)"},
          {"error", TOleVariant::Omitted(),
           "Could not convert variant of type (Error) into type (String)"},
          {"object", TOleVariant(static_cast<IDispatch*>(nullptr)),
           "Could not convert variant of type (Dispatch) into type (String)"},
      },
      [](const TOleVariant& v) { return v.ToString(); });
}

TEST(OleVariantConversion, ToInt32) {
  ExpectAll(
      {
          {"empty", TOleVariant(), "0"},
          {"text", TOleVariant("  42\t"), "42"},
          {"negative text", TOleVariant("-7"), "-7"},
          {"plus sign", TOleVariant("+7"), "7"},
          {"half to even down", TOleVariant("2.5"), "2"},
          {"half to even up", TOleVariant("3.5"), "4"},
          {"negative half", TOleVariant("-2.5"), "-2"},
          {"above half", TOleVariant("2.5000001"), "3"},
          {"exponent", TOleVariant("1e3"), "1000"},
          {"double", TOleVariant(-1.5), "-2"},
          {"true", TOleVariant::Boolean(true), "-1"},
          {"byte", RawVariant(VT_UI1, 200), "200"},
          {"short int", RawVariant(VT_I1, 0xFF), "-1"},
          {"currency", Currency(25000), "2"},
          {"int32 max", TOleVariant("2147483647"), "2147483647"},
          {"int64 above int32", TOleVariant(std::int64_t{1} << 40),
           "Overflow while converting variant of type (Int64) into type (Integer)"},
          {"text above int32", TOleVariant("99999999999"),
           "Overflow while converting variant of type (String) into type (Integer)"},
          {"nan", TOleVariant(std::nan("")),
           "Overflow while converting variant of type (Double) into type (Integer)"},
          {"letters", TOleVariant("abc"),
           "Could not convert variant of type (String) into type (Integer)"},
          {"empty text", TOleVariant(""),
           "Could not convert variant of type (String) into type (Integer)"},
          {"inner blank", TOleVariant("1 2"),
           "Could not convert variant of type (String) into type (Integer)"},
          {"comma", TOleVariant("1,5"),
           "Could not convert variant of type (String) into type (Integer)"},
          {"null", TOleVariant::Null(),
           "Could not convert variant of type (Null) into type (Integer)"},
      },
      [](const TOleVariant& v) { return v.ToInt32(); });
}

TEST(OleVariantConversion, ToInt64) {
  ExpectAll(
      {
          {"max", TOleVariant("9223372036854775807"), "9223372036854775807"},
          {"min", TOleVariant("-9223372036854775808"), "-9223372036854775808"},
          {"leading zeros", TOleVariant("000000000000000000000012"), "12"},
          {"above max", TOleVariant("9223372036854775808"),
           "Overflow while converting variant of type (String) into type (Int64)"},
          {"far above max", TOleVariant("99999999999999999999"),
           "Overflow while converting variant of type (String) into type (Int64)"},
          {"rounds past max", TOleVariant("9223372036854775807.5"),
           "Overflow while converting variant of type (String) into type (Int64)"},
          {"uint64 max", RawVariant(VT_UI8, 18446744073709551615ull),
           "Overflow while converting variant of type (UInt64) into type (Int64)"},
          {"huge exponent", TOleVariant("1e400"),
           "Overflow while converting variant of type (String) into type (Int64)"},
          {"fraction only", TOleVariant(".5"), "0"},
          {"trailing point", TOleVariant("5."), "5"},
          {"no digits", TOleVariant("-."),
           "Could not convert variant of type (String) into type (Int64)"},
          {"exponent without digits", TOleVariant("1e"),
           "Could not convert variant of type (String) into type (Int64)"},
          {"decimal", Decimal(12355, 1, true), "-1236"},
          {"date", TOleVariant::Date(45351.75), "45352"},
      },
      [](const TOleVariant& v) { return v.ToInt64(); });
}

TEST(OleVariantConversion, ToDouble) {
  ExpectAll(
      {
          {"empty", TOleVariant(), "0"},
          {"text", TOleVariant(" 0.4375 "), "0.4375"},
          {"exponent", TOleVariant("-1.5E-3"), "-0.0015"},
          {"underflow is zero", TOleVariant("1e-400"), "0"},
          {"overflow", TOleVariant("1e400"),
           "Overflow while converting variant of type (String) into type (Double)"},
          {"infinity text", TOleVariant("inf"),
           "Could not convert variant of type (String) into type (Double)"},
          {"hex text", TOleVariant("0x10"),
           "Could not convert variant of type (String) into type (Double)"},
          {"int64", TOleVariant(std::int64_t{1} << 40), "1099511627776"},
          {"currency", Currency(12345), "1.2345"},
          {"decimal", Decimal(25, 1, false), "2.5"},
          {"date", TOleVariant::Date(45351.5), "45351.5"},
          {"error", TOleVariant::Error(E_FAIL),
           "Could not convert variant of type (Error) into type (Double)"},
      },
      [](const TOleVariant& v) { return v.ToDouble(); });
}

TEST(OleVariantConversion, ToBool) {
  ExpectAll(
      {
          {"empty", TOleVariant(), "false"},
          {"zero", TOleVariant(0), "false"},
          {"non-zero", TOleVariant(-3), "true"},
          {"fraction", TOleVariant(0.1), "true"},
          {"true text", TOleVariant(" true "), "true"},
          {"false text", TOleVariant("FALSE"), "false"},
          {"numeric text zero", TOleVariant("0.0"), "false"},
          {"numeric text", TOleVariant("2"), "true"},
          {"other text", TOleVariant("yes"),
           "Could not convert variant of type (String) into type (Boolean)"},
          {"null", TOleVariant::Null(),
           "Could not convert variant of type (Null) into type (Boolean)"},
      },
      [](const TOleVariant& v) { return v.ToBool(); });
}

TEST(OleVariantConversion, ReferencesAreFollowed) {
  LONG number = 41;
  VARIANT byRef;
  VariantInit(&byRef);
  byRef.vt = VT_BYREF | VT_I4;
  byRef.plVal = &number;
  const TOleVariant intRef = TOleVariant::CopyOf(byRef);
  EXPECT_EQ(intRef.Type(), VT_BYREF | VT_I4);
  EXPECT_EQ(intRef.ValueType(), VT_I4);
  EXPECT_EQ(intRef.ToInt32(), 41);
  number = 42;  // a reference, not a copy
  EXPECT_EQ(intRef.ToString(), "42");

  TOleVariant inner("x");
  VARIANT variantRef;
  VariantInit(&variantRef);
  variantRef.vt = VT_BYREF | VT_VARIANT;
  variantRef.pvarVal = inner.Get();
  const TOleVariant textRef = TOleVariant::CopyOf(variantRef);
  EXPECT_TRUE(textRef.IsString());
  EXPECT_EQ(textRef.ToString(), "x");

  const TOleVariant copy = textRef.Dereferenced();
  EXPECT_EQ(copy.Type(), VT_BSTR);
  EXPECT_NE(copy.Get()->bstrVal, inner.Get()->bstrVal);

  TOleVariant omitted = TOleVariant::Omitted();
  variantRef.pvarVal = omitted.Get();
  EXPECT_TRUE(TOleVariant::CopyOf(variantRef).IsError(DISP_E_PARAMNOTFOUND));

  TOleVariant null = TOleVariant::Null();
  variantRef.pvarVal = null.Get();
  EXPECT_EQ(
      Outcome(TOleVariant::CopyOf(variantRef), [](const TOleVariant& v) { return v.ToInt64(); }),
      "Could not convert variant of type (Null) into type (Int64)");

  // A null reference fails cleanly instead of being read.
  byRef.plVal = nullptr;
  EXPECT_EQ(Outcome(TOleVariant::CopyOf(byRef), [](const TOleVariant& v) { return v.ToInt32(); }),
            "Could not convert variant of type (Integer) into type (Integer)");
  // So does a reference cycle.
  VARIANT loop;
  loop.vt = VT_BYREF | VT_VARIANT;
  loop.pvarVal = &loop;
  EXPECT_THROW(TOleVariant::CopyOf(loop).ToString(), platform::TOleError);
}

// Text written by ToString must read back to the same number.
TEST(OleVariantConversion, NumbersSurviveTextRoundTrips) {
  const double doubles[] = {
      0.4375, 0.1,  1.0 / 3,       -2.5e-300, 4.9e-324, 1.7976931348623157e308,
      1e15,   1e16, 123456789.125, -7.0};
  for (const double value : doubles) {
    const std::string text = TOleVariant(value).ToString();
    EXPECT_EQ(TOleVariant(text).ToDouble(), value) << text;
  }
  const std::int64_t integers[] = {0, -1, 2147483648LL, std::numeric_limits<std::int64_t>::max(),
                                   std::numeric_limits<std::int64_t>::min()};
  for (const std::int64_t value : integers) {
    const std::string text = TOleVariant(value).ToString();
    EXPECT_EQ(TOleVariant(text).ToInt64(), value) << text;
  }
}

TEST(TOleVariant, ConstructorsChooseTheKind) {
  EXPECT_EQ(TOleVariant(5).Type(), VT_I4);
  EXPECT_EQ(TOleVariant(std::int16_t{5}).Type(), VT_I4);
  EXPECT_EQ(TOleVariant(std::uint16_t{5}).Type(), VT_I4);
  EXPECT_EQ(TOleVariant(std::uint32_t{5}).Type(), VT_I8);
  EXPECT_EQ(TOleVariant(std::int64_t{5}).Type(), VT_I8);
  EXPECT_EQ(TOleVariant(5.0).Type(), VT_R8);
  EXPECT_EQ(TOleVariant("5").Type(), VT_BSTR);
  EXPECT_EQ(TOleVariant(std::string("5")).Type(), VT_BSTR);
  EXPECT_EQ(TOleVariant::Date(1).Type(), VT_DATE);
  EXPECT_EQ(TOleVariant::Omitted().Get()->scode, DISP_E_PARAMNOTFOUND);
  EXPECT_EQ(TOleVariant::FromWide(u"Да").ToString(), "\xC4\xE0");
  EXPECT_TRUE(TOleVariant().IsEmpty());
  EXPECT_TRUE(TOleVariant::Null().IsNull());
  EXPECT_FALSE(TOleVariant::Error(E_FAIL).IsError(DISP_E_PARAMNOTFOUND));
}

TEST(TOleVariant, ObjectReferencesFollowTheValue) {
  CountingDispatch object;
  {
    TOleVariant held(static_cast<IDispatch*>(&object));
    EXPECT_EQ(object.References(), 2u);
    EXPECT_EQ(held.ToDispatch(), &object);

    TOleVariant copy = held;
    EXPECT_EQ(object.References(), 3u);
    TOleVariant moved = std::move(copy);
    EXPECT_EQ(object.References(), 3u);
    EXPECT_TRUE(copy.IsEmpty());

    moved = TOleVariant(1);  // assignment releases the previous value
    EXPECT_EQ(object.References(), 2u);

    VARIANT raw = held.Detach();
    EXPECT_TRUE(held.IsEmpty());
    EXPECT_EQ(object.References(), 2u);
    TOleVariant adopted = TOleVariant::Attach(raw);
    EXPECT_EQ(raw.vt, VT_EMPTY);

    VARIANT dest;
    VariantInit(&dest);
    adopted.CopyTo(&dest);
    EXPECT_EQ(object.References(), 3u);
    TOleVariant("text").CopyTo(&dest);  // releases the object it held
    EXPECT_EQ(object.References(), 2u);
    VariantClear(&dest);

    *adopted.Out() = TOleVariant(2).Detach();
    EXPECT_EQ(object.References(), 1u);
  }
  EXPECT_EQ(object.References(), 1u);
  EXPECT_EQ(Outcome(TOleVariant(3), [](const TOleVariant& v) { return v.ToDispatch() != nullptr; }),
            "Could not convert variant of type (Integer) into type (Dispatch)");
}

TEST(TOleVariant, KindNamesOfUnusualKinds) {
  EXPECT_EQ(TOleVariant::KindName(VT_ARRAY | VT_VARIANT), "Array of Variant");
  EXPECT_EQ(TOleVariant::KindName(VT_BYREF | VT_DATE), "Date");
  EXPECT_EQ(TOleVariant::KindName(36), "Type 0x0024");
}

}  // namespace

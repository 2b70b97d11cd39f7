#include "connection/values/TextNumbers.h"

#include <gtest/gtest.h>

#include <optional>

namespace connection {
namespace {

TEST(TextToInt32, DecimalAndHexadecimalForms) {
  struct Case {
    const char* text;
    std::optional<std::int32_t> expected;
  };
  const Case cases[] = {
      {"0", 0},
      {"42", 42},
      {"  -17", -17},
      {"+5", 5},
      {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      {"2147483648", std::nullopt},
      {"4294967295", std::nullopt},
      {"99999999999999999999999", std::nullopt},
      {"$1F", 31},
      {"x1f", 31},
      {"X10", 16},
      {"0x7FFFFFFF", 2147483647},
      {"0X10", 16},
      {"-$10", -16},
      {"$80000000", std::nullopt},
      {"$", std::nullopt},
      {"0x", std::nullopt},
      {"1F", std::nullopt},
      {"5 ", std::nullopt},
      {"1.0", std::nullopt},
      {"", std::nullopt},
      {"-", std::nullopt},
      {"abc", std::nullopt},
      {"Id", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TextToInt32(c.text), c.expected) << '"' << c.text << '"';
  }
}

TEST(TextToDouble, PointDecimalsAndExponents) {
  struct Case {
    const char* text;
    std::optional<double> expected;
  };
  const Case cases[] = {
      {"3.25", 3.25},
      {"-0.5", -0.5},
      {"+7", 7},
      {" 12.5 ", 12.5},
      {"1e3", 1000},
      {"2.5E-1", 0.25},
      {".5", 0.5},
      {"5.", 5},
      {"9007199254740993", 9007199254740992.0},  // 2^53 + 1: the nearest double
      {"18446744073709551615", 18446744073709551616.0},
      {"1,5", std::nullopt},
      {"1e", std::nullopt},
      {"inf", std::nullopt},
      {"nan", std::nullopt},
      {"1e400", std::nullopt},
      {".", std::nullopt},
      {"", std::nullopt},
      {"0x10", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TextToDouble(c.text), c.expected) << '"' << c.text << '"';
  }
}

}  // namespace
}  // namespace connection

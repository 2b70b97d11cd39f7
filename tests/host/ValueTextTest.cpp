// The runner's value texts and its UTF-8 handling, where scripts cannot
// easily reach.
#include <gtest/gtest.h>

#include <cmath>

#include "host/Utf8.h"
#include "host/ValueText.h"

namespace {

TEST(DateText, CalendarAndTimeOfDay) {
  struct {
    double Date;
    const char* Text;
  } const cases[] = {
      {0, "1899-12-30"},
      {1, "1899-12-31"},
      {2, "1900-01-01"},
      {45351, "2024-02-29"},
      {45351.5, "2024-02-29 12:00:00"},
      {45351.25 + 1.0 / 86400, "2024-02-29 06:00:01"},
      {45351.9999999, "2024-03-01"},   // rounds to the next midnight
      {-1.25, "1899-12-29 06:00:00"},  // days backwards, time forwards
      {-1.9999999, "1899-12-30"},      // rounding up goes forward in time
      {-0.9999999, "1899-12-31"},
      {2958465, "9999-12-31"},
      {-657434, "0100-01-01"},
      {2958466, "invalid"},  // outside the automation date range
      {1e300, "invalid"},
      {std::nan(""), "invalid"},
  };
  for (const auto& c : cases) EXPECT_EQ(host::DateText(c.Date), c.Text) << c.Date;
}

TEST(DoubleText, ShortestExactText) {
  EXPECT_EQ(host::DoubleText(0.4375), "0.4375");
  EXPECT_EQ(host::DoubleText(0.1), "0.1");
  EXPECT_EQ(host::DoubleText(1099511627776.0), "1099511627776");
  EXPECT_EQ(host::DoubleText(-2.5), "-2.5");
}

TEST(Utf8, RoundTripAndMalformedInput) {
  const std::string text = "héllo, мир, 𝄞";
  const platform::TOleString wide = host::Utf16FromUtf8(text);
  EXPECT_EQ(wide.size(), 14u);  // the clef takes two units
  EXPECT_EQ(host::Utf8FromUtf16(wide), text);

  struct {
    const char* Name;
    std::string In;
    const char* Out;
  } const malformed[] = {
      {"lone continuation", "a\x80z", "a\xEF\xBF\xBDz"},
      {"truncated", "a\xD0", "a\xEF\xBF\xBD"},
      {"overlong", "\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"surrogate", "\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
  };
  for (const auto& c : malformed)
    EXPECT_EQ(host::Utf8FromUtf16(host::Utf16FromUtf8(c.In)), c.Out) << c.Name;

  const OLECHAR lone[] = {0xD800, 'x'};
  EXPECT_EQ(host::Utf8FromUtf16(platform::TOleStringView(lone, 2)), "\xEF\xBF\xBDx");
}

}  // namespace

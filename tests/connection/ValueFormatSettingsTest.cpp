#include "connection/values/ValueFormatSettings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

namespace connection {
namespace {

// OLE day numbers of a few calendar dates, computed independently.
constexpr double kDay20240229 = 45351;
constexpr double kDay19700101 = 25569;

TEST(ValueFormatSettings, HoldsTheFixedFormat) {
  const TFormatSettings& s = ValueFormatSettings;
  EXPECT_EQ(s.DecimalSeparator, '.');
  EXPECT_EQ(s.ThousandSeparator, '\0');
  EXPECT_EQ(s.DateSeparator, '-');
  EXPECT_EQ(s.TimeSeparator, ':');
  EXPECT_EQ(s.ListSeparator, ';');
  EXPECT_EQ(s.CurrencyString, "\xF0\x2E");
  EXPECT_EQ(s.ShortDateFormat, "yyyy-MM-dd");
  EXPECT_EQ(s.ShortTimeFormat, "HH:mm:ss");
  EXPECT_EQ(s.TwoDigitYearCenturyWindow, 2029);
  EXPECT_EQ(s.ShortMonthNames[11], "Dec");
  EXPECT_EQ(s.LongDayNames[0], "Sunday");
}

struct DateCase {
  const char* text;
  std::optional<double> expected;
};

TEST(ValueFormatSettings, ReadsDatesInYearMonthDayOrder) {
  const DateCase cases[] = {
      {"2024-02-29", kDay20240229},
      {"1970-01-01", kDay19700101},
      {"1899-12-30", 0},
      {"1899-12-29", -1},
      {"0001-01-01", -693593},
      {"9999-12-31", 2958465},
      {" 2024-02-29 ", kDay20240229},
      {"2024-2-9", kDay20240229 - 20},
      {"2024.02.29", std::nullopt},  // full stops are no date separator here
      {"29-02-2024", std::nullopt},  // read as year 29, month 2, day 2024
      {"2023-02-29", std::nullopt},
      {"2024-13-01", std::nullopt},
      {"0000-00-00", std::nullopt},
      {"2024-02", std::nullopt},
      {"2024-02-29x", std::nullopt},
      {"20240-02-29", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TextToDate(c.text, ValueFormatSettings, 2026), c.expected) << c.text;
  }
}

TEST(ValueFormatSettings, TwoDigitYearsStayAsWrittenUntil2029) {
  // Up to the year 2029 the base is 0 or negative: year 24 is the year 24.
  EXPECT_EQ(TextToDate("24-02-29", ValueFormatSettings, 2026), EncodeDate(24, 2, 29));
  EXPECT_EQ(TextToDate("5-01-01", ValueFormatSettings, 2029), EncodeDate(5, 1, 1));
  // Three digits are always taken as written.
  EXPECT_EQ(TextToDate("024-01-01", ValueFormatSettings, 2200), EncodeDate(24, 1, 1));
}

TEST(ValueFormatSettings, TwoDigitYearRuleMovesYearsByTheBase) {
  struct Case {
    int window, currentYear, year, expected;
  };
  const Case cases[] = {
      {2029, 2026, 24, 24},   // base -3: nothing moves
      {2029, 2129, 24, 124},  // base 100: 24 + 100, not below 100
      {2029, 2179, 24, 224},  // base 150: 24 + 100 = 124 < 150, so 224
      {50, 2026, 80, 1980},   // the classic window: base 1976
      {50, 2026, 24, 2024},   // 1924 is below 1976
      {0, 2026, 24, 2024},    // no window: only the century of the base is added
      {0, 2026, 99, 2099},
  };
  for (const auto& c : cases) {
    TFormatSettings settings = ValueFormatSettings;
    settings.TwoDigitYearCenturyWindow = c.window;
    EXPECT_EQ(ApplyTwoDigitYearWindow(c.year, c.currentYear, settings), c.expected)
        << c.window << " " << c.currentYear << " " << c.year;
  }
}

TEST(ValueFormatSettings, ReadsTimesOfDay) {
  const DateCase cases[] = {
      {"10:30:00", 0.4375},
      {"00:00:00", 0},
      {"12:00", 0.5},
      {"23:59:59", (86400.0 - 1) / 86400},
      {"06:00:00.5", (6 * 3600 + 0.5) / 86400},
      {"100:00:00", std::nullopt},  // outside a day
      {"24:00:00", std::nullopt},
      {"10:60:00", std::nullopt},
      {"-10:00:00", std::nullopt},
      {"10", std::nullopt},
      {"10:30:00 junk", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TextToTime(c.text, ValueFormatSettings), c.expected) << c.text;
  }
}

TEST(ValueFormatSettings, TwelveHourSuffixesOnlyWhenTheSettingsNameThem) {
  EXPECT_EQ(TextToTime("10:00 PM", ValueFormatSettings), std::nullopt);
  TFormatSettings settings = ValueFormatSettings;
  settings.TimeAMString = "AM";
  settings.TimePMString = "PM";
  EXPECT_EQ(TextToTime("10:00 pm", settings), 22.0 / 24);
  EXPECT_EQ(TextToTime("12:00 AM", settings), 0.0);
  EXPECT_EQ(TextToTime("12:00 PM", settings), 0.5);
  EXPECT_EQ(TextToTime("13:00 PM", settings), std::nullopt);
}

TEST(ValueFormatSettings, ReadsDateTimes) {
  const DateCase cases[] = {
      {"2024-02-29 12:00:00", kDay20240229 + 0.5},
      {"2024-02-29", kDay20240229},
      {"10:30:00", 0.4375},  // a time alone is a time on day 0
      {"1899-12-29 06:00:00", -1.25},
      {"0000-00-00 00:00:00", std::nullopt},
      {"2024-02-29 25:00:00", std::nullopt},
      {"2024-02-29T12:00:00", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TextToDateTime(c.text, ValueFormatSettings, 2026), c.expected) << c.text;
  }
}

// The day a date-time lands on, read the way hosts read OLE dates: the whole
// part, counted away from the epoch.
double DayOf(double oleDate) {
  return oleDate >= 0 ? std::floor(oleDate) : std::ceil(oleDate);
}

TEST(ValueFormatSettings, FractionsOfTheLastSecondNeverReachTheNextDay) {
  struct Case {
    const char* text;
    double day;
  };
  const Case cases[] = {
      {"9999-12-31 23:59:59.999999", 2958465},       {"9999-12-31 23:59:59.9999999999", 2958465},
      {"2024-02-29 23:59:59.9999999", kDay20240229}, {"1000-01-01 23:59:59.999999", -328716},
      {"1899-12-29 23:59:59.99999999999", -1},       {"23:59:59.99999999999999999", 0},
  };
  for (const Case& c : cases) {
    const std::optional<double> value = TextToDateTime(c.text, ValueFormatSettings, 2026);
    ASSERT_TRUE(value) << c.text;
    EXPECT_EQ(DayOf(*value), c.day) << c.text;
    // Still within the last second, not cut back to a whole second.
    EXPECT_GT(std::fabs(*value - c.day), 86399.0 / 86400) << c.text;
  }
  ASSERT_TRUE(TextToTime("23:59:59.9999999999", ValueFormatSettings));
  EXPECT_LT(*TextToTime("23:59:59.9999999999", ValueFormatSettings), 1.0);
}

}  // namespace
}  // namespace connection

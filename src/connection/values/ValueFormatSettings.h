// The fixed number and date format every field value conversion uses, in
// place of the user's regional settings, so that a value the server sends
// reads the same on every machine.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace connection {

struct TFormatSettings {
  int CurrencyFormat;
  int NegCurrFormat;
  char ThousandSeparator;  // '\0': none
  char DecimalSeparator;
  int CurrencyDecimals;
  char DateSeparator;
  char TimeSeparator;
  char ListSeparator;
  std::string CurrencyString;  // 8-bit ANSI text
  std::string ShortDateFormat;
  std::string LongDateFormat;
  std::string TimeAMString;
  std::string TimePMString;
  std::string ShortTimeFormat;
  std::string LongTimeFormat;
  std::array<std::string, 12> ShortMonthNames;
  std::array<std::string, 12> LongMonthNames;
  std::array<std::string, 7> ShortDayNames;
  std::array<std::string, 7> LongDayNames;
  // A count of years, not a small window: see ApplyTwoDigitYearWindow.
  int TwoDigitYearCenturyWindow;
};

// Filled once when the library loads; read-only afterwards.
extern const TFormatSettings ValueFormatSettings;

// OLE date number: days since 1899-12-30, the fraction being the time of day
// (for days before the epoch the fraction still counts forward in the day).
using TOleDate = double;

// Moves a year written with one or two digits by the settings' window:
// base = currentYear - window; year += base / 100 * 100 (truncated), plus 100
// when the window is non-zero and the year is still below base.
int ApplyTwoDigitYearWindow(int year, int currentYear, const TFormatSettings& settings);

// Year of the local calendar today, the reference of the two-digit-year rule.
int CurrentYear();

// A date written in the settings' short date order with the date separator.
// Nothing may follow but blanks. std::nullopt when it is not a valid date.
std::optional<TOleDate> TextToDate(std::string_view text, const TFormatSettings& settings,
                                   int currentYear = CurrentYear());

// A time of day "H:m[:s[.fraction]]" with the time separator and the
// settings' suffixes; hours outside the day do not convert.
std::optional<TOleDate> TextToTime(std::string_view text, const TFormatSettings& settings);

// A date optionally followed by blanks and a time; or a time alone (day 0).
std::optional<TOleDate> TextToDateTime(std::string_view text, const TFormatSettings& settings,
                                       int currentYear = CurrentYear());

// The OLE date number of a calendar date; std::nullopt outside 1..9999 or for
// a day the month does not have.
std::optional<TOleDate> EncodeDate(int year, int month, int day);

}  // namespace connection

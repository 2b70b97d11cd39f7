#include "connection/values/ValueFormatSettings.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace connection {

const TFormatSettings ValueFormatSettings{
    .CurrencyFormat = 3,
    .NegCurrFormat = 3,
    .ThousandSeparator = '\0',
    .DecimalSeparator = '.',
    .CurrencyDecimals = 2,
    .DateSeparator = '-',
    .TimeSeparator = ':',
    .ListSeparator = ';',
    .CurrencyString = "\xF0\x2E",  // Cyrillic "er" and a full stop in code page 1251
    .ShortDateFormat = "yyyy-MM-dd",
    .LongDateFormat = "yyyy-MM-dd",
    .TimeAMString = "",
    .TimePMString = "",
    .ShortTimeFormat = "HH:mm:ss",
    .LongTimeFormat = "HH:mm:ss",
    .ShortMonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov",
                        "Dec"},
    .LongMonthNames = {"January", "February", "March", "April", "May", "June", "July", "August",
                       "September", "October", "November", "December"},
    .ShortDayNames = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"},
    .LongDayNames = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"},
    .TwoDigitYearCenturyWindow = 2029,
};

namespace {

enum class TDateOrder { YMD, DMY, MDY };

// The latest time of day a double holds below a whole day.
const TOleDate kLastInstantOfDay = std::nextafter(1.0, 0.0);

// The order is that of the first year, month and day letters of the format.
TDateOrder DateOrderOf(std::string_view format) {
  for (char c : format) {
    switch (c) {
      case 'y':
      case 'Y':
        return TDateOrder::YMD;
      case 'd':
      case 'D':
        return TDateOrder::DMY;
      case 'm':
      case 'M':
        return TDateOrder::MDY;
      default:
        break;
    }
  }
  return TDateOrder::MDY;
}

// A cursor over the text with the scanning steps dates and times share.
class TScanner {
 public:
  explicit TScanner(std::string_view text) : text_(text) {}

  void SkipBlanks() {
    while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
  }

  // Up to 4 digits (enough for any year and to see that 100:00 is no hour).
  bool Number(int& value, int& digits) {
    SkipBlanks();
    value = 0;
    digits = 0;
    while (pos_ < text_.size() && IsDigit(text_[pos_]) && digits < 4) {
      value = value * 10 + (text_[pos_] - '0');
      ++digits;
      ++pos_;
    }
    return digits > 0;
  }

  bool Char(char c) {
    SkipBlanks();
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  // Case-insensitive match of a non-empty word.
  bool Word(std::string_view word) {
    SkipBlanks();
    if (word.empty() || text_.size() - pos_ < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
      if (Lower(text_[pos_ + i]) != Lower(word[i])) return false;
    }
    pos_ += word.size();
    return true;
  }

  // Digits after a decimal point, as a fraction of one.
  double Fraction() {
    double value = 0;
    double scale = 1;
    while (pos_ < text_.size() && IsDigit(text_[pos_])) {
      scale /= 10;
      value += (text_[pos_] - '0') * scale;
      ++pos_;
    }
    return value;
  }

  bool AtDigit() const { return pos_ < text_.size() && IsDigit(text_[pos_]); }

  bool AtEnd() {
    SkipBlanks();
    return pos_ == text_.size();
  }

 private:
  static bool IsDigit(char c) { return c >= '0' && c <= '9'; }
  static char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

  std::string_view text_;
  std::size_t pos_ = 0;
};

bool IsLeapYear(int year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to a proleptic Gregorian date (H. Hinnant's algorithm).
long long DaysFromCivil(long long y, int m, int d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const long long yoe = y - era * 400;
  const long long doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

std::optional<TOleDate> ScanDate(TScanner& scan, const TFormatSettings& settings, int currentYear) {
  int n1, n2, n3, l1, l2, l3;
  if (!scan.Number(n1, l1) || !scan.Char(settings.DateSeparator) || !scan.Number(n2, l2) ||
      !scan.Char(settings.DateSeparator) || !scan.Number(n3, l3)) {
    return std::nullopt;
  }
  // A fifth digit means the number did not end where a date part must.
  if (scan.AtDigit()) return std::nullopt;
  int year, month, day, yearDigits;
  switch (DateOrderOf(settings.ShortDateFormat)) {
    case TDateOrder::YMD:
      year = n1, yearDigits = l1, month = n2, day = n3;
      break;
    case TDateOrder::DMY:
      year = n3, yearDigits = l3, month = n2, day = n1;
      break;
    case TDateOrder::MDY:
    default:
      year = n3, yearDigits = l3, month = n1, day = n2;
      break;
  }
  if (yearDigits <= 2) year = ApplyTwoDigitYearWindow(year, currentYear, settings);
  return EncodeDate(year, month, day);
}

std::optional<TOleDate> ScanTime(TScanner& scan, const TFormatSettings& settings) {
  int hour, minute, second = 0, digits;
  double fraction = 0;
  if (!scan.Number(hour, digits) || !scan.Char(settings.TimeSeparator) ||
      !scan.Number(minute, digits)) {
    return std::nullopt;
  }
  if (scan.Char(settings.TimeSeparator)) {
    if (!scan.Number(second, digits)) return std::nullopt;
    if (scan.Char(settings.DecimalSeparator)) fraction = scan.Fraction();
  }
  if (scan.AtDigit()) return std::nullopt;
  // A suffix (only when the settings name one) reads the hour on a 12-hour clock.
  const bool am = scan.Word(settings.TimeAMString);
  const bool pm = !am && scan.Word(settings.TimePMString);
  if (am || pm) {
    if (hour < 1 || hour > 12) return std::nullopt;
    hour = hour % 12 + (pm ? 12 : 0);
  }
  if (hour > 23 || minute > 59 || second > 59) return std::nullopt;
  // Nine nines of a second at 23:59:59 round to a whole day in a double.
  return std::min((hour * 3600 + minute * 60 + second + fraction) / 86400.0, kLastInstantOfDay);
}

// A time of day put on a day number. The fraction of the day must not carry
// into the next day: near the top of the calendar a double cannot hold the
// last microseconds of 23:59:59 and would round up to the day after, and
// after 9999-12-31 outside the dates a host can take. Such a sum is held at
// the last double that still belongs to the day.
TOleDate OnDay(TOleDate date, TOleDate time) {
  // Before the epoch the day number is negative but the time still runs forward.
  if (date >= 0) return std::min(date + time, std::nextafter(date + 1, date));
  return std::max(date - time, std::nextafter(date - 1, date));
}

}  // namespace

int ApplyTwoDigitYearWindow(int year, int currentYear, const TFormatSettings& settings) {
  const int base = currentYear - settings.TwoDigitYearCenturyWindow;
  year += base / 100 * 100;
  if (settings.TwoDigitYearCenturyWindow > 0 && year < base) year += 100;
  return year;
}

int CurrentYear() {
  using namespace std::chrono;
  const auto today = floor<days>(system_clock::now());
  return static_cast<int>(year_month_day{today}.year());
}

std::optional<TOleDate> EncodeDate(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month)) {
    return std::nullopt;
  }
  return static_cast<TOleDate>(DaysFromCivil(year, month, day) - DaysFromCivil(1899, 12, 30));
}

std::optional<TOleDate> TextToDate(std::string_view text, const TFormatSettings& settings,
                                   int currentYear) {
  TScanner scan(text);
  auto date = ScanDate(scan, settings, currentYear);
  if (!date || !scan.AtEnd()) return std::nullopt;
  return date;
}

std::optional<TOleDate> TextToTime(std::string_view text, const TFormatSettings& settings) {
  TScanner scan(text);
  auto time = ScanTime(scan, settings);
  if (!time || !scan.AtEnd()) return std::nullopt;
  return time;
}

std::optional<TOleDate> TextToDateTime(std::string_view text, const TFormatSettings& settings,
                                       int currentYear) {
  TScanner scan(text);
  if (auto date = ScanDate(scan, settings, currentYear)) {
    if (scan.AtEnd()) return date;
    auto time = ScanTime(scan, settings);
    if (!time || !scan.AtEnd()) return std::nullopt;
    return OnDay(*date, *time);
  }
  return TextToTime(text, settings);
}

}  // namespace connection

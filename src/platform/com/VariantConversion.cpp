#include "platform/com/VariantConversion.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>
#include <system_error>

namespace platform {
namespace {

// Deeper chains are not built by any host; the limit stops a reference
// cycle from looping forever.
constexpr int kMaxReferenceDepth = 8;

// --------------------------------------------------------------- integers

std::optional<std::int64_t> SignedIntegerOf(const VARIANT& v) {
  switch (v.vt) {
    case VT_I1:
      return static_cast<signed char>(v.cVal);
    case VT_UI1:
      return v.bVal;
    case VT_I2:
      return v.iVal;
    case VT_UI2:
      return v.uiVal;
    case VT_I4:
      return v.lVal;
    case VT_INT:
      return v.intVal;
    case VT_UI4:
      return v.ulVal;
    case VT_UINT:
      return v.uintVal;
    case VT_I8:
      return v.llVal;
    default:
      return std::nullopt;
  }
}

// Round half to even, the rule of OLE Automation's own conversions.
TConversionStatus RoundToInt64(double value, std::int64_t& out) {
  const double rounded = std::nearbyint(value);
  // 2^63 is exact in a double; NaN fails both comparisons.
  if (!(rounded >= -9223372036854775808.0 && rounded < 9223372036854775808.0))
    return TConversionStatus::Overflow;
  out = static_cast<std::int64_t>(rounded);
  return TConversionStatus::Ok;
}

// Applies a sign to a magnitude, checking the signed range.
TConversionStatus SignedFromMagnitude(bool negative, std::uint64_t magnitude, std::int64_t& out) {
  constexpr std::uint64_t kMaxPositive = std::numeric_limits<std::int64_t>::max();
  if (negative) {
    if (magnitude > kMaxPositive + 1) return TConversionStatus::Overflow;
    out = magnitude == 0 ? 0 : -static_cast<std::int64_t>(magnitude - 1) - 1;
  } else {
    if (magnitude > kMaxPositive) return TConversionStatus::Overflow;
    out = static_cast<std::int64_t>(magnitude);
  }
  return TConversionStatus::Ok;
}

std::uint64_t Magnitude(std::int64_t value) {
  return value < 0 ? ~static_cast<std::uint64_t>(value) + 1 : static_cast<std::uint64_t>(value);
}

// ---------------------------------------------------------- numeric text

bool IsBlank(char16_t c) {
  return c == u' ' || (c >= u'\t' && c <= u'\r');
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

TOleStringView Trimmed(TOleStringView text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

struct TNumericText {
  bool Negative = false;
  std::string IntegerDigits;   // leading zeros removed
  std::string FractionDigits;  // as written
  bool HasExponent = false;
  long Exponent = 0;  // clamped far beyond any double's range
  std::string Plain;  // the text without blanks and '+', for from_chars
};

// [+-] (digits [. [digits]] | . digits) [(e|E) [+-] digits], blanks around.
std::optional<TNumericText> ParseNumericText(TOleStringView wide) {
  wide = Trimmed(wide);
  std::string text;
  for (const char16_t c : wide) {
    if (c >= 0x80) return std::nullopt;
    text.push_back(static_cast<char>(c));
  }
  TNumericText number;
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) number.Negative = text[i++] == '-';
  const std::size_t mantissaStart = i;
  while (i < text.size() && IsDigit(text[i])) number.IntegerDigits.push_back(text[i++]);
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i])) number.FractionDigits.push_back(text[i++]);
  }
  if (number.IntegerDigits.empty() && number.FractionDigits.empty()) return std::nullopt;
  const std::size_t mantissaEnd = i;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool negativeExponent = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negativeExponent = text[i++] == '-';
    if (i == text.size() || !IsDigit(text[i])) return std::nullopt;
    for (; i < text.size() && IsDigit(text[i]); ++i)
      if (number.Exponent < 100000) number.Exponent = number.Exponent * 10 + (text[i] - '0');
    if (negativeExponent) number.Exponent = -number.Exponent;
    number.HasExponent = true;
  }
  if (i != text.size()) return std::nullopt;

  if (number.Negative) number.Plain.push_back('-');
  number.Plain.append(text, mantissaStart, mantissaEnd - mantissaStart);
  if (number.HasExponent) {
    number.Plain += 'e';
    number.Plain += std::to_string(number.Exponent);
  }
  const auto firstSignificant = number.IntegerDigits.find_first_not_of('0');
  number.IntegerDigits.erase(0, std::min(firstSignificant, number.IntegerDigits.size()));
  return number;
}

TConversionStatus TextToDouble(const TNumericText& number, double& out) {
  double value = 0;
  const char* end = number.Plain.data() + number.Plain.size();
  const auto [ptr, ec] = std::from_chars(number.Plain.data(), end, value);
  if (ec == std::errc::result_out_of_range) {
    // Too small to represent is zero; too large is an overflow. The decimal
    // exponent of the leading digit tells which.
    long magnitude = static_cast<long>(number.IntegerDigits.size());
    if (magnitude == 0) {
      const auto firstSignificant = number.FractionDigits.find_first_not_of('0');
      if (firstSignificant == std::string::npos)
        magnitude = -100000;  // all zeros
      else
        magnitude = -static_cast<long>(firstSignificant);
    }
    if (magnitude + number.Exponent > 0) return TConversionStatus::Overflow;
    out = number.Negative ? -0.0 : 0.0;
    return TConversionStatus::Ok;
  }
  if (ec != std::errc() || ptr != end) return TConversionStatus::Mismatch;
  out = value;
  return TConversionStatus::Ok;
}

TConversionStatus TextToInt64(const TNumericText& number, std::int64_t& out) {
  if (number.HasExponent) {
    double value = 0;
    const TConversionStatus status = TextToDouble(number, value);
    return status == TConversionStatus::Ok ? RoundToInt64(value, out) : status;
  }
  // 19 digits always fit an unsigned 64-bit integer, even after rounding up.
  if (number.IntegerDigits.size() > 19) return TConversionStatus::Overflow;
  std::uint64_t magnitude = 0;
  for (const char digit : number.IntegerDigits)
    magnitude = magnitude * 10 + static_cast<std::uint64_t>(digit - '0');
  if (!number.FractionDigits.empty()) {
    const char first = number.FractionDigits[0];
    const bool restNonZero = number.FractionDigits.find_first_not_of('0', 1) != std::string::npos;
    if (first > '5' || (first == '5' && (restNonZero || magnitude % 2 == 1))) ++magnitude;
  }
  return SignedFromMagnitude(number.Negative, magnitude, out);
}

bool EqualsIgnoringCase(TOleStringView text, std::string_view word) {
  if (text.size() != word.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    if (c != static_cast<char16_t>(word[i])) return false;
  }
  return true;
}

TOleString Widen(std::string_view ascii) {
  return TOleString(ascii.begin(), ascii.end());
}

// ------------------------------------------------------- floating point

template <typename Float>
std::string ShortestText(Float value) {
  if (value == 0) return "0";  // also for -0
  char buffer[64];
  // 64 characters hold any float or double in its shortest form.
  char* end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  return std::string(buffer, end);
}

// ------------------------------------------------------------- currency

TConversionStatus CurrencyToInt64(LONGLONG scaled, std::int64_t& out) {
  std::uint64_t magnitude = Magnitude(scaled);
  const std::uint64_t remainder = magnitude % 10000;
  magnitude /= 10000;
  if (remainder > 5000 || (remainder == 5000 && magnitude % 2 == 1)) ++magnitude;
  return SignedFromMagnitude(scaled < 0, magnitude, out);
}

std::string CurrencyText(LONGLONG scaled) {
  const std::uint64_t magnitude = Magnitude(scaled);
  std::string text;
  if (scaled < 0) text.push_back('-');
  text += std::to_string(magnitude / 10000);
  if (const auto fraction = magnitude % 10000; fraction != 0) {
    std::string digits = std::to_string(fraction);
    digits.insert(0, 4 - digits.size(), '0');
    digits.erase(digits.find_last_not_of('0') + 1);
    text += "." + digits;
  }
  return text;
}

// -------------------------------------------------------------- decimal

constexpr BYTE kMaxDecimalScale = 28;

bool DecimalIsZero(const DECIMAL& d) {
  return d.Hi32 == 0 && d.Mid32 == 0 && d.Lo32 == 0;
}

// Exact decimal text of the 96-bit integer divided by 10^scale.
std::optional<std::string> DecimalText(const DECIMAL& d) {
  if (d.scale > kMaxDecimalScale) return std::nullopt;
  std::uint32_t limbs[3] = {d.Hi32, d.Mid32, d.Lo32};
  std::string digits;
  while (limbs[0] != 0 || limbs[1] != 0 || limbs[2] != 0) {
    std::uint64_t remainder = 0;
    for (std::uint32_t& limb : limbs) {
      const std::uint64_t current = remainder << 32 | limb;
      limb = static_cast<std::uint32_t>(current / 10);
      remainder = current % 10;
    }
    digits.insert(digits.begin(), static_cast<char>('0' + remainder));
  }
  if (digits.size() <= d.scale) digits.insert(0, d.scale + 1 - digits.size(), '0');
  if (d.scale > 0) {
    digits.insert(digits.size() - d.scale, 1, '.');
    digits.erase(digits.find_last_not_of('0') + 1);
    if (digits.back() == '.') digits.pop_back();
  }
  if ((d.sign & DECIMAL_NEG) != 0 && digits != "0") digits.insert(0, 1, '-');
  return digits;
}

std::optional<TNumericText> DecimalNumber(const DECIMAL& d) {
  const auto text = DecimalText(d);
  return text ? ParseNumericText(Widen(*text)) : std::nullopt;
}

// The number a decimal or a string value stands for; nullopt when a string
// is no number or a decimal's scale is out of range.
std::optional<TNumericText> NumericTextOf(const VARIANT& v) {
  if (v.vt == VT_DECIMAL) return DecimalNumber(v.decVal);
  return ParseNumericText(ViewOfBstr(v.bstrVal));
}

// ----------------------------------------------------------------- date

constexpr double kFirstDate = -657434.0;      // 0100-01-01
constexpr double kAfterLastDate = 2958466.0;  // 10000-01-01
constexpr long long kUnixEpochDay = 25569;    // 1970-01-01

struct TCivilDate {
  long long Year;
  unsigned Month;
  unsigned Day;
};

// Gregorian date of a day counted from 1970-01-01.
TCivilDate CivilFromDays(long long z) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned day = doy - (153 * mp + 2) / 5 + 1;
  const unsigned month = mp < 10 ? mp + 3 : mp - 9;
  return {static_cast<long long>(yoe) + era * 400 + (month <= 2), month, day};
}

// An OLE date's whole part counts days from 1899-12-30 and its fraction,
// taken without its sign, is the time of day.
std::optional<std::string> DateText(DATE date) {
  if (!(date >= kFirstDate && date < kAfterLastDate)) return std::nullopt;
  const double whole = std::trunc(date);
  long long days = static_cast<long long>(whole);
  long long seconds = std::llround(std::fabs(date - whole) * 86400.0);
  if (seconds >= 86400) {
    seconds -= 86400;
    ++days;
  }
  const TCivilDate civil = CivilFromDays(days - kUnixEpochDay);
  char buffer[64];
  int length =
      std::snprintf(buffer, sizeof buffer, "%04lld-%02u-%02u", civil.Year, civil.Month, civil.Day);
  if (seconds != 0)
    length +=
        std::snprintf(buffer + length, sizeof buffer - static_cast<std::size_t>(length),
                      " %02lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
  return std::string(buffer, static_cast<std::size_t>(length));
}

}  // namespace

bool ResolveReferences(const VARIANT& source, VARIANT& view) noexcept {
  const VARIANT* current = &source;
  for (int depth = 0; depth <= kMaxReferenceDepth; ++depth) {
    if ((current->vt & VT_BYREF) == 0) {
      view = *current;
      return true;
    }
    if (current->byref == nullptr) return false;
    const auto type = static_cast<VARTYPE>(current->vt & ~VT_BYREF);
    if (type == VT_VARIANT) {
      current = current->pvarVal;
      continue;
    }
    VARIANT value{};
    if ((type & VT_ARRAY) != 0) {
      value.parray = *current->pparray;
    } else {
      switch (type) {
        case VT_I1:
          value.cVal = *current->pcVal;
          break;
        case VT_UI1:
          value.bVal = *current->pbVal;
          break;
        case VT_I2:
          value.iVal = *current->piVal;
          break;
        case VT_UI2:
          value.uiVal = *current->puiVal;
          break;
        case VT_I4:
          value.lVal = *current->plVal;
          break;
        case VT_UI4:
          value.ulVal = *current->pulVal;
          break;
        case VT_INT:
          value.intVal = *current->pintVal;
          break;
        case VT_UINT:
          value.uintVal = *current->puintVal;
          break;
        case VT_I8:
          value.llVal = *current->pllVal;
          break;
        case VT_UI8:
          value.ullVal = *current->pullVal;
          break;
        case VT_R4:
          value.fltVal = *current->pfltVal;
          break;
        case VT_R8:
          value.dblVal = *current->pdblVal;
          break;
        case VT_DATE:
          value.date = *current->pdate;
          break;
        case VT_CY:
          value.cyVal = *current->pcyVal;
          break;
        case VT_BOOL:
          value.boolVal = *current->pboolVal;
          break;
        case VT_ERROR:
          value.scode = *current->pscode;
          break;
        case VT_BSTR:
          value.bstrVal = *current->pbstrVal;
          break;
        case VT_DISPATCH:
          value.pdispVal = *current->ppdispVal;
          break;
        case VT_UNKNOWN:
          value.punkVal = *current->ppunkVal;
          break;
        case VT_DECIMAL:
          value.decVal = *current->pdecVal;
          break;
        default:
          return false;
      }
    }
    value.vt = type;  // after decVal, whose first word overlays vt
    view = value;
    return true;
  }
  return false;
}

TConversionStatus ConvertToInt64(const VARIANT& source, std::int64_t& out) {
  VARIANT v;
  if (!ResolveReferences(source, v)) return TConversionStatus::Mismatch;
  if (const auto integer = SignedIntegerOf(v)) {
    out = *integer;
    return TConversionStatus::Ok;
  }
  switch (v.vt) {
    case VT_EMPTY:
      out = 0;
      return TConversionStatus::Ok;
    case VT_BOOL:
      out = v.boolVal != 0 ? -1 : 0;
      return TConversionStatus::Ok;
    case VT_UI8:
      return SignedFromMagnitude(false, v.ullVal, out);
    case VT_R4:
      return RoundToInt64(v.fltVal, out);
    case VT_R8:
      return RoundToInt64(v.dblVal, out);
    case VT_DATE:
      return RoundToInt64(v.date, out);
    case VT_CY:
      return CurrencyToInt64(v.cyVal.int64, out);
    case VT_DECIMAL:
    case VT_BSTR: {
      const auto number = NumericTextOf(v);
      return number ? TextToInt64(*number, out) : TConversionStatus::Mismatch;
    }
    default:
      return TConversionStatus::Mismatch;
  }
}

TConversionStatus ConvertToDouble(const VARIANT& source, double& out) {
  VARIANT v;
  if (!ResolveReferences(source, v)) return TConversionStatus::Mismatch;
  if (const auto integer = SignedIntegerOf(v)) {
    out = static_cast<double>(*integer);
    return TConversionStatus::Ok;
  }
  switch (v.vt) {
    case VT_EMPTY:
      out = 0;
      return TConversionStatus::Ok;
    case VT_BOOL:
      out = v.boolVal != 0 ? -1 : 0;
      return TConversionStatus::Ok;
    case VT_UI8:
      out = static_cast<double>(v.ullVal);
      return TConversionStatus::Ok;
    case VT_R4:
      out = v.fltVal;
      return TConversionStatus::Ok;
    case VT_R8:
      out = v.dblVal;
      return TConversionStatus::Ok;
    case VT_DATE:
      out = v.date;
      return TConversionStatus::Ok;
    case VT_CY:
      out = static_cast<double>(v.cyVal.int64) / 10000.0;
      return TConversionStatus::Ok;
    case VT_DECIMAL:
    case VT_BSTR: {
      const auto number = NumericTextOf(v);
      return number ? TextToDouble(*number, out) : TConversionStatus::Mismatch;
    }
    default:
      return TConversionStatus::Mismatch;
  }
}

TConversionStatus ConvertToBool(const VARIANT& source, bool& out) {
  VARIANT v;
  if (!ResolveReferences(source, v)) return TConversionStatus::Mismatch;
  if (const auto integer = SignedIntegerOf(v)) {
    out = *integer != 0;
    return TConversionStatus::Ok;
  }
  switch (v.vt) {
    case VT_EMPTY:
      out = false;
      return TConversionStatus::Ok;
    case VT_BOOL:
      out = v.boolVal != 0;
      return TConversionStatus::Ok;
    case VT_UI8:
      out = v.ullVal != 0;
      return TConversionStatus::Ok;
    case VT_R4:
      out = v.fltVal != 0;
      return TConversionStatus::Ok;
    case VT_R8:
      out = v.dblVal != 0;
      return TConversionStatus::Ok;
    case VT_DATE:
      out = v.date != 0;
      return TConversionStatus::Ok;
    case VT_CY:
      out = v.cyVal.int64 != 0;
      return TConversionStatus::Ok;
    case VT_DECIMAL:
      if (v.decVal.scale > kMaxDecimalScale) return TConversionStatus::Mismatch;
      out = !DecimalIsZero(v.decVal);
      return TConversionStatus::Ok;
    case VT_BSTR: {
      const TOleStringView text = Trimmed(ViewOfBstr(v.bstrVal));
      if (EqualsIgnoringCase(text, "true") || EqualsIgnoringCase(text, "false")) {
        out = EqualsIgnoringCase(text, "true");
        return TConversionStatus::Ok;
      }
      const auto number = ParseNumericText(text);
      if (!number) return TConversionStatus::Mismatch;
      double value = 0;
      const TConversionStatus status = TextToDouble(*number, value);
      if (status == TConversionStatus::Ok) out = value != 0;
      return status;
    }
    default:
      return TConversionStatus::Mismatch;
  }
}

TConversionStatus ConvertToText(const VARIANT& source, TOleString& out) {
  VARIANT v;
  if (!ResolveReferences(source, v)) return TConversionStatus::Mismatch;
  if (const auto integer = SignedIntegerOf(v)) {
    out = Widen(std::to_string(*integer));
    return TConversionStatus::Ok;
  }
  switch (v.vt) {
    case VT_EMPTY:
      out.clear();
      return TConversionStatus::Ok;
    case VT_BSTR:
      out = TOleString(ViewOfBstr(v.bstrVal));
      return TConversionStatus::Ok;
    case VT_BOOL:
      out = Widen(v.boolVal != 0 ? "True" : "False");
      return TConversionStatus::Ok;
    case VT_UI8:
      out = Widen(std::to_string(v.ullVal));
      return TConversionStatus::Ok;
    case VT_R4:
      out = Widen(ShortestText(v.fltVal));
      return TConversionStatus::Ok;
    case VT_R8:
      out = Widen(ShortestText(v.dblVal));
      return TConversionStatus::Ok;
    case VT_CY:
      out = Widen(CurrencyText(v.cyVal.int64));
      return TConversionStatus::Ok;
    case VT_DATE: {
      const auto text = DateText(v.date);
      if (!text) return TConversionStatus::Overflow;
      out = Widen(*text);
      return TConversionStatus::Ok;
    }
    case VT_DECIMAL: {
      const auto text = DecimalText(v.decVal);
      if (!text) return TConversionStatus::Mismatch;
      out = Widen(*text);
      return TConversionStatus::Ok;
    }
    default:
      return TConversionStatus::Mismatch;
  }
}

}  // namespace platform

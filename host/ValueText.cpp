#include "host/ValueText.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "host/HostObject.h"
#include "host/Utf8.h"

namespace host {

namespace {

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
}

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    out += c;
    if (c == '"') out += '"';
  }
  return out + "\"";
}

std::string Hex(std::uint32_t code) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", code);
  return text;
}

// Floats in their own shortest text, not that of their double expansion.
std::string FloatText(float value) {
  char text[32];
  const auto [end, error] = std::to_chars(text, text + sizeof text, value);
  return error == std::errc() ? std::string(text, end) : std::string("?");
}

std::string TypeNameOf(IDispatch* object) {
  if (!object) return "Nothing";
  THostObject* hosted = THostObject::From(object);
  return hosted ? hosted->TypeName() : "Object";
}

}  // namespace

std::string DoubleText(double value) {
  char text[64];
  const auto [end, error] = std::to_chars(text, text + sizeof text, value);
  return error == std::errc() ? std::string(text, end) : std::string("?");
}

std::string DateText(DATE date) {
  // Automation dates run from 0100-01-01 to 9999-12-31; beyond them (and for
  // NaN) the day number would not even fit the calendar arithmetic.
  if (!(date >= -657434.0 && date < 2958466.0)) return "invalid";
  // Negative dates count days backwards but the time of day forwards.
  double day = std::trunc(date);
  std::int64_t seconds = std::llround(std::fabs(date - day) * 86400.0);
  // Rounding up to midnight moves to the next calendar day, also before
  // 1899-12-30, where the next day has the next larger day number.
  if (seconds >= 86400) {
    seconds -= 86400;
    day += 1;
  }
  std::int64_t year;
  unsigned month, dayOfMonth;
  CivilFromDays(DaysFromCivil(1899, 12, 30) + static_cast<std::int64_t>(day), year, month,
                dayOfMonth);
  char text[48];
  std::snprintf(text, sizeof text, "%04lld-%02u-%02u", static_cast<long long>(year), month,
                dayOfMonth);
  std::string out = text;
  if (seconds != 0) {
    std::snprintf(text, sizeof text, " %02d:%02d:%02d", static_cast<int>(seconds / 3600),
                  static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
    out += text;
  }
  return out;
}

std::string DescribeValue(const platform::TOleVariant& original) {
  const platform::TOleVariant value = original.IsByRef() ? original.Dereferenced() : original;
  const VARIANT& raw = *value.Get();
  switch (raw.vt) {
    case VT_EMPTY:
      return "EMPTY";
    case VT_NULL:
      return "NULL";
    case VT_I4:
      return "I4 " + std::to_string(raw.lVal);
    case VT_I8:
      return "I8 " + std::to_string(raw.llVal);
    case VT_R8:
      return "R8 " + DoubleText(raw.dblVal);
    case VT_DATE:
      return "DATE " + DateText(raw.date);
    case VT_BSTR:
      return "STR " + Quoted(Utf8FromUtf16(platform::ViewOfBstr(raw.bstrVal)));
    case VT_BOOL:
      return raw.boolVal ? "BOOL 1" : "BOOL 0";
    case VT_ERROR:
      return "ERROR " + Hex(static_cast<std::uint32_t>(raw.scode));
    case VT_DISPATCH:
      return "OBJ " + TypeNameOf(raw.pdispVal);
    case VT_I2:
      return "I2 " + std::to_string(raw.iVal);
    case VT_I1:
      return "I1 " + std::to_string(static_cast<int>(static_cast<signed char>(raw.cVal)));
    case VT_UI1:
      return "UI1 " + std::to_string(raw.bVal);
    case VT_UI2:
      return "UI2 " + std::to_string(raw.uiVal);
    case VT_UI4:
      return "UI4 " + std::to_string(raw.ulVal);
    case VT_UI8:
      return "UI8 " + std::to_string(raw.ullVal);
    case VT_INT:
      return "INT " + std::to_string(raw.intVal);
    case VT_UINT:
      return "UINT " + std::to_string(raw.uintVal);
    case VT_R4:
      return "R4 " + FloatText(raw.fltVal);
    case VT_CY:
      return "CY " + DoubleText(static_cast<double>(raw.cyVal.int64) / 10000.0);
    default:
      return "VT " + Hex(raw.vt);
  }
}

}  // namespace host

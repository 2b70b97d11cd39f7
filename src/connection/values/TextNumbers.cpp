#include "connection/values/TextNumbers.h"

#include <charconv>
#include <string>

namespace connection {

namespace {

int DigitValue(char c, int radix) {
  int value = -1;
  if (c >= '0' && c <= '9') value = c - '0';
  if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
  if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
  return value < radix ? value : -1;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

std::optional<std::int32_t> TextToInt32(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size() && text[pos] == ' ') ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
    negative = text[pos] == '-';
    ++pos;
  }
  int radix = 10;
  const std::string_view rest = text.substr(pos);
  if (rest.starts_with('$') || rest.starts_with('x') || rest.starts_with('X')) {
    radix = 16;
    pos += 1;
  } else if (rest.starts_with("0x") || rest.starts_with("0X")) {
    radix = 16;
    pos += 2;
  }
  if (pos == text.size()) return std::nullopt;
  // The magnitude is kept in 64 bits and checked at every digit, so no text
  // length can overflow it.
  const std::int64_t limit = negative ? std::int64_t{1} << 31 : (std::int64_t{1} << 31) - 1;
  std::int64_t magnitude = 0;
  for (; pos < text.size(); ++pos) {
    const int digit = DigitValue(text[pos], radix);
    if (digit < 0) return std::nullopt;
    magnitude = magnitude * radix + digit;
    if (magnitude > limit) return std::nullopt;
  }
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

std::optional<double> TextToDouble(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size() && text[begin] == ' ') ++begin;
  std::size_t end = text.size();
  while (end > begin && text[end - 1] == ' ') --end;
  const std::string_view number = text.substr(begin, end - begin);

  // Check the shape first: from_chars alone would also take "inf" and "nan".
  std::size_t pos = 0;
  if (pos < number.size() && (number[pos] == '+' || number[pos] == '-')) ++pos;
  std::size_t digits = 0;
  while (pos < number.size() && IsDigit(number[pos])) ++pos, ++digits;
  if (pos < number.size() && number[pos] == '.') {
    ++pos;
    while (pos < number.size() && IsDigit(number[pos])) ++pos, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (pos < number.size() && (number[pos] == 'e' || number[pos] == 'E')) {
    ++pos;
    if (pos < number.size() && (number[pos] == '+' || number[pos] == '-')) ++pos;
    std::size_t exponentDigits = 0;
    while (pos < number.size() && IsDigit(number[pos])) ++pos, ++exponentDigits;
    if (exponentDigits == 0) return std::nullopt;
  }
  if (pos != number.size()) return std::nullopt;

  // from_chars takes no leading "+".
  const std::string_view unsignedPart = number.front() == '+' ? number.substr(1) : number;
  double value = 0;
  const auto [ptr, ec] =
      std::from_chars(unsignedPart.data(), unsignedPart.data() + unsignedPart.size(), value);
  // Out-of-range texts (1e400) are no number either.
  if (ec != std::errc{} || ptr != unsignedPart.data() + unsignedPart.size()) return std::nullopt;
  return value;
}

}  // namespace connection

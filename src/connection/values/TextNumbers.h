// Reading numbers out of field texts and field references, independent of
// any regional setting.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace connection {

// Optional leading blanks, an optional sign, then decimal digits; a prefix of
// "$", "x" or "0x" (either case) reads hexadecimal digits instead. Nothing may
// follow the digits, and the value must fit a signed 32-bit integer.
std::optional<std::int32_t> TextToInt32(std::string_view text);

// Optional blanks and sign, digits with an optional "." fraction and an
// optional exponent, optional trailing blanks. No infinities, no NaN, no
// thousands separators. The nearest double, as the text is read exactly.
std::optional<double> TextToDouble(std::string_view text);

}  // namespace connection

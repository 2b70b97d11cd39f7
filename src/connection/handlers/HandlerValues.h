// Small conversions the handlers share: how answers are shaped for the host
// and how arguments are taken from the parameter array.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "addin/AddinHelper.h"
#include "platform/com/OleVariant.h"

namespace connection {

// Yes/no answers are the 32-bit integers 1 and 0, never a boolean variant.
inline platform::TOleVariant Flag(bool value) {
  return platform::TOleVariant(value ? 1 : 0);
}

// Unsigned 32-bit session values travel as 32-bit integers, bit for bit.
inline platform::TOleVariant Int32Bits(std::uint32_t value) {
  return platform::TOleVariant(static_cast<std::int32_t>(value));
}

// Counts and ids of 64 bits travel as 64-bit integers, also when small.
inline platform::TOleVariant Int64Bits(std::uint64_t value) {
  return platform::TOleVariant(static_cast<std::int64_t>(value));
}

// A 32-bit setting from any host value: the low 32 bits of its 64-bit integer.
inline std::uint32_t Low32Bits(const platform::TOleVariant& value) {
  return static_cast<std::uint32_t>(value.ToInt64());
}

// A setting that only has meaning within [least, most], from any host value.
// A value outside is refused like one that does not convert, so the setting
// keeps what it had (its low 32 bits would stand for another value).
inline std::int64_t SettingInRange(const platform::TOleVariant& value, const char* setting,
                                   std::int64_t least, std::int64_t most) {
  const std::int64_t number = value.ToInt64();
  if (number < least || number > most) {
    throw addin::TAddinError(std::string(setting) + " must lie between " + std::to_string(least) +
                             " and " + std::to_string(most) + ", not " + std::to_string(number));
  }
  return number;
}

// The argument at a position; a position the host did not pass reads as an
// omitted argument, so a handler never reaches past the array.
inline const platform::TOleVariant& Param(const addin::TParams& params, std::size_t index) {
  static const platform::TOleVariant kOmitted = platform::TOleVariant::Omitted();
  return index < params.size() ? params[index] : kOmitted;
}

}  // namespace connection

// TOleVariant: the value the system exchanges with the host, an owning
// wrapper over a VARIANT with the standard conversions.
//
// Conversions (ToString, ToInt64, ToInt32, ToBool, ToDouble) behave the same
// on every platform and do not depend on regional settings:
//   - a value held by reference is converted as the value it refers to;
//   - empty gives "", 0, false or 0.0; null converts to nothing;
//   - numbers give their decimal text ("." as decimal point, doubles in the
//     shortest text that reads back exactly); fractions are rounded to the
//     nearest integer, halves to the even one, when an integer is asked for;
//   - text is parsed as a number (blanks around it allowed, "." as decimal
//     point, an optional exponent); for ToBool also "True"/"False" in any case;
//   - booleans give "True"/"False", -1/0 as numbers;
//   - dates give "yyyy-mm-dd" or "yyyy-mm-dd hh:nn:ss", or their day number;
//   - errors, objects and arrays convert to nothing.
// A failure throws TOleError with one of the messages
//   "Could not convert variant of type (%s) into type (%s)"
//   "Overflow while converting variant of type (%s) into type (%s)"
// filled with the kind names of KindName(): Empty, Null, Smallint, Integer,
// Single, Double, Currency, Date, String, Dispatch, Error, Boolean, Variant,
// Unknown, Decimal, ShortInt, Byte, Word, LongWord, Int64, UInt64, Int, UInt,
// "Array of <kind>", or "Type 0xNNNN" for anything else. Targets are named
// String, Int64, Integer, Boolean and Double.
#pragma once

#include <concepts>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/com/Com.h"
#include "platform/os/CodePage.h"

namespace platform {

class TOleError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TOleVariant {
 public:
  TOleVariant() noexcept;  // empty

  // Integers: up to 32 bits signed (or 16 unsigned) give a 32-bit integer
  // variant, std::int64_t and std::uint32_t a 64-bit one. bool is refused on purpose:
  // the system never answers with a boolean variant (see Boolean()).
  template <std::integral T>
  requires(!std::same_as<T, bool> && !std::same_as<T, char> &&
           !(std::unsigned_integral<T> && sizeof(T) > 4)) TOleVariant(T value)
  noexcept : TOleVariant() {
    if constexpr (sizeof(T) < 4 || (sizeof(T) == 4 && std::signed_integral<T>)) {
      raw_.vt = VT_I4;
      raw_.lVal = static_cast<LONG>(value);
    } else {
      raw_.vt = VT_I8;
      raw_.llVal = static_cast<LONGLONG>(value);
    }
  }
  TOleVariant(bool) = delete;
  TOleVariant(double value) noexcept;
  // 8-bit ANSI text, stored as a UTF-16 string.
  TOleVariant(std::string_view ansi);
  TOleVariant(const std::string& ansi) : TOleVariant(std::string_view(ansi)) {}
  TOleVariant(const char* ansi) : TOleVariant(std::string_view(ansi)) {}
  // Holds one reference of its own (a null object is allowed).
  TOleVariant(IDispatch* object) noexcept;

  static TOleVariant Empty() noexcept { return TOleVariant(); }
  static TOleVariant Null() noexcept;
  static TOleVariant Boolean(bool value) noexcept;
  static TOleVariant Date(DATE value) noexcept;
  static TOleVariant Error(SCODE code) noexcept;
  // The marker of an argument the script left out.
  static TOleVariant Omitted() noexcept { return Error(DISP_E_PARAMNOTFOUND); }
  // A by-reference argument: the callee reads and may overwrite `target`,
  // which must outlive the returned variant.
  static TOleVariant ReferenceTo(TOleVariant& target) noexcept;
  static TOleVariant FromWide(TOleStringView text);
  static TOleVariant FromBstr(BSTR text);  // copies
  // A copy of a raw variant as VariantCopy makes it (references stay
  // references; strings, objects and arrays are duplicated or AddRef'd).
  static TOleVariant CopyOf(const VARIANT& raw);
  // Takes over the contents of a raw variant and leaves it empty.
  static TOleVariant Attach(VARIANT& raw) noexcept;

  TOleVariant(const TOleVariant& other);
  TOleVariant& operator=(const TOleVariant& other);
  TOleVariant(TOleVariant&& other) noexcept;
  TOleVariant& operator=(TOleVariant&& other) noexcept;
  ~TOleVariant();

  void Clear() noexcept;
  // Hands the contents to the caller (who must VariantClear them) and leaves
  // this empty.
  [[nodiscard]] VARIANT Detach() noexcept;
  // Copies into a raw variant owned by someone else, clearing it first.
  void CopyTo(VARIANT* dest) const;
  // A copy with every level of reference resolved (VariantCopyInd).
  TOleVariant Dereferenced() const;

  // The underlying variant, for COM calls that read it.
  const VARIANT* Get() const noexcept { return &raw_; }
  VARIANT* Get() noexcept { return &raw_; }
  // Clears and answers the variant for a COM out-parameter.
  VARIANT* Out() noexcept;

  // The kind as stored, VT_BYREF included.
  VARTYPE Type() const noexcept { return raw_.vt; }
  // The kind of the value after following references.
  VARTYPE ValueType() const noexcept;
  bool IsByRef() const noexcept { return (raw_.vt & VT_BYREF) != 0; }
  // These look through references.
  bool IsEmpty() const noexcept { return ValueType() == VT_EMPTY; }
  bool IsNull() const noexcept { return ValueType() == VT_NULL; }
  bool IsError() const noexcept { return ValueType() == VT_ERROR; }
  bool IsError(SCODE code) const noexcept;
  bool IsString() const noexcept { return ValueType() == VT_BSTR; }
  bool IsDispatch() const noexcept { return ValueType() == VT_DISPATCH; }

  std::string ToString() const;  // 8-bit ANSI text
  TOleString ToWide() const;     // the same conversion, UTF-16
  std::int64_t ToInt64() const;
  std::int32_t ToInt32() const;
  bool ToBool() const;
  double ToDouble() const;
  // The object held (no reference added); throws for any other kind.
  IDispatch* ToDispatch() const;

  // Readable name of a kind as used in conversion messages.
  static std::string KindName(VARTYPE type);

 private:
  VARIANT raw_;
};

}  // namespace platform

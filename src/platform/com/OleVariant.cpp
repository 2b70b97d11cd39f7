#include "platform/com/OleVariant.h"

#include <cstdio>
#include <limits>
#include <new>
#include <utility>

#include "platform/com/VariantConversion.h"

namespace platform {
namespace {

[[noreturn]] void ThrowConversionFailure(TConversionStatus status, VARTYPE from, const char* to) {
  const char* format = status == TConversionStatus::Overflow
                           ? "Overflow while converting variant of type (%s) into type (%s)"
                           : "Could not convert variant of type (%s) into type (%s)";
  char message[256];
  std::snprintf(message, sizeof message, format, TOleVariant::KindName(from).c_str(), to);
  throw TOleError(message);
}

void ThrowOnFailure(HRESULT hr) {
  if (hr == E_OUTOFMEMORY) throw std::bad_alloc();
  if (FAILED(hr)) {
    char message[64];
    std::snprintf(message, sizeof message, "Variant operation failed (0x%08X)",
                  static_cast<unsigned>(hr));
    throw TOleError(message);
  }
}

BSTR AllocateOrThrow(TOleStringView text) {
  BSTR copy = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  if (copy == nullptr) throw std::bad_alloc();
  return copy;
}

}  // namespace

TOleVariant::TOleVariant() noexcept {
  VariantInit(&raw_);
}

TOleVariant::TOleVariant(double value) noexcept : TOleVariant() {
  raw_.vt = VT_R8;
  raw_.dblVal = value;
}

TOleVariant::TOleVariant(std::string_view ansi) : TOleVariant() {
  const TOleString text = FromAnsi(ansi);
  raw_.bstrVal = AllocateOrThrow(text);
  raw_.vt = VT_BSTR;
}

TOleVariant::TOleVariant(IDispatch* object) noexcept : TOleVariant() {
  if (object != nullptr) object->AddRef();
  raw_.vt = VT_DISPATCH;
  raw_.pdispVal = object;
}

TOleVariant TOleVariant::Null() noexcept {
  TOleVariant result;
  result.raw_.vt = VT_NULL;
  return result;
}

TOleVariant TOleVariant::Boolean(bool value) noexcept {
  TOleVariant result;
  result.raw_.vt = VT_BOOL;
  result.raw_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return result;
}

TOleVariant TOleVariant::Date(DATE value) noexcept {
  TOleVariant result;
  result.raw_.vt = VT_DATE;
  result.raw_.date = value;
  return result;
}

TOleVariant TOleVariant::Error(SCODE code) noexcept {
  TOleVariant result;
  result.raw_.vt = VT_ERROR;
  result.raw_.scode = code;
  return result;
}

TOleVariant TOleVariant::FromWide(TOleStringView text) {
  TOleVariant result;
  result.raw_.bstrVal = AllocateOrThrow(text);
  result.raw_.vt = VT_BSTR;
  return result;
}

TOleVariant TOleVariant::FromBstr(BSTR text) {
  return FromWide(ViewOfBstr(text));
}

TOleVariant TOleVariant::CopyOf(const VARIANT& raw) {
  TOleVariant result;
  // VariantCopy's source parameter is not const in the system headers; it
  // only reads it.
  ThrowOnFailure(VariantCopy(&result.raw_, const_cast<VARIANT*>(&raw)));
  return result;
}

TOleVariant TOleVariant::Attach(VARIANT& raw) noexcept {
  TOleVariant result;
  result.raw_ = raw;
  VariantInit(&raw);
  return result;
}

TOleVariant TOleVariant::ReferenceTo(TOleVariant& target) noexcept {
  VARIANT reference;
  VariantInit(&reference);
  reference.vt = VT_VARIANT | VT_BYREF;
  reference.pvarVal = target.Get();
  return Attach(reference);
}

TOleVariant::TOleVariant(const TOleVariant& other) : TOleVariant() {
  ThrowOnFailure(VariantCopy(&raw_, const_cast<VARIANT*>(&other.raw_)));
}

TOleVariant& TOleVariant::operator=(const TOleVariant& other) {
  if (this != &other) *this = TOleVariant(other);
  return *this;
}

TOleVariant::TOleVariant(TOleVariant&& other) noexcept : raw_(other.raw_) {
  VariantInit(&other.raw_);
}

TOleVariant& TOleVariant::operator=(TOleVariant&& other) noexcept {
  if (this != &other) {
    Clear();
    raw_ = other.raw_;
    VariantInit(&other.raw_);
  }
  return *this;
}

TOleVariant::~TOleVariant() {
  Clear();
}

void TOleVariant::Clear() noexcept {
  // Only a locked array can make this fail, and no array held here is
  // locked by anyone once its owner lets go of it.
  VariantClear(&raw_);
  VariantInit(&raw_);
}

VARIANT TOleVariant::Detach() noexcept {
  const VARIANT result = raw_;
  VariantInit(&raw_);
  return result;
}

void TOleVariant::CopyTo(VARIANT* dest) const {
  ThrowOnFailure(VariantCopy(dest, const_cast<VARIANT*>(&raw_)));
}

TOleVariant TOleVariant::Dereferenced() const {
  TOleVariant result;
  VARIANT view;
  if (!ResolveReferences(raw_, view))
    ThrowConversionFailure(TConversionStatus::Mismatch, ValueType(), "Variant");
  ThrowOnFailure(VariantCopy(&result.raw_, &view));
  return result;
}

VARIANT* TOleVariant::Out() noexcept {
  Clear();
  return &raw_;
}

VARTYPE TOleVariant::ValueType() const noexcept {
  VARIANT view;
  return ResolveReferences(raw_, view) ? view.vt : static_cast<VARTYPE>(raw_.vt & ~VT_BYREF);
}

bool TOleVariant::IsError(SCODE code) const noexcept {
  VARIANT view;
  return ResolveReferences(raw_, view) && view.vt == VT_ERROR && view.scode == code;
}

TOleString TOleVariant::ToWide() const {
  TOleString text;
  const TConversionStatus status = ConvertToText(raw_, text);
  if (status != TConversionStatus::Ok) ThrowConversionFailure(status, ValueType(), "String");
  return text;
}

std::string TOleVariant::ToString() const {
  TOleString text;
  const TConversionStatus status = ConvertToText(raw_, text);
  if (status != TConversionStatus::Ok) ThrowConversionFailure(status, ValueType(), "String");
  return ToAnsi(text);
}

std::int64_t TOleVariant::ToInt64() const {
  std::int64_t value = 0;
  const TConversionStatus status = ConvertToInt64(raw_, value);
  if (status != TConversionStatus::Ok) ThrowConversionFailure(status, ValueType(), "Int64");
  return value;
}

std::int32_t TOleVariant::ToInt32() const {
  std::int64_t value = 0;
  TConversionStatus status = ConvertToInt64(raw_, value);
  if (status == TConversionStatus::Ok && (value < std::numeric_limits<std::int32_t>::min() ||
                                          value > std::numeric_limits<std::int32_t>::max()))
    status = TConversionStatus::Overflow;
  if (status != TConversionStatus::Ok) ThrowConversionFailure(status, ValueType(), "Integer");
  return static_cast<std::int32_t>(value);
}

bool TOleVariant::ToBool() const {
  bool value = false;
  const TConversionStatus status = ConvertToBool(raw_, value);
  if (status != TConversionStatus::Ok) ThrowConversionFailure(status, ValueType(), "Boolean");
  return value;
}

double TOleVariant::ToDouble() const {
  double value = 0;
  const TConversionStatus status = ConvertToDouble(raw_, value);
  if (status != TConversionStatus::Ok) ThrowConversionFailure(status, ValueType(), "Double");
  return value;
}

IDispatch* TOleVariant::ToDispatch() const {
  VARIANT view;
  if (!ResolveReferences(raw_, view) || view.vt != VT_DISPATCH)
    ThrowConversionFailure(TConversionStatus::Mismatch, ValueType(), "Dispatch");
  return view.pdispVal;
}

std::string TOleVariant::KindName(VARTYPE type) {
  if ((type & VT_ARRAY) != 0) return "Array of " + KindName(static_cast<VARTYPE>(type & ~VT_ARRAY));
  switch (type & ~VT_BYREF) {
    case VT_EMPTY:
      return "Empty";
    case VT_NULL:
      return "Null";
    case VT_I2:
      return "Smallint";
    case VT_I4:
      return "Integer";
    case VT_R4:
      return "Single";
    case VT_R8:
      return "Double";
    case VT_CY:
      return "Currency";
    case VT_DATE:
      return "Date";
    case VT_BSTR:
      return "String";
    case VT_DISPATCH:
      return "Dispatch";
    case VT_ERROR:
      return "Error";
    case VT_BOOL:
      return "Boolean";
    case VT_VARIANT:
      return "Variant";
    case VT_UNKNOWN:
      return "Unknown";
    case VT_DECIMAL:
      return "Decimal";
    case VT_I1:
      return "ShortInt";
    case VT_UI1:
      return "Byte";
    case VT_UI2:
      return "Word";
    case VT_UI4:
      return "LongWord";
    case VT_I8:
      return "Int64";
    case VT_UI8:
      return "UInt64";
    case VT_INT:
      return "Int";
    case VT_UINT:
      return "UInt";
    default: {
      char name[16];
      std::snprintf(name, sizeof name, "Type 0x%04X", static_cast<unsigned>(type));
      return name;
    }
  }
}

}  // namespace platform

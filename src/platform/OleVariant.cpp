#include "platform/OleVariant.h"

#include <cstdio>
#include <limits>
#include <new>
#include <utility>

#include "platform/variant_conversion.h"

namespace platform {
namespace {

[[noreturn]] void ThrowConversionFailure(ConversionStatus status, VARTYPE from, const char* to) {
  const char* format = status == ConversionStatus::kOverflow
                           ? "Overflow while converting variant of type (%s) into type (%s)"
                           : "Could not convert variant of type (%s) into type (%s)";
  char message[256];
  std::snprintf(message, sizeof message, format, OleVariant::KindName(from).c_str(), to);
  throw OleError(message);
}

void ThrowOnFailure(HRESULT hr) {
  if (hr == E_OUTOFMEMORY) throw std::bad_alloc();
  if (FAILED(hr)) {
    char message[64];
    std::snprintf(message, sizeof message, "Variant operation failed (0x%08X)",
                  static_cast<unsigned>(hr));
    throw OleError(message);
  }
}

BSTR AllocateOrThrow(OleStringView text) {
  BSTR copy = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  if (copy == nullptr) throw std::bad_alloc();
  return copy;
}

}  // namespace

OleVariant::OleVariant() noexcept {
  VariantInit(&raw_);
}

OleVariant::OleVariant(double value) noexcept : OleVariant() {
  raw_.vt = VT_R8;
  raw_.dblVal = value;
}

OleVariant::OleVariant(std::string_view ansi) : OleVariant() {
  const OleString text = FromAnsi(ansi);
  raw_.bstrVal = AllocateOrThrow(text);
  raw_.vt = VT_BSTR;
}

OleVariant::OleVariant(IDispatch* object) noexcept : OleVariant() {
  if (object != nullptr) object->AddRef();
  raw_.vt = VT_DISPATCH;
  raw_.pdispVal = object;
}

OleVariant OleVariant::Null() noexcept {
  OleVariant result;
  result.raw_.vt = VT_NULL;
  return result;
}

OleVariant OleVariant::Boolean(bool value) noexcept {
  OleVariant result;
  result.raw_.vt = VT_BOOL;
  result.raw_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return result;
}

OleVariant OleVariant::Date(DATE value) noexcept {
  OleVariant result;
  result.raw_.vt = VT_DATE;
  result.raw_.date = value;
  return result;
}

OleVariant OleVariant::Error(SCODE code) noexcept {
  OleVariant result;
  result.raw_.vt = VT_ERROR;
  result.raw_.scode = code;
  return result;
}

OleVariant OleVariant::FromWide(OleStringView text) {
  OleVariant result;
  result.raw_.bstrVal = AllocateOrThrow(text);
  result.raw_.vt = VT_BSTR;
  return result;
}

OleVariant OleVariant::FromBstr(BSTR text) {
  return FromWide(ViewOfBstr(text));
}

OleVariant OleVariant::CopyOf(const VARIANT& raw) {
  OleVariant result;
  // VariantCopy's source parameter is not const in the system headers; it
  // only reads it.
  ThrowOnFailure(VariantCopy(&result.raw_, const_cast<VARIANT*>(&raw)));
  return result;
}

OleVariant OleVariant::Attach(VARIANT& raw) noexcept {
  OleVariant result;
  result.raw_ = raw;
  VariantInit(&raw);
  return result;
}

OleVariant OleVariant::ReferenceTo(OleVariant& target) noexcept {
  VARIANT reference;
  VariantInit(&reference);
  reference.vt = VT_VARIANT | VT_BYREF;
  reference.pvarVal = target.Get();
  return Attach(reference);
}

OleVariant::OleVariant(const OleVariant& other) : OleVariant() {
  ThrowOnFailure(VariantCopy(&raw_, const_cast<VARIANT*>(&other.raw_)));
}

OleVariant& OleVariant::operator=(const OleVariant& other) {
  if (this != &other) *this = OleVariant(other);
  return *this;
}

OleVariant::OleVariant(OleVariant&& other) noexcept : raw_(other.raw_) {
  VariantInit(&other.raw_);
}

OleVariant& OleVariant::operator=(OleVariant&& other) noexcept {
  if (this != &other) {
    Clear();
    raw_ = other.raw_;
    VariantInit(&other.raw_);
  }
  return *this;
}

OleVariant::~OleVariant() {
  Clear();
}

void OleVariant::Clear() noexcept {
  // Only a locked array can make this fail, and no array held here is
  // locked by anyone once its owner lets go of it.
  VariantClear(&raw_);
  VariantInit(&raw_);
}

VARIANT OleVariant::Detach() noexcept {
  const VARIANT result = raw_;
  VariantInit(&raw_);
  return result;
}

void OleVariant::CopyTo(VARIANT* dest) const {
  ThrowOnFailure(VariantCopy(dest, const_cast<VARIANT*>(&raw_)));
}

OleVariant OleVariant::Dereferenced() const {
  OleVariant result;
  VARIANT view;
  if (!ResolveReferences(raw_, view))
    ThrowConversionFailure(ConversionStatus::kMismatch, ValueType(), "Variant");
  ThrowOnFailure(VariantCopy(&result.raw_, &view));
  return result;
}

VARIANT* OleVariant::Out() noexcept {
  Clear();
  return &raw_;
}

VARTYPE OleVariant::ValueType() const noexcept {
  VARIANT view;
  return ResolveReferences(raw_, view) ? view.vt : static_cast<VARTYPE>(raw_.vt & ~VT_BYREF);
}

bool OleVariant::IsError(SCODE code) const noexcept {
  VARIANT view;
  return ResolveReferences(raw_, view) && view.vt == VT_ERROR && view.scode == code;
}

OleString OleVariant::ToWide() const {
  OleString text;
  const ConversionStatus status = ConvertToText(raw_, text);
  if (status != ConversionStatus::kOk) ThrowConversionFailure(status, ValueType(), "String");
  return text;
}

std::string OleVariant::ToString() const {
  OleString text;
  const ConversionStatus status = ConvertToText(raw_, text);
  if (status != ConversionStatus::kOk) ThrowConversionFailure(status, ValueType(), "String");
  return ToAnsi(text);
}

std::int64_t OleVariant::ToInt64() const {
  std::int64_t value = 0;
  const ConversionStatus status = ConvertToInt64(raw_, value);
  if (status != ConversionStatus::kOk) ThrowConversionFailure(status, ValueType(), "Int64");
  return value;
}

std::int32_t OleVariant::ToInt32() const {
  std::int64_t value = 0;
  ConversionStatus status = ConvertToInt64(raw_, value);
  if (status == ConversionStatus::kOk && (value < std::numeric_limits<std::int32_t>::min() ||
                                          value > std::numeric_limits<std::int32_t>::max()))
    status = ConversionStatus::kOverflow;
  if (status != ConversionStatus::kOk) ThrowConversionFailure(status, ValueType(), "Integer");
  return static_cast<std::int32_t>(value);
}

bool OleVariant::ToBool() const {
  bool value = false;
  const ConversionStatus status = ConvertToBool(raw_, value);
  if (status != ConversionStatus::kOk) ThrowConversionFailure(status, ValueType(), "Boolean");
  return value;
}

double OleVariant::ToDouble() const {
  double value = 0;
  const ConversionStatus status = ConvertToDouble(raw_, value);
  if (status != ConversionStatus::kOk) ThrowConversionFailure(status, ValueType(), "Double");
  return value;
}

IDispatch* OleVariant::ToDispatch() const {
  VARIANT view;
  if (!ResolveReferences(raw_, view) || view.vt != VT_DISPATCH)
    ThrowConversionFailure(ConversionStatus::kMismatch, ValueType(), "Dispatch");
  return view.pdispVal;
}

std::string OleVariant::KindName(VARTYPE type) {
  if ((type & VT_ARRAY) != 0) return "Array of " + KindName(type & ~VT_ARRAY);
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

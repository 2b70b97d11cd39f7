#include "addin/ParameterExchange.h"

#include <limits>

namespace addin {

namespace {

struct TBounds {
  LONG Lower = 0;
  LONG Upper = -1;
};

TBounds BoundsOf(SAFEARRAY* Array) {
  TBounds Bounds;
  if (!Array) return Bounds;
  LONG Lower = 0, Upper = 0;
  // A failed query leaves both bounds at 0, as the host's own code does.
  if (FAILED(SafeArrayGetLBound(Array, 1, &Lower))) Lower = 0;
  if (FAILED(SafeArrayGetUBound(Array, 1, &Upper))) Upper = 0;
  Bounds.Lower = Lower;
  Bounds.Upper = Upper;
  return Bounds;
}

platform::TOleVariant FromInt64(LONGLONG Value) {
  if (Value >= std::numeric_limits<LONG>::min() && Value <= std::numeric_limits<LONG>::max())
    return platform::TOleVariant(static_cast<LONG>(Value));
  return platform::TOleVariant(static_cast<double>(Value));
}

}  // namespace

TParams ParamsFromHost(SAFEARRAY* Array) {
  const TBounds Bounds = BoundsOf(Array);
  TParams Params;
  if (Bounds.Upper < Bounds.Lower) return Params;
  Params.resize(static_cast<size_t>(static_cast<LONGLONG>(Bounds.Upper) - Bounds.Lower + 1));
  for (LONG i = Bounds.Lower; i <= Bounds.Upper; ++i) {
    VARIANT Element;
    VariantInit(&Element);
    LONG Index = i;
    if (SUCCEEDED(SafeArrayGetElement(Array, &Index, &Element)))
      Params[static_cast<size_t>(i - Bounds.Lower)] = platform::TOleVariant::Attach(Element);
    if (i == Bounds.Upper) break;  // the loop counter must not overflow
  }
  return Params;
}

void ParamsToHost(SAFEARRAY* Array, const TParams& Params) {
  const TBounds Bounds = BoundsOf(Array);
  for (size_t p = 0; p < Params.size(); ++p) {
    const LONGLONG Index64 = static_cast<LONGLONG>(Bounds.Lower) + static_cast<LONGLONG>(p);
    if (Index64 > Bounds.Upper) break;
    LONG Index = static_cast<LONG>(Index64);
    platform::TOleVariant Value = HostValue(Params[p]);
    SafeArrayPutElement(Array, &Index, Value.Get());
  }
}

platform::TOleVariant HostValue(const platform::TOleVariant& Value) {
  const platform::TOleVariant Plain = Value.IsByRef() ? Value.Dereferenced() : Value;
  const VARIANT& Raw = *Plain.Get();
  switch (Raw.vt) {
    case VT_I1:
      return platform::TOleVariant(static_cast<LONG>(static_cast<signed char>(Raw.cVal)));
    case VT_UI1:
      return platform::TOleVariant(static_cast<LONG>(Raw.bVal));
    case VT_UI2:
      return platform::TOleVariant(static_cast<LONG>(Raw.uiVal));
    case VT_UI4:
    case VT_UINT:
      return FromInt64(static_cast<LONGLONG>(Raw.ulVal));
    case VT_I8:
      return FromInt64(Raw.llVal);
    default:
      return Plain;
  }
}

}  // namespace addin

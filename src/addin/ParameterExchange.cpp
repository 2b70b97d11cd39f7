#include "addin/ParameterExchange.h"

#include <limits>

namespace addin {

namespace {

struct TBounds {
  LONG Lower = 0;
  LONG Upper = -1;
};

TBounds BoundsOf(SAFEARRAY* array) {
  TBounds bounds;
  if (!array) return bounds;
  LONG lower = 0, upper = 0;
  // A failed query leaves both bounds at 0, as the host's own code does.
  if (FAILED(SafeArrayGetLBound(array, 1, &lower))) lower = 0;
  if (FAILED(SafeArrayGetUBound(array, 1, &upper))) upper = 0;
  bounds.Lower = lower;
  bounds.Upper = upper;
  return bounds;
}

platform::TOleVariant FromInt64(LONGLONG value) {
  if (value >= std::numeric_limits<LONG>::min() && value <= std::numeric_limits<LONG>::max())
    return platform::TOleVariant(static_cast<LONG>(value));
  return platform::TOleVariant(static_cast<double>(value));
}

}  // namespace

TParams ParamsFromHost(SAFEARRAY* array) {
  const TBounds bounds = BoundsOf(array);
  TParams params;
  if (bounds.Upper < bounds.Lower) return params;
  params.resize(static_cast<std::size_t>(static_cast<LONGLONG>(bounds.Upper) - bounds.Lower + 1));
  for (LONG i = bounds.Lower; i <= bounds.Upper; ++i) {
    VARIANT element;
    VariantInit(&element);
    LONG index = i;
    if (SUCCEEDED(SafeArrayGetElement(array, &index, &element)))
      params[static_cast<std::size_t>(i - bounds.Lower)] = platform::TOleVariant::Attach(element);
    if (i == bounds.Upper) break;  // the loop counter must not overflow
  }
  return params;
}

void ParamsToHost(SAFEARRAY* array, const TParams& params) {
  const TBounds bounds = BoundsOf(array);
  for (std::size_t p = 0; p < params.size(); ++p) {
    const LONGLONG index64 = static_cast<LONGLONG>(bounds.Lower) + static_cast<LONGLONG>(p);
    if (index64 > bounds.Upper) break;
    LONG index = static_cast<LONG>(index64);
    platform::TOleVariant value = HostValue(params[p]);
    SafeArrayPutElement(array, &index, value.Get());
  }
}

platform::TOleVariant HostValue(const platform::TOleVariant& value) {
  const platform::TOleVariant plain = value.IsByRef() ? value.Dereferenced() : value;
  const VARIANT& raw = *plain.Get();
  switch (raw.vt) {
    case VT_I1:
      return platform::TOleVariant(static_cast<LONG>(static_cast<signed char>(raw.cVal)));
    case VT_UI1:
      return platform::TOleVariant(static_cast<LONG>(raw.bVal));
    case VT_UI2:
      return platform::TOleVariant(static_cast<LONG>(raw.uiVal));
    case VT_UI4:
    case VT_UINT:
      return FromInt64(static_cast<LONGLONG>(raw.ulVal));
    case VT_I8:
      return FromInt64(raw.llVal);
    default:
      return plain;
  }
}

}  // namespace addin

// Variant lifetime and conversion for non-Windows builds, with the
// ownership rules of OLE Automation: a variant owns its string, one
// reference to its object and its array, unless it holds a reference
// (VT_BYREF), which owns nothing.
#ifndef _WIN32

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>

#include "platform/com/Com.h"
#include "platform/com/VariantConversion.h"

namespace {

bool IsKnownScalarType(VARTYPE type) {
  return type <= VT_DECIMAL || (type >= VT_I1 && type <= VT_UINT);
}

bool IsValidType(VARTYPE vt) {
  const auto type = static_cast<VARTYPE>(vt & ~(VT_BYREF | VT_ARRAY));
  if ((vt & (VT_BYREF | VT_ARRAY)) != 0)
    return IsKnownScalarType(type) && type != VT_EMPTY && type != VT_NULL;
  return IsKnownScalarType(type) && type != VT_VARIANT;
}

// The kinds VariantChangeType can produce from another kind.
bool IsConvertibleTarget(VARTYPE vt) {
  switch (vt) {
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_I8:
    case VT_UI8:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_BSTR:
    case VT_BOOL:
      return true;
    default:
      return false;
  }
}

// Copies a variant that is not a reference: strings are duplicated, objects
// gain a reference, arrays are copied deeply. `dest` is overwritten.
HRESULT CopyOwnedValue(VARIANT* dest, const VARIANT& source) {
  VARIANT copy = source;
  if ((source.vt & VT_ARRAY) != 0) {
    const HRESULT hr = SafeArrayCopy(source.parray, &copy.parray);
    if (FAILED(hr)) return hr;
  } else if (source.vt == VT_BSTR && source.bstrVal != nullptr) {
    copy.bstrVal = SysAllocStringLen(source.bstrVal, SysStringLen(source.bstrVal));
    if (copy.bstrVal == nullptr) return E_OUTOFMEMORY;
  } else if ((source.vt == VT_DISPATCH || source.vt == VT_UNKNOWN) && source.punkVal != nullptr) {
    source.punkVal->AddRef();
  }
  *dest = copy;
  return S_OK;
}

// Builds the target kind from any scalar source. `result` is overwritten.
HRESULT Convert(const VARIANT& source, VARTYPE target, VARIANT& result) {
  using platform::TConversionStatus;
  const auto failed = [](TConversionStatus status) {
    return status == TConversionStatus::Overflow ? DISP_E_OVERFLOW : DISP_E_TYPEMISMATCH;
  };
  VariantInit(&result);
  result.vt = target;

  if (target == VT_BSTR) {
    platform::TOleString text;
    if (const auto status = platform::ConvertToText(source, text); status != TConversionStatus::Ok)
      return failed(status);
    result.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return result.bstrVal != nullptr ? S_OK : E_OUTOFMEMORY;
  }
  if (target == VT_BOOL) {
    bool value = false;
    if (const auto status = platform::ConvertToBool(source, value); status != TConversionStatus::Ok)
      return failed(status);
    result.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
  }
  if (target == VT_R4 || target == VT_R8 || target == VT_DATE || target == VT_CY) {
    double value = 0;
    if (const auto status = platform::ConvertToDouble(source, value);
        status != TConversionStatus::Ok)
      return failed(status);
    switch (target) {
      case VT_R4:
        if (std::isfinite(value) && (value > FLT_MAX || value < -FLT_MAX)) return DISP_E_OVERFLOW;
        result.fltVal = static_cast<float>(value);
        return S_OK;
      case VT_R8:
        result.dblVal = value;
        return S_OK;
      case VT_DATE:
        if (!(value >= -657434.0 && value < 2958466.0)) return DISP_E_OVERFLOW;
        result.date = value;
        return S_OK;
      default: {
        const double scaled = std::nearbyint(value * 10000.0);
        if (!(scaled >= -9223372036854775808.0 && scaled < 9223372036854775808.0))
          return DISP_E_OVERFLOW;
        result.cyVal.int64 = static_cast<LONGLONG>(scaled);
        return S_OK;
      }
    }
  }

  std::int64_t value = 0;
  if (const auto status = platform::ConvertToInt64(source, value); status != TConversionStatus::Ok)
    return failed(status);
  // Stores the value when it lies in the range of Range, else an overflow.
  const auto store = [value]<typename Range, typename Field>(Range, Field& field) -> HRESULT {
    if (!(value >= static_cast<std::int64_t>(std::numeric_limits<Range>::min()) &&
          (value < 0 || static_cast<std::uint64_t>(value) <= std::numeric_limits<Range>::max())))
      return DISP_E_OVERFLOW;
    field = static_cast<Field>(value);
    return S_OK;
  };
  switch (target) {
    case VT_I1:
      return store(std::int8_t{}, result.cVal);
    case VT_UI1:
      return store(std::uint8_t{}, result.bVal);
    case VT_I2:
      return store(std::int16_t{}, result.iVal);
    case VT_UI2:
      return store(std::uint16_t{}, result.uiVal);
    case VT_I4:
    case VT_INT:
      return store(std::int32_t{}, result.lVal);
    case VT_UI4:
    case VT_UINT:
      return store(std::uint32_t{}, result.ulVal);
    case VT_I8:
      return store(std::int64_t{}, result.llVal);
    case VT_UI8:
      return store(std::uint64_t{}, result.ullVal);
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

}  // namespace

void VariantInit(VARIANTARG* pvarg) {
  pvarg->vt = VT_EMPTY;
  pvarg->wReserved1 = pvarg->wReserved2 = pvarg->wReserved3 = 0;
  pvarg->llVal = 0;
}

HRESULT VariantClear(VARIANTARG* pvarg) {
  if (pvarg == nullptr) return E_INVALIDARG;
  if (!IsValidType(pvarg->vt)) return DISP_E_BADVARTYPE;
  if ((pvarg->vt & VT_BYREF) == 0) {
    if ((pvarg->vt & VT_ARRAY) != 0) {
      const HRESULT hr = SafeArrayDestroy(pvarg->parray);
      if (FAILED(hr)) return hr;
    } else if (pvarg->vt == VT_BSTR) {
      SysFreeString(pvarg->bstrVal);
    } else if ((pvarg->vt == VT_DISPATCH || pvarg->vt == VT_UNKNOWN) && pvarg->punkVal) {
      pvarg->punkVal->Release();
    }
  }
  VariantInit(pvarg);
  return S_OK;
}

HRESULT VariantCopy(VARIANTARG* pvargDest, VARIANTARG* pvargSrc) {
  if (pvargDest == nullptr || pvargSrc == nullptr) return E_INVALIDARG;
  if (pvargDest == pvargSrc) return S_OK;
  if (!IsValidType(pvargSrc->vt)) return DISP_E_BADVARTYPE;
  const HRESULT hr = VariantClear(pvargDest);
  if (FAILED(hr)) return hr;
  if ((pvargSrc->vt & VT_BYREF) != 0) {
    *pvargDest = *pvargSrc;
    return S_OK;
  }
  return CopyOwnedValue(pvargDest, *pvargSrc);
}

HRESULT VariantCopyInd(VARIANT* pvarDest, VARIANTARG* pvargSrc) {
  if (pvarDest == nullptr || pvargSrc == nullptr) return E_INVALIDARG;
  if (!IsValidType(pvargSrc->vt)) return DISP_E_BADVARTYPE;
  if (pvarDest == pvargSrc && (pvargSrc->vt & VT_BYREF) == 0) return S_OK;
  VARIANT view;
  if (!platform::ResolveReferences(*pvargSrc, view)) return E_INVALIDARG;
  // Copy first: the source may be the destination itself, or refer into it.
  VARIANT copy;
  HRESULT hr = CopyOwnedValue(&copy, view);
  if (FAILED(hr)) return hr;
  if (pvarDest == pvargSrc && (pvargSrc->vt & VT_BYREF) != 0) {
    *pvarDest = copy;  // a reference owns nothing: nothing to clear
    return S_OK;
  }
  hr = VariantClear(pvarDest);
  if (FAILED(hr)) {
    VariantClear(&copy);
    return hr;
  }
  *pvarDest = copy;
  return S_OK;
}

HRESULT VariantChangeType(VARIANTARG* pvargDest, VARIANTARG* pvarSrc, USHORT, VARTYPE vt) {
  if (pvargDest == nullptr || pvarSrc == nullptr) return E_INVALIDARG;
  if (!IsValidType(pvarSrc->vt)) return DISP_E_BADVARTYPE;
  VARIANT view;
  if (!platform::ResolveReferences(*pvarSrc, view)) return DISP_E_TYPEMISMATCH;

  VARIANT result;
  HRESULT hr;
  if (view.vt == vt) {
    hr = CopyOwnedValue(&result, view);
  } else if (vt == VT_EMPTY) {
    VariantInit(&result);
    hr = S_OK;
  } else if ((view.vt & VT_ARRAY) != 0 || !IsConvertibleTarget(vt)) {
    hr = DISP_E_TYPEMISMATCH;
  } else {
    hr = Convert(view, vt, result);
  }
  if (FAILED(hr)) return hr;
  // The destination may be the source: clear it only once the result exists.
  hr = VariantClear(pvargDest);
  if (FAILED(hr)) {
    VariantClear(&result);
    return hr;
  }
  *pvargDest = result;
  return S_OK;
}

#endif

// One-dimensional safe arrays for non-Windows builds. Only arrays made by
// SafeArrayCreate* are accepted: the element type is kept in a header just
// before the descriptor, as Windows does with FADF_HAVEVARTYPE.
#ifndef _WIN32

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/com/Com.h"

namespace {

struct TArrayBlock {
  VARTYPE ElementType;
  SAFEARRAY Descriptor;
};

TArrayBlock* BlockOf(SAFEARRAY* psa) {
  return reinterpret_cast<TArrayBlock*>(reinterpret_cast<char*>(psa) -
                                        offsetof(TArrayBlock, Descriptor));
}

// Element size of a supported element type, 0 for the others.
ULONG ElementSize(VARTYPE vt) {
  switch (vt) {
    case VT_I1:
    case VT_UI1:
      return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
      return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR:
      return 4;
    case VT_I8:
    case VT_UI8:
    case VT_R8:
    case VT_DATE:
    case VT_CY:
      return 8;
    case VT_DECIMAL:
      return sizeof(DECIMAL);
    case VT_BSTR:
      return sizeof(BSTR);
    case VT_DISPATCH:
    case VT_UNKNOWN:
      return sizeof(IUnknown*);
    case VT_VARIANT:
      return sizeof(VARIANT);
    default:
      return 0;
  }
}

USHORT FeaturesOf(VARTYPE vt) {
  switch (vt) {
    case VT_BSTR:
      return FADF_HAVEVARTYPE | FADF_BSTR;
    case VT_DISPATCH:
      return FADF_HAVEVARTYPE | FADF_DISPATCH;
    case VT_UNKNOWN:
      return FADF_HAVEVARTYPE | FADF_UNKNOWN;
    case VT_VARIANT:
      return FADF_HAVEVARTYPE | FADF_VARIANT;
    default:
      return FADF_HAVEVARTYPE;
  }
}

char* ElementAt(SAFEARRAY* psa, ULONG offset) {
  return static_cast<char*>(psa->pvData) + static_cast<std::size_t>(offset) * psa->cbElements;
}

// Releases what one element owns and leaves it zeroed.
void ClearElement(VARTYPE type, char* element) {
  switch (type) {
    case VT_VARIANT:
      VariantClear(reinterpret_cast<VARIANT*>(element));
      break;
    case VT_BSTR:
      SysFreeString(*reinterpret_cast<BSTR*>(element));
      break;
    case VT_DISPATCH:
    case VT_UNKNOWN:
      if (IUnknown* object = *reinterpret_cast<IUnknown**>(element)) object->Release();
      break;
    default:
      break;
  }
  std::memset(element, 0, ElementSize(type));
}

// Stores a copy of `value` (laid out as SafeArrayPutElement takes it) into
// an element that holds nothing.
HRESULT CopyIntoElement(VARTYPE type, char* element, void* value) {
  switch (type) {
    case VT_VARIANT:
      return VariantCopy(reinterpret_cast<VARIANT*>(element), static_cast<VARIANT*>(value));
    case VT_BSTR: {
      BSTR text = static_cast<BSTR>(value);
      BSTR copy = text == nullptr ? nullptr : SysAllocStringLen(text, SysStringLen(text));
      if (text != nullptr && copy == nullptr) return E_OUTOFMEMORY;
      std::memcpy(element, &copy, sizeof copy);
      return S_OK;
    }
    case VT_DISPATCH:
    case VT_UNKNOWN: {
      auto* object = static_cast<IUnknown*>(value);
      if (object != nullptr) object->AddRef();
      std::memcpy(element, &object, sizeof object);
      return S_OK;
    }
    default:
      std::memcpy(element, value, ElementSize(type));
      return S_OK;
  }
}

// Position of an index within the data, or DISP_E_BADINDEX.
HRESULT OffsetOf(SAFEARRAY* psa, const LONG* rgIndices, ULONG& offset) {
  const std::int64_t position = static_cast<std::int64_t>(rgIndices[0]) - psa->rgsabound[0].lLbound;
  if (position < 0 || position >= psa->rgsabound[0].cElements) return DISP_E_BADINDEX;
  offset = static_cast<ULONG>(position);
  return S_OK;
}

}  // namespace

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound) {
  const ULONG size = ElementSize(vt);
  if (cDims != 1 || rgsabound == nullptr || size == 0) return nullptr;
  const SAFEARRAYBOUND bound = rgsabound[0];
  // The last index must be a LONG, and the data must be addressable.
  if (static_cast<std::int64_t>(bound.lLbound) + bound.cElements - 1 > INT32_MAX) return nullptr;
  if (bound.cElements > SIZE_MAX / size) return nullptr;

  auto* block = new (std::nothrow) TArrayBlock{};
  if (block == nullptr) return nullptr;
  void* data = nullptr;
  if (bound.cElements != 0) {
    // Zeroed memory is a valid empty element of every supported type.
    data = std::calloc(bound.cElements, size);
    if (data == nullptr) {
      delete block;
      return nullptr;
    }
  }
  block->ElementType = vt;
  SAFEARRAY& array = block->Descriptor;
  array.cDims = 1;
  array.fFeatures = FeaturesOf(vt);
  array.cbElements = size;
  array.cLocks = 0;
  array.pvData = data;
  array.rgsabound[0] = bound;
  return &array;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
  SAFEARRAYBOUND bound{cElements, lLbound};
  return SafeArrayCreate(vt, 1, &bound);
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa) {
  if (psa == nullptr) return S_OK;
  if (psa->cLocks != 0) return DISP_E_ARRAYISLOCKED;
  TArrayBlock* block = BlockOf(psa);
  for (ULONG i = 0; i < psa->rgsabound[0].cElements; ++i)
    ClearElement(block->ElementType, ElementAt(psa, i));
  std::free(psa->pvData);
  delete block;
  return S_OK;
}

HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) {
  if (ppsaOut == nullptr) return E_INVALIDARG;
  *ppsaOut = nullptr;
  if (psa == nullptr) return S_OK;
  const VARTYPE type = BlockOf(psa)->ElementType;
  SAFEARRAY* copy = SafeArrayCreate(type, 1, psa->rgsabound);
  if (copy == nullptr) return E_OUTOFMEMORY;
  for (ULONG i = 0; i < psa->rgsabound[0].cElements; ++i) {
    char* element = ElementAt(psa, i);
    // Put takes strings and objects by value, everything else by address.
    void* value = element;
    if (type == VT_BSTR || type == VT_DISPATCH || type == VT_UNKNOWN)
      std::memcpy(&value, element, sizeof value);
    const HRESULT hr = CopyIntoElement(type, ElementAt(copy, i), value);
    if (FAILED(hr)) {
      SafeArrayDestroy(copy);
      return hr;
    }
  }
  *ppsaOut = copy;
  return S_OK;
}

UINT SafeArrayGetDim(SAFEARRAY* psa) {
  return psa == nullptr ? 0 : psa->cDims;
}

UINT SafeArrayGetElemsize(SAFEARRAY* psa) {
  return psa == nullptr ? 0 : psa->cbElements;
}

HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt) {
  if (psa == nullptr || pvt == nullptr) return E_INVALIDARG;
  *pvt = BlockOf(psa)->ElementType;
  return S_OK;
}

HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) {
  if (psa == nullptr || plLbound == nullptr) return E_INVALIDARG;
  if (nDim != 1) return DISP_E_BADINDEX;
  *plLbound = psa->rgsabound[0].lLbound;
  return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) {
  if (psa == nullptr || plUbound == nullptr) return E_INVALIDARG;
  if (nDim != 1) return DISP_E_BADINDEX;
  // An empty array answers lower bound - 1, as on Windows.
  *plUbound = static_cast<LONG>(static_cast<std::int64_t>(psa->rgsabound[0].lLbound) +
                                psa->rgsabound[0].cElements - 1);
  return S_OK;
}

HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
  if (psa == nullptr || rgIndices == nullptr || pv == nullptr) return E_INVALIDARG;
  ULONG offset = 0;
  if (const HRESULT hr = OffsetOf(psa, rgIndices, offset); FAILED(hr)) return hr;
  const VARTYPE type = BlockOf(psa)->ElementType;
  char* element = ElementAt(psa, offset);
  switch (type) {
    case VT_VARIANT:
      // The destination is treated as uninitialised, as Windows does.
      VariantInit(static_cast<VARIANT*>(pv));
      return VariantCopy(static_cast<VARIANT*>(pv), reinterpret_cast<VARIANT*>(element));
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_UNKNOWN: {
      void* value = nullptr;
      std::memcpy(&value, element, sizeof value);
      return CopyIntoElement(type, static_cast<char*>(pv), value);
    }
    default:
      std::memcpy(pv, element, psa->cbElements);
      return S_OK;
  }
}

HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
  if (psa == nullptr || rgIndices == nullptr) return E_INVALIDARG;
  const VARTYPE type = BlockOf(psa)->ElementType;
  // Strings and objects may be null; other values are read through pv.
  if (pv == nullptr && type != VT_BSTR && type != VT_DISPATCH && type != VT_UNKNOWN)
    return E_INVALIDARG;
  ULONG offset = 0;
  if (const HRESULT hr = OffsetOf(psa, rgIndices, offset); FAILED(hr)) return hr;
  // Copy before clearing: the new value may be the element itself.
  char* element = ElementAt(psa, offset);
  alignas(VARIANT) char fresh[sizeof(VARIANT)] = {};
  if (type == VT_VARIANT) VariantInit(reinterpret_cast<VARIANT*>(fresh));
  const HRESULT hr = CopyIntoElement(type, fresh, pv);
  if (FAILED(hr)) return hr;
  ClearElement(type, element);
  std::memcpy(element, fresh, psa->cbElements);
  return S_OK;
}

HRESULT SafeArrayLock(SAFEARRAY* psa) {
  if (psa == nullptr) return E_INVALIDARG;
  ++psa->cLocks;
  return S_OK;
}

HRESULT SafeArrayUnlock(SAFEARRAY* psa) {
  if (psa == nullptr) return E_INVALIDARG;
  if (psa->cLocks == 0) return E_UNEXPECTED;
  --psa->cLocks;
  return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) {
  if (psa == nullptr || ppvData == nullptr) return E_INVALIDARG;
  SafeArrayLock(psa);
  *ppvData = psa->pvData;
  return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) {
  return SafeArrayUnlock(psa);
}

#endif

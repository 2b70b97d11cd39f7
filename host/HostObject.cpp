#include "host/HostObject.h"

#include "host/Utf8.h"

namespace host {

namespace {

// {6C1D43B2-8E0A-4C55-9B0F-2A7F3E9D1C40}: asks a host object for itself.
constexpr IID IID_THostObject = {
    0x6C1D43B2, 0x8E0A, 0x4C55, {0x9B, 0x0F, 0x2A, 0x7F, 0x3E, 0x9D, 0x1C, 0x40}};

OLECHAR AsciiLower(OLECHAR c) {
  return c >= 'A' && c <= 'Z' ? static_cast<OLECHAR>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view ascii, const platform::TOleString& name) {
  if (ascii.size() != name.size()) return false;
  for (std::size_t i = 0; i < ascii.size(); ++i)
    if (AsciiLower(static_cast<OLECHAR>(ascii[i])) != AsciiLower(name[i])) return false;
  return true;
}

void FillException(EXCEPINFO* info, const std::string& description) {
  if (!info) return;
  *info = EXCEPINFO{};
  info->bstrSource = SysAllocString(OLESTR("Host"));
  const platform::TOleString text = Utf16FromUtf8(description);
  info->bstrDescription = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  info->scode = DISP_E_EXCEPTION;
}

}  // namespace

TCallArgs::TCallArgs(const DISPPARAMS* params) {
  if (!params) return;
  // Invoke passes the arguments last to first.
  for (UINT i = params->cArgs; i > 0; --i) args_.push_back(&params->rgvarg[i - 1]);
}

bool TCallArgs::IsOmitted(std::size_t index) const noexcept {
  if (index >= args_.size()) return true;
  const VARIANT* arg = args_[index];
  if (arg->vt == (VT_VARIANT | VT_BYREF)) arg = arg->pvarVal;
  return arg->vt == VT_ERROR && arg->scode == DISP_E_PARAMNOTFOUND;
}

platform::TOleVariant TCallArgs::Value(std::size_t index) const {
  if (index >= args_.size()) return platform::TOleVariant::Omitted();
  return platform::TOleVariant::CopyOf(*args_[index]).Dereferenced();
}

bool TCallArgs::IsByRef(std::size_t index) const noexcept {
  return index < args_.size() && args_[index]->vt == (VT_VARIANT | VT_BYREF);
}

void TCallArgs::WriteBack(std::size_t index, const platform::TOleVariant& value) const {
  if (IsByRef(index)) value.CopyTo(args_[index]->pvarVal);
}

void TCallArgs::RequireAtMost(std::size_t maximum, std::string_view member) const {
  if (args_.size() > maximum)
    throw TBadParamCount(std::string(member) + " takes at most " + std::to_string(maximum) +
                         " arguments");
}

THostObject* THostObject::From(IUnknown* object) noexcept {
  if (!object) return nullptr;
  void* self = nullptr;
  if (FAILED(object->QueryInterface(IID_THostObject, &self))) return nullptr;
  // The answer is not a counted interface reference.
  return static_cast<THostObject*>(self);
}

HRESULT THostObject::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (IsEqualIID(riid, IID_THostObject)) {
    *ppv = this;
    return S_OK;
  }
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
    *ppv = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

ULONG THostObject::AddRef() {
  return static_cast<ULONG>(++refCount_);
}

ULONG THostObject::Release() {
  const LONG count = --refCount_;
  if (count == 0 && DeleteOnLastRelease()) delete this;
  return static_cast<ULONG>(count);
}

HRESULT THostObject::GetTypeInfoCount(UINT* pctinfo) {
  if (!pctinfo) return E_POINTER;
  *pctinfo = 0;
  return S_OK;
}

HRESULT THostObject::GetTypeInfo(UINT, LCID, ITypeInfo**) {
  return E_NOTIMPL;
}

HRESULT THostObject::GetIDsOfNames(REFIID, LPOLESTR* rgszNames, UINT cNames, LCID,
                                   DISPID* rgDispId) {
  if (!rgszNames || !rgDispId) return E_POINTER;
  HRESULT hr = S_OK;
  for (UINT i = 0; i < cNames; ++i) {
    try {
      rgDispId[i] = MemberId(platform::TOleString(rgszNames[i] ? rgszNames[i] : OLESTR("")));
    } catch (...) {
      rgDispId[i] = DISPID_UNKNOWN;
    }
    if (rgDispId[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

HRESULT THostObject::Invoke(DISPID dispIdMember, REFIID, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                            VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT*) {
  try {
    const TCallArgs args(pDispParams);
    platform::TOleVariant result;
    Call(dispIdMember, wFlags, args, pVarResult ? &result : nullptr);
    if (pVarResult) {
      VariantClear(pVarResult);
      *pVarResult = result.Detach();
    }
    return S_OK;
  } catch (const TMemberNotFound&) {
    return DISP_E_MEMBERNOTFOUND;
  } catch (const TBadParamCount& error) {
    FillException(pExcepInfo, error.what());
    return DISP_E_BADPARAMCOUNT;
  } catch (const std::exception& error) {
    FillException(pExcepInfo, error.what());
    return DISP_E_EXCEPTION;
  } catch (...) {
    FillException(pExcepInfo, "unknown failure");
    return DISP_E_EXCEPTION;
  }
}

platform::TOleVariant Adopt(THostObject* created) {
  platform::TOleVariant holder(static_cast<IDispatch*>(created));
  created->Release();  // the creation reference; the variant keeps its own
  return holder;
}

DISPID FindMemberName(const std::vector<std::string_view>& names,
                      const platform::TOleString& name) {
  for (std::size_t i = 0; i < names.size(); ++i)
    if (SameName(names[i], name)) return static_cast<DISPID>(i + 1);
  return DISPID_UNKNOWN;
}

platform::TOleString ArgText(const TCallArgs& args, std::size_t index) {
  return args.Value(index).ToWide();
}

}  // namespace host

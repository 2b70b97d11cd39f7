#include "host/HostConnection.h"

#include "host/Utf8.h"
#include "platform/com/DispatchCall.h"

namespace host {

HRESULT THostConnection::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (IsEqualIID(riid, IID_IErrorLog)) {
    *ppv = static_cast<IErrorLog*>(this);
  } else if (IsEqualIID(riid, IID_IStatusLine)) {
    *ppv = static_cast<IStatusLine*>(this);
  } else {
    return THostObject::QueryInterface(riid, ppv);
  }
  AddRef();
  return S_OK;
}

HRESULT THostConnection::AddError(LPCOLESTR, EXCEPINFO* pExcepInfo) {
  if (!pExcepInfo) return E_POINTER;
  try {
    std::string code;
    if (pExcepInfo->wCode != 0) {
      code = std::to_string(pExcepInfo->wCode);
    } else {
      code = platform::HResultHex(pExcepInfo->scode);
    }
    output_("! " + code + " " + Utf8FromUtf16(platform::ViewOfBstr(pExcepInfo->bstrSource)) + ": " +
            Utf8FromUtf16(platform::ViewOfBstr(pExcepInfo->bstrDescription)));
    return S_OK;
  } catch (...) {
    return E_FAIL;
  }
}

HRESULT THostConnection::SetStatusLine(BSTR bstrSource) {
  try {
    if (showStatus_) output_("~ " + Utf8FromUtf16(platform::ViewOfBstr(bstrSource)));
    return S_OK;
  } catch (...) {
    return E_FAIL;
  }
}

HRESULT THostConnection::ResetStatusLine() {
  try {
    if (showStatus_) output_("~ reset");
    return S_OK;
  } catch (...) {
    return E_FAIL;
  }
}

DISPID THostConnection::MemberId(const platform::TOleString& name) {
  return FindMemberName({"AppDispatch"}, name);
}

void THostConnection::Call(DISPID, WORD flags, const TCallArgs& args,
                           platform::TOleVariant* result) {
  if (flags & DISPATCH_PROPERTYPUT) throw TMemberNotFound("AppDispatch cannot be set");
  args.RequireAtMost(0, "AppDispatch");
  if (result) *result = platform::TOleVariant(application_);
}

}  // namespace host

#include "FakeHost.h"

#include "platform/os/CodePage.h"

namespace fake {

namespace {
bool NameIs(LPOLESTR name, const char* expected) {
  return platform::ToAnsi(platform::TOleStringView(name)) == expected;
}
}  // namespace

HRESULT TApp::QueryInterface(REFIID riid, void** ppv) {
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
    *ppv = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

HRESULT TApp::GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) {
  *ids = NameIs(names[0], "EvalExpr") ? 1 : DISPID_UNKNOWN;
  return *ids == 1 ? S_OK : DISP_E_UNKNOWNNAME;
}

HRESULT TApp::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                     EXCEPINFO* info, UINT*) {
  Evaluated.push_back(platform::TOleVariant::CopyOf(params->rgvarg[0]).ToString());
  if (!acceptsEvalExpr_) {
    *info = EXCEPINFO{};
    info->bstrDescription = SysAllocString(OLESTR("no expressions here"));
    return DISP_E_EXCEPTION;
  }
  if (result) *result = platform::TOleVariant(0).Detach();
  return S_OK;
}

HRESULT TConnection::QueryInterface(REFIID riid, void** ppv) {
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch))
    *ppv = static_cast<IDispatch*>(this);
  else if (offersErrorLog_ && IsEqualIID(riid, IID_IErrorLog))
    *ppv = static_cast<IErrorLog*>(this);
  else if (offersStatusLine_ && IsEqualIID(riid, IID_IStatusLine))
    *ppv = static_cast<IStatusLine*>(this);
  else {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

HRESULT TConnection::GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) {
  *ids = NameIs(names[0], "AppDispatch") ? 1 : DISPID_UNKNOWN;
  return *ids == 1 ? S_OK : DISP_E_UNKNOWNNAME;
}

HRESULT TConnection::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                            UINT*) {
  if (!app_) return DISP_E_MEMBERNOTFOUND;
  if (result) *result = platform::TOleVariant(static_cast<IDispatch*>(app_)).Detach();
  return S_OK;
}

HRESULT TConnection::AddError(LPCOLESTR property, EXCEPINFO* info) {
  if (property && property[0] != 0) return E_INVALIDARG;
  Errors.push_back({info->wCode, platform::AnsiFromBstr(info->bstrSource),
                    platform::AnsiFromBstr(info->bstrDescription)});
  return S_OK;
}

HRESULT TConnection::SetStatusLine(BSTR text) {
  Status.push_back(platform::AnsiFromBstr(text));
  return S_OK;
}

HRESULT TConnection::ResetStatusLine() {
  Status.push_back("reset");
  return S_OK;
}

}  // namespace fake

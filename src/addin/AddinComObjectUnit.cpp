#include "addin/AddinComObjectUnit.h"

#include <exception>

#include "addin/ComServer.h"
#include "addin/HostAutomation.h"
#include "addin/ParameterExchange.h"
#include "platform/com/Bstr.h"
#include "platform/os/CodePage.h"

namespace addin {

TAddin::TAddin() {
  AddLiveObject();
}

TAddin::~TAddin() {
  RemoveLiveObject();
}

// ---------------------------------------------------------------- IUnknown

HRESULT TAddin::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ILanguageExtender))
    *ppv = static_cast<ILanguageExtender*>(this);
  else if (IsEqualIID(riid, IID_IInitDone))
    *ppv = static_cast<IInitDone*>(this);
  else if (IsEqualIID(riid, IID_ISupportErrorInfo))
    *ppv = static_cast<ISupportErrorInfo*>(this);
  else if (IsEqualIID(riid, IID_IDispatch))
    *ppv = static_cast<IDispatch*>(this);
  else {
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG TAddin::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&refCount_));
}

ULONG TAddin::Release() {
  const LONG count = InterlockedDecrement(&refCount_);
  if (count == 0) delete this;
  return static_cast<ULONG>(count);
}

HRESULT TAddin::InterfaceSupportsErrorInfo(REFIID riid) {
  const bool implemented =
      IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ILanguageExtender) ||
      IsEqualIID(riid, IID_IInitDone) || IsEqualIID(riid, IID_ISupportErrorInfo) ||
      IsEqualIID(riid, IID_IDispatch);
  return implemented ? S_OK : S_FALSE;
}

// ---------------------------------------------------------------- helpers

const TAddinHelper& TAddin::Table() const {
  if (!memberTable_) throw TAddinError("The add-in object is not initialised");
  return *memberTable_;
}

std::string TAddin::ExtensionName() const {
  return memberTable_ ? memberTable_->ExtensionName : std::string();
}

template <class Body>
HRESULT TAddin::Guarded(Body&& run) noexcept {
  try {
    return run();
  } catch (const std::exception& error) {
    ReportError(error.what());
  } catch (...) {
    ReportError("Unknown error in add-in " + ExtensionName());
  }
  return S_FALSE;
}

template <class Slot, class Compute>
HRESULT TAddin::GuardedAnswer(Slot* out, Compute&& compute) noexcept {
  if (!out) return E_POINTER;
  *out = 0;
  return Guarded([&] {
    *out = static_cast<Slot>(compute());  // a flag becomes TRUE or FALSE
    return S_OK;
  });
}

template <class Fill>
HRESULT TAddin::GuardedVariant(VARIANT* out, Fill&& store) noexcept {
  if (!out) return E_POINTER;
  VariantClear(out);
  platform::TOleVariant value;
  const HRESULT hr = Guarded([&] {
    store(value);
    return S_OK;
  });
  *out = value.Detach();
  return hr;
}

void TAddin::ReportError(const std::string& message) noexcept {
  if (!errorLog_) return;
  try {
    platform::TBstr source = platform::TBstr::FromAnsi("AddIn." + ExtensionName());
    platform::TBstr description = platform::TBstr::FromAnsi(message);
    EXCEPINFO record{};
    record.wCode = kAddinErrorCode;
    record.bstrSource = source.Get();
    record.bstrDescription = description.Get();
    // The record and its strings stay ours; the log copies what it keeps.
    errorLog_->AddError(OLESTR(""), &record);
  } catch (...) {
    // Nothing can be reported about a failure to report.
  }
}

platform::TOleVariant TAddin::GetAppDispatch() {
  platform::TOleVariant app = HostFunction(hostConnection_.Get(), "AppDispatch");
  if (expressionDialect_ && app.IsDispatch() && app.ToDispatch()) app.ToDispatch()->AddRef();
  return app;
}

platform::TOleVariant TAddin::NewHostObject(const std::string& kind) {
  return Dialect().NewObject(GetAppDispatch(), kind);
}

bool TAddin::IsOmitted(const platform::TOleVariant& value) noexcept {
  return value.IsEmpty() || value.IsNull() || value.IsError(DISP_E_PARAMNOTFOUND);
}

// --------------------------------------------------------------- IInitDone

HRESULT TAddin::Init(IDispatch* pConnection) {
  hostConnection_ = TComPtr<IDispatch>::Share(pConnection);
  errorLog_.Reset();
  statusLine_.Reset();
  if (pConnection) {
    // A host that refuses either interface simply leaves it empty.
    pConnection->QueryInterface(IID_IErrorLog, errorLog_.Out());
    pConnection->QueryInterface(IID_IStatusLine, statusLine_.Out());
  }
  return Guarded([&] { return DoInit(); });
}

HRESULT TAddin::Done() {
  errorLog_.Reset();
  statusLine_.Reset();
  return Guarded([&] { return DoDone(); });
}

HRESULT TAddin::GetInfo(SAFEARRAY** pInfo) {
  if (!pInfo || !*pInfo) return E_POINTER;
  // The version is a string on purpose: the host reads it as text.
  platform::TOleVariant version("2000");
  LONG index = 0;
  SafeArrayPutElement(*pInfo, &index, version.Get());
  return S_OK;
}

HRESULT TAddin::DoInit() {
  expressionDialect_ = false;
  platform::TOleVariant app;
  try {
    app = HostFunction(hostConnection_.Get(), "AppDispatch");
  } catch (...) {
    // Without an application object the host can only be driven as objects.
    return S_OK;
  }
  if (!app.IsDispatch() || !app.ToDispatch()) return S_OK;
  IDispatch* appObject = app.ToDispatch();
  appObject->AddRef();
  expressionDialect_ = true;
  try {
    HostProcedure(appObject, "EvalExpr", {platform::TOleVariant("1-1")});
  } catch (...) {
    appObject->Release();
    expressionDialect_ = false;
  }
  return S_OK;
}

HRESULT TAddin::DoDone() {
  return S_OK;
}

// ------------------------------------------------------- ILanguageExtender

HRESULT TAddin::RegisterExtensionAs(BSTR* bstrExtensionName) {
  if (!bstrExtensionName) return E_POINTER;
  return Guarded([&] {
    const std::string name = Table().ExtensionName;
    platform::TBstr replacement = platform::TBstr::FromAnsi(name);
    SysFreeString(*bstrExtensionName);
    *bstrExtensionName = replacement.Detach();
    return S_OK;
  });
}

HRESULT TAddin::GetNProps(LONG* plProps) {
  return GuardedAnswer(plProps, [&] { return Table().GetPropertyCount(*this); });
}

HRESULT TAddin::FindProp(BSTR bstrPropName, LONG* plPropNum) {
  if (!plPropNum) return E_POINTER;
  *plPropNum = -1;
  return Guarded([&] {
    *plPropNum = Table().FindProperty(*this, platform::ViewOfBstr(bstrPropName));
    return *plPropNum != -1 ? S_OK : S_FALSE;
  });
}

namespace {
// Replaces the host's string with a name; S_FALSE when the name is empty.
HRESULT GiveName(BSTR* slot, const platform::TOleString& name) {
  platform::TBstr text(name);
  *slot = text.Detach();
  return name.empty() ? S_FALSE : S_OK;
}
}  // namespace

HRESULT TAddin::GetPropName(LONG lPropNum, LONG lPropAlias, BSTR* pbstrPropName) {
  if (!pbstrPropName) return E_POINTER;
  SysFreeString(*pbstrPropName);
  *pbstrPropName = nullptr;
  return Guarded([&] {
    return GiveName(pbstrPropName, Table().GetPropertyName(*this, lPropNum, lPropAlias));
  });
}

HRESULT TAddin::GetPropVal(LONG lPropNum, VARIANT* pvarPropVal) {
  return GuardedVariant(pvarPropVal, [&](platform::TOleVariant& value) {
    Table().GetProperty(*this, lPropNum, value);
  });
}

HRESULT TAddin::SetPropVal(LONG lPropNum, VARIANT* varPropVal) {
  if (!varPropVal) return E_POINTER;
  return Guarded([&] {
    platform::TOleVariant value = platform::TOleVariant::CopyOf(*varPropVal);
    Table().SetProperty(*this, lPropNum, value);
    return S_OK;
  });
}

HRESULT TAddin::IsPropReadable(LONG lPropNum, BOOL* pboolPropRead) {
  return GuardedAnswer(pboolPropRead, [&] { return Table().IsPropertyReadable(*this, lPropNum); });
}

HRESULT TAddin::IsPropWritable(LONG lPropNum, BOOL* pboolPropWrite) {
  return GuardedAnswer(pboolPropWrite,
                       [&] { return Table().IsPropertyWriteable(*this, lPropNum); });
}

HRESULT TAddin::GetNMethods(LONG* plMethods) {
  return GuardedAnswer(plMethods, [&] { return Table().GetMethodCount(*this); });
}

HRESULT TAddin::FindMethod(BSTR bstrMethodName, LONG* plMethodNum) {
  if (!plMethodNum) return E_POINTER;
  *plMethodNum = -1;
  return Guarded([&] {
    *plMethodNum = Table().FindMethod(*this, platform::ViewOfBstr(bstrMethodName));
    return *plMethodNum != -1 ? S_OK : S_FALSE;
  });
}

HRESULT TAddin::GetMethodName(LONG lMethodNum, LONG lMethodAlias, BSTR* pbstrMethodName) {
  if (!pbstrMethodName) return E_POINTER;
  SysFreeString(*pbstrMethodName);
  *pbstrMethodName = nullptr;
  return Guarded([&] {
    return GiveName(pbstrMethodName, Table().GetMethodName(*this, lMethodNum, lMethodAlias));
  });
}

HRESULT TAddin::GetNParams(LONG lMethodNum, LONG* plParams) {
  return GuardedAnswer(plParams, [&] { return Table().GetParamsCount(*this, lMethodNum); });
}

HRESULT TAddin::GetParamDefValue(LONG lMethodNum, LONG lParamNum, VARIANT* pvarParamDefValue) {
  return GuardedVariant(pvarParamDefValue, [&](platform::TOleVariant& value) {
    Table().GetDefaultParam(*this, lMethodNum, lParamNum, value);
  });
}

HRESULT TAddin::HasRetVal(LONG lMethodNum, BOOL* pboolRetValue) {
  return GuardedAnswer(pboolRetValue, [&] { return Table().HasReturnValue(*this, lMethodNum); });
}

HRESULT TAddin::CallAsProc(LONG lMethodNum, SAFEARRAY** paParams) {
  return Guarded([&] {
    SAFEARRAY* array = paParams ? *paParams : nullptr;
    TParams params = ParamsFromHost(array);
    Table().CallAsProc(*this, lMethodNum, params);
    ParamsToHost(array, params);
    return S_OK;
  });
}

HRESULT TAddin::CallAsFunc(LONG lMethodNum, VARIANT* pvarRetValue, SAFEARRAY** paParams) {
  if (!pvarRetValue) return E_POINTER;
  return Guarded([&] {
    SAFEARRAY* array = paParams ? *paParams : nullptr;
    TParams params = ParamsFromHost(array);
    // The handler starts from the return value as the host passed it.
    platform::TOleVariant value = platform::TOleVariant::CopyOf(*pvarRetValue);
    Table().CallAsFunc(*this, lMethodNum, params, value);
    ParamsToHost(array, params);
    VariantClear(pvarRetValue);
    *pvarRetValue = value.Detach();
    return S_OK;
  });
}

// ---------------------------------------------------------------- IDispatch

HRESULT TAddin::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
  return E_NOTIMPL;
}

HRESULT TAddin::GetTypeInfo(UINT, LCID, ITypeInfo**) {
  return E_NOTIMPL;
}

HRESULT TAddin::GetTypeInfoCount(UINT*) {
  return E_NOTIMPL;
}

HRESULT TAddin::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
  return E_NOTIMPL;
}

}  // namespace addin

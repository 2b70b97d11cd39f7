#include "addin/AddinComObjectUnit.h"

#include <exception>

#include "addin/ComServer.h"
#include "addin/HostAutomation.h"
#include "addin/ParameterExchange.h"
#include "platform/bstr.h"
#include "platform/codepage.h"

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
  const LONG Count = InterlockedDecrement(&refCount_);
  if (Count == 0) delete this;
  return static_cast<ULONG>(Count);
}

HRESULT TAddin::InterfaceSupportsErrorInfo(REFIID riid) {
  const bool Implemented =
      IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_ILanguageExtender) ||
      IsEqualIID(riid, IID_IInitDone) || IsEqualIID(riid, IID_ISupportErrorInfo) ||
      IsEqualIID(riid, IID_IDispatch);
  return Implemented ? S_OK : S_FALSE;
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
HRESULT TAddin::Guarded(Body&& Run) noexcept {
  try {
    return Run();
  } catch (const std::exception& Error) {
    ReportError(Error.what());
  } catch (...) {
    ReportError("Unknown error in add-in " + ExtensionName());
  }
  return S_FALSE;
}

template <class Slot, class Compute>
HRESULT TAddin::GuardedAnswer(Slot* Out, Compute&& Value) noexcept {
  if (!Out) return E_POINTER;
  *Out = 0;
  return Guarded([&] {
    *Out = static_cast<Slot>(Value());  // a flag becomes TRUE or FALSE
    return S_OK;
  });
}

template <class Fill>
HRESULT TAddin::GuardedVariant(VARIANT* Out, Fill&& Store) noexcept {
  if (!Out) return E_POINTER;
  VariantClear(Out);
  platform::TOleVariant Value;
  const HRESULT hr = Guarded([&] {
    Store(Value);
    return S_OK;
  });
  *Out = Value.Detach();
  return hr;
}

void TAddin::ReportError(const std::string& Message) noexcept {
  if (!errorLog_) return;
  try {
    platform::TBstr Source = platform::TBstr::FromAnsi("AddIn." + ExtensionName());
    platform::TBstr Description = platform::TBstr::FromAnsi(Message);
    EXCEPINFO Record{};
    Record.wCode = kAddinErrorCode;
    Record.bstrSource = Source.Get();
    Record.bstrDescription = Description.Get();
    // The record and its strings stay ours; the log copies what it keeps.
    errorLog_->AddError(OLESTR(""), &Record);
  } catch (...) {
    // Nothing can be reported about a failure to report.
  }
}

platform::TOleVariant TAddin::GetAppDispatch() {
  platform::TOleVariant App = HostFunction(hostConnection_.Get(), "AppDispatch");
  if (expressionDialect_ && App.IsDispatch() && App.ToDispatch()) App.ToDispatch()->AddRef();
  return App;
}

bool TAddin::IsOmitted(const platform::TOleVariant& Value) noexcept {
  return Value.IsEmpty() || Value.IsNull() || Value.IsError(DISP_E_PARAMNOTFOUND);
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
  platform::TOleVariant Version("2000");
  LONG Index = 0;
  SafeArrayPutElement(*pInfo, &Index, Version.Get());
  return S_OK;
}

HRESULT TAddin::DoInit() {
  expressionDialect_ = false;
  platform::TOleVariant App;
  try {
    App = HostFunction(hostConnection_.Get(), "AppDispatch");
  } catch (...) {
    // Without an application object the host can only be driven as objects.
    return S_OK;
  }
  if (!App.IsDispatch() || !App.ToDispatch()) return S_OK;
  IDispatch* AppObject = App.ToDispatch();
  AppObject->AddRef();
  expressionDialect_ = true;
  try {
    HostProcedure(AppObject, "EvalExpr", {platform::TOleVariant("1-1")});
  } catch (...) {
    AppObject->Release();
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
    const std::string Name = Table().ExtensionName;
    platform::TBstr Replacement = platform::TBstr::FromAnsi(Name);
    SysFreeString(*bstrExtensionName);
    *bstrExtensionName = Replacement.Detach();
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
HRESULT GiveName(BSTR* Slot, const platform::TOleString& Name) {
  platform::TBstr Text(Name);
  *Slot = Text.Detach();
  return Name.empty() ? S_FALSE : S_OK;
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
  return GuardedVariant(pvarPropVal, [&](platform::TOleVariant& Value) {
    Table().GetProperty(*this, lPropNum, Value);
  });
}

HRESULT TAddin::SetPropVal(LONG lPropNum, VARIANT* varPropVal) {
  if (!varPropVal) return E_POINTER;
  return Guarded([&] {
    platform::TOleVariant Value = platform::TOleVariant::CopyOf(*varPropVal);
    Table().SetProperty(*this, lPropNum, Value);
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
  return GuardedVariant(pvarParamDefValue, [&](platform::TOleVariant& Value) {
    Table().GetDefaultParam(*this, lMethodNum, lParamNum, Value);
  });
}

HRESULT TAddin::HasRetVal(LONG lMethodNum, BOOL* pboolRetValue) {
  return GuardedAnswer(pboolRetValue, [&] { return Table().HasReturnValue(*this, lMethodNum); });
}

HRESULT TAddin::CallAsProc(LONG lMethodNum, SAFEARRAY** paParams) {
  return Guarded([&] {
    SAFEARRAY* Array = paParams ? *paParams : nullptr;
    TParams Params = ParamsFromHost(Array);
    Table().CallAsProc(*this, lMethodNum, Params);
    ParamsToHost(Array, Params);
    return S_OK;
  });
}

HRESULT TAddin::CallAsFunc(LONG lMethodNum, VARIANT* pvarRetValue, SAFEARRAY** paParams) {
  if (!pvarRetValue) return E_POINTER;
  return Guarded([&] {
    SAFEARRAY* Array = paParams ? *paParams : nullptr;
    TParams Params = ParamsFromHost(Array);
    // The handler starts from the return value as the host passed it.
    platform::TOleVariant Value = platform::TOleVariant::CopyOf(*pvarRetValue);
    Table().CallAsFunc(*this, lMethodNum, Params, Value);
    ParamsToHost(Array, Params);
    VariantClear(pvarRetValue);
    *pvarRetValue = Value.Detach();
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

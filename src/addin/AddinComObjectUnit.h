// TAddin: the COM object the 1C:Enterprise host talks to. It serves the
// host's IInitDone and ILanguageExtender by converting names and values and
// handing each request to the shared member table with itself as Sender, and
// reports every failure to the host's error log. Its own IDispatch answers
// E_NOTIMPL: the host reaches it only through ILanguageExtender.
#pragma once

#include <string>

#include "addin/AddInLib.h"
#include "addin/AddinHelper.h"
#include "addin/ComPtr.h"
#include "addin/HostDialect.h"
#include "platform/com/Com.h"
#include "platform/com/OleVariant.h"

namespace addin {

// Error code of every entry the add-in writes to the host's error log.
inline constexpr WORD kAddinErrorCode = 1006;

class TAddin : public ILanguageExtender,
               public IInitDone,
               public ISupportErrorInfo,
               public IDispatch {
 public:
  // A new object holds one reference, its creator's (see TClassFactory).
  TAddin();
  TAddin(const TAddin&) = delete;
  TAddin& operator=(const TAddin&) = delete;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // ISupportErrorInfo
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;

  // IInitDone
  HRESULT STDMETHODCALLTYPE Init(IDispatch* pConnection) override;
  HRESULT STDMETHODCALLTYPE Done() override;
  HRESULT STDMETHODCALLTYPE GetInfo(SAFEARRAY** pInfo) override;

  // ILanguageExtender
  HRESULT STDMETHODCALLTYPE RegisterExtensionAs(BSTR* bstrExtensionName) override;
  HRESULT STDMETHODCALLTYPE GetNProps(LONG* plProps) override;
  HRESULT STDMETHODCALLTYPE FindProp(BSTR bstrPropName, LONG* plPropNum) override;
  HRESULT STDMETHODCALLTYPE GetPropName(LONG lPropNum, LONG lPropAlias,
                                        BSTR* pbstrPropName) override;
  HRESULT STDMETHODCALLTYPE GetPropVal(LONG lPropNum, VARIANT* pvarPropVal) override;
  HRESULT STDMETHODCALLTYPE SetPropVal(LONG lPropNum, VARIANT* varPropVal) override;
  HRESULT STDMETHODCALLTYPE IsPropReadable(LONG lPropNum, BOOL* pboolPropRead) override;
  HRESULT STDMETHODCALLTYPE IsPropWritable(LONG lPropNum, BOOL* pboolPropWrite) override;
  HRESULT STDMETHODCALLTYPE GetNMethods(LONG* plMethods) override;
  HRESULT STDMETHODCALLTYPE FindMethod(BSTR bstrMethodName, LONG* plMethodNum) override;
  HRESULT STDMETHODCALLTYPE GetMethodName(LONG lMethodNum, LONG lMethodAlias,
                                          BSTR* pbstrMethodName) override;
  HRESULT STDMETHODCALLTYPE GetNParams(LONG lMethodNum, LONG* plParams) override;
  HRESULT STDMETHODCALLTYPE GetParamDefValue(LONG lMethodNum, LONG lParamNum,
                                             VARIANT* pvarParamDefValue) override;
  HRESULT STDMETHODCALLTYPE HasRetVal(LONG lMethodNum, BOOL* pboolRetValue) override;
  HRESULT STDMETHODCALLTYPE CallAsProc(LONG lMethodNum, SAFEARRAY** paParams) override;
  HRESULT STDMETHODCALLTYPE CallAsFunc(LONG lMethodNum, VARIANT* pvarRetValue,
                                       SAFEARRAY** paParams) override;

  // IDispatch: not offered to late binding.
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                          DISPID* rgDispId) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                   DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                   EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

  // Sends the message to the host's error log with code 1006 and the source
  // "AddIn." + ExtensionName. Without an error log nothing is sent.
  void ReportError(const std::string& message) noexcept;

  // The host's application object. In the expression dialect one further
  // reference is taken on it for every call and kept: that host hands out
  // the object without a reference of the caller's own.
  platform::TOleVariant GetAppDispatch();

  // A new host object of the kind "ValueList" or "ValueTable", made on the
  // application object in this host's dialect. A refusal of the host raises.
  platform::TOleVariant NewHostObject(const std::string& kind);

  // Empty, null, or the marker of an argument the script left out.
  static bool IsOmitted(const platform::TOleVariant& value) noexcept;

  IStatusLine* StatusLine() const noexcept { return statusLine_.Get(); }
  IErrorLog* ErrorLog() const noexcept { return errorLog_.Get(); }
  IDispatch* HostConnection() const noexcept { return hostConnection_.Get(); }
  bool ExpressionDialect() const noexcept { return expressionDialect_; }
  THostDialect Dialect() const noexcept { return THostDialect(expressionDialect_); }
  // "Dalvora" for the connection object; empty until a member table is set.
  std::string ExtensionName() const;

 protected:
  virtual ~TAddin();

  // The last step of Init; its result is Init's. Probes the host dialect.
  virtual HRESULT DoInit();
  // The last step of Done; its result is Done's.
  virtual HRESULT DoDone();

  // The shared member table; set by the class's DoInit, not owned.
  void SetMemberTable(const TAddinHelper& table) noexcept { memberTable_ = &table; }
  const TAddinHelper* MemberTable() const noexcept { return memberTable_; }

 private:
  const TAddinHelper& Table() const;
  // Runs one entry point: a failure of any kind is reported and answers
  // S_FALSE, so no exception leaves through the COM boundary.
  template <class Body>
  HRESULT Guarded(Body&& run) noexcept;
  // A count or a flag through the host's slot: E_POINTER without one; the
  // slot holds zero unless Compute succeeds.
  template <class Slot, class Compute>
  HRESULT GuardedAnswer(Slot* out, Compute&& compute) noexcept;
  // A value through the host's variant: E_POINTER without one; also after a
  // failure the host gets what Fill stored before it.
  template <class Fill>
  HRESULT GuardedVariant(VARIANT* out, Fill&& store) noexcept;

  LONG volatile refCount_ = 1;
  const TAddinHelper* memberTable_ = nullptr;
  TComPtr<IStatusLine> statusLine_;
  TComPtr<IErrorLog> errorLog_;
  TComPtr<IDispatch> hostConnection_;
  bool expressionDialect_ = false;
};

}  // namespace addin

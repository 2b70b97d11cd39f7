// A recording stand-in for the 1C host, for driving an add-in through its
// COM entry points: the connection object passed to Init (AppDispatch,
// IErrorLog, IStatusLine, each optional) and an application object that
// accepts or refuses EvalExpr.
#pragma once

#include <string>
#include <vector>

#include "addin/AddInLib.h"
#include "platform/com/Com.h"
#include "platform/com/OleVariant.h"

namespace fake {

// The application object: EvalExpr only.
class TApp final : public IDispatch {
 public:
  explicit TApp(bool acceptsEvalExpr) : acceptsEvalExpr_(acceptsEvalExpr) {}

  LONG Refs = 1;  // the test's own
  std::vector<std::string> Evaluated;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++Refs); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--Refs); }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* info, UINT*) override;

 private:
  bool acceptsEvalExpr_;
};

struct TLogEntry {
  WORD Code;
  std::string Source;       // ANSI
  std::string Description;  // ANSI
};

// The connection object; one reference count for all its interfaces.
class TConnection final : public IDispatch, public IErrorLog, public IStatusLine {
 public:
  TConnection(TApp* app, bool offersErrorLog, bool offersStatusLine)
      : app_(app), offersErrorLog_(offersErrorLog), offersStatusLine_(offersStatusLine) {}

  LONG Refs = 1;  // the test's own
  std::vector<TLogEntry> Errors;
  std::vector<std::string> Status;  // texts, and "reset"

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++Refs); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--Refs); }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* info, UINT*) override;
  HRESULT STDMETHODCALLTYPE AddError(LPCOLESTR property, EXCEPINFO* info) override;
  HRESULT STDMETHODCALLTYPE SetStatusLine(BSTR text) override;
  HRESULT STDMETHODCALLTYPE ResetStatusLine() override;

 private:
  TApp* app_;
  bool offersErrorLog_;
  bool offersStatusLine_;
};

}  // namespace fake

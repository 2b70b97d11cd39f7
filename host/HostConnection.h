// The connection object the host passes to an add-in's Init: AppDispatch
// gives the application object; the error log and the status line are
// written to the host's output as they arrive:
//   "! CODE SOURCE: DESCRIPTION" for every error-log entry,
//   "~ text" and "~ reset" for the status line when it is shown.
#pragma once

#include <functional>
#include <string>

#include "addin/AddInLib.h"
#include "host/HostObject.h"

namespace host {

// Receives each output line (UTF-8, without the line end).
using TOutput = std::function<void(const std::string& line)>;

class THostConnection final : public THostObject, public IErrorLog, public IStatusLine {
 public:
  THostConnection(IDispatch* application, TOutput output, bool showStatus)
      : application_(application), output_(std::move(output)), showStatus_(showStatus) {}
  // Owned by the host session, which outlives every add-in object.
  ~THostConnection() override = default;
  std::string TypeName() const override { return "HostConnection"; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return THostObject::AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return THostObject::Release(); }

  // IErrorLog
  HRESULT STDMETHODCALLTYPE AddError(LPCOLESTR pszPropName, EXCEPINFO* pExcepInfo) override;
  // IStatusLine
  HRESULT STDMETHODCALLTYPE SetStatusLine(BSTR bstrSource) override;
  HRESULT STDMETHODCALLTYPE ResetStatusLine() override;

 protected:
  DISPID MemberId(const platform::TOleString& name) override;
  void Call(DISPID member, WORD flags, const TCallArgs& args,
            platform::TOleVariant* result) override;
  bool DeleteOnLastRelease() const noexcept override { return false; }

 private:
  IDispatch* application_;  // owned by the host session
  TOutput output_;
  bool showStatus_;
};

}  // namespace host

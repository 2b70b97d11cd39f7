// The host's wrapper around one add-in object: what scripts (and other
// add-ins, late-bound) hold. Its IDispatch turns each late-bound call into
// the add-in's ILanguageExtender calls, the way the host does:
//   property get    -> GetPropVal
//   property put    -> SetPropVal
//   method, result  -> CallAsFunc (whatever HasRetVal says)
//   method, dropped -> CallAsProc
// Arguments fill up to GetNParams positions; an omitted or missing one gets
// GetParamDefValue's value, or the omitted marker when the add-in has none.
// After the call every by-reference argument receives the value the add-in
// wrote back. Releasing the last reference calls Done.
#pragma once

#include <map>
#include <vector>

#include "addin/AddInLib.h"
#include "addin/ComPtr.h"
#include "host/HostObject.h"

namespace host {

class TAddinObject final : public THostObject {
 public:
  TAddinObject(std::string progId, addin::TComPtr<ILanguageExtender> extender,
               addin::TComPtr<IInitDone> initDone)
      : progId_(std::move(progId)),
        extender_(std::move(extender)),
        initDone_(std::move(initDone)) {}
  std::string TypeName() const override { return progId_; }
  // The add-in object itself, for a harness that reaches past the host.
  ILanguageExtender& Extender() const noexcept { return *extender_.Get(); }

 protected:
  ~TAddinObject() override;
  DISPID MemberId(const platform::TOleString& name) override;
  void Call(DISPID member, WORD flags, const TCallArgs& args,
            platform::TOleVariant* result) override;

 private:
  struct TMember {
    platform::TOleString Name;
    LONG Property = -1;
    LONG Method = -1;
  };
  void CallMethod(const TMember& member, const TCallArgs& args, platform::TOleVariant* result);

  std::string progId_;
  addin::TComPtr<ILanguageExtender> extender_;
  addin::TComPtr<IInitDone> initDone_;
  std::vector<TMember> members_;  // DISPID = position + 1
};

}  // namespace host

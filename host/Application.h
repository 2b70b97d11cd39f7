// The host's application object, as add-ins reach it through AppDispatch.
// The expression dialect evaluates expressions (EvalExpr) and creates
// objects with CreateObject; the object dialect has no EvalExpr and creates
// objects with NewObject.
#pragma once

#include <functional>

#include "host/HostObject.h"

namespace host {

class TApplication final : public THostObject {
 public:
  // Makes "ValueTable", "ValueList" or "AddIn.<name>"; throws THostError.
  using TCreate = std::function<platform::TOleVariant(const platform::TOleString& name)>;

  TApplication(TDialect dialect, TCreate create) : dialect_(dialect), create_(std::move(create)) {}
  // Owned by the host session, which outlives every add-in object.
  ~TApplication() override = default;
  std::string TypeName() const override { return "Application"; }

 protected:
  DISPID MemberId(const platform::TOleString& name) override;
  void Call(DISPID member, WORD flags, const TCallArgs& args,
            platform::TOleVariant* result) override;
  bool DeleteOnLastRelease() const noexcept override { return false; }

 private:
  platform::TOleVariant Evaluate(const platform::TOleString& expression);

  TDialect dialect_;
  TCreate create_;
};

}  // namespace host

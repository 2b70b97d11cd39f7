// The host's value list: values with a presentation each, numbered from 1.
#pragma once

#include <vector>

#include "host/HostObject.h"

namespace host {

struct TListItem {
  platform::TOleVariant Value;
  platform::TOleString Presentation;
};

class TValueList final : public THostObject {
 public:
  explicit TValueList(TDialect dialect) : dialect_(dialect) {}
  std::string TypeName() const override { return "ValueList"; }
  const std::vector<TListItem>& Items() const noexcept { return items_; }

 protected:
  DISPID MemberId(const platform::TOleString& name) override;
  void Call(DISPID member, WORD flags, const TCallArgs& args,
            platform::TOleVariant* result) override;

 private:
  TDialect dialect_;
  std::vector<TListItem> items_;
};

}  // namespace host

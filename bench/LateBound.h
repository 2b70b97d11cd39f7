#pragma once
// Late-bound calls on an object held in a variant, the way the host's script
// engine makes them: member numbers are looked up by name once, and each call
// is one IDispatch::Invoke. A failing call throws std::runtime_error.

#include <string_view>
#include <vector>

#include "platform/com/Com.h"
#include "platform/com/OleVariant.h"

namespace bench {

class LateBound {
 public:
  explicit LateBound(platform::TOleVariant object);

  [[nodiscard]] DISPID Id(std::string_view name) const;
  [[nodiscard]] platform::TOleVariant Get(DISPID member) const;
  void Put(DISPID member, const platform::TOleVariant& value) const;
  // A call whose result is used (method or property get).
  [[nodiscard]] platform::TOleVariant Function(
      DISPID member, const std::vector<platform::TOleVariant>& args = {}) const;
  // A call whose result is dropped.
  void Procedure(DISPID member, const std::vector<platform::TOleVariant>& args = {}) const;

  // A procedure call with its arguments laid out as Invoke takes them (last
  // first) and not copied: the least a caller can do for a call.
  void RawProcedure(DISPID member, VARIANT* reversedArgs, UINT count) const;

  [[nodiscard]] const platform::TOleVariant& Object() const { return object_; }

 private:
  void Invoke(DISPID member, WORD flags, const std::vector<platform::TOleVariant>& args,
              platform::TOleVariant* result) const;

  platform::TOleVariant object_;
  IDispatch* dispatch_;
};

}  // namespace bench

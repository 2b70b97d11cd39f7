#pragma once
// Late-bound calls on an object held in a variant, the way the host's script
// engine makes them: member numbers are looked up by name once, and each call
// is one IDispatch::Invoke. A failing call throws std::runtime_error.

#include <string_view>
#include <vector>

#include "platform/OleVariant.h"
#include "platform/com.h"

namespace bench {

class LateBound {
 public:
  explicit LateBound(platform::OleVariant object);

  [[nodiscard]] DISPID Id(std::string_view name) const;
  [[nodiscard]] platform::OleVariant Get(DISPID member) const;
  void Put(DISPID member, const platform::OleVariant& value) const;
  // A call whose result is used (method or property get).
  [[nodiscard]] platform::OleVariant Function(
      DISPID member, const std::vector<platform::OleVariant>& args = {}) const;
  // A call whose result is dropped.
  void Procedure(DISPID member, const std::vector<platform::OleVariant>& args = {}) const;

  // A procedure call with its arguments laid out as Invoke takes them (last
  // first) and not copied: the least a caller can do for a call.
  void RawProcedure(DISPID member, VARIANT* reversedArgs, UINT count) const;

  [[nodiscard]] const platform::OleVariant& Object() const { return object_; }

 private:
  void Invoke(DISPID member, WORD flags, const std::vector<platform::OleVariant>& args,
              platform::OleVariant* result) const;

  platform::OleVariant object_;
  IDispatch* dispatch_;
};

}  // namespace bench

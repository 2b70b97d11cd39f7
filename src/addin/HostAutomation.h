// Late-bound calls on the host's automation objects: the member name is
// looked up with GetIDsOfNames, then Invoke runs it. A call whose result is
// used goes as method-or-property-get, a call whose result is dropped as a
// method, an assignment as a property put. Arguments are given in call order.
// A failing call throws TAddinError naming the member and the cause.
#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "platform/com/Com.h"
#include "platform/com/OleVariant.h"

namespace addin {

using THostArgs = std::vector<platform::TOleVariant>;

platform::TOleVariant HostFunction(IDispatch* object, std::string_view name,
                                   const THostArgs& args = {});
void HostProcedure(IDispatch* object, std::string_view name, const THostArgs& args = {});
void HostPut(IDispatch* object, std::string_view name, const platform::TOleVariant& value);

// The same on an object held in a variant; a variant without an object fails.
platform::TOleVariant HostFunction(const platform::TOleVariant& object, std::string_view name,
                                   const THostArgs& args = {});
void HostProcedure(const platform::TOleVariant& object, std::string_view name,
                   const THostArgs& args = {});
void HostPut(const platform::TOleVariant& object, std::string_view name,
             const platform::TOleVariant& value);

// One member of one host object, looked up once and called as often as
// needed (filling a table calls the same few members for every cell). The
// object and the name (a literal) must outlive it.
class THostMember {
 public:
  THostMember(const platform::TOleVariant& object, std::string_view name);
  platform::TOleVariant Function(std::span<const platform::TOleVariant> args = {}) const;
  void Procedure(std::span<const platform::TOleVariant> args = {}) const;

 private:
  IDispatch* object_;
  std::string_view name_;
  DISPID id_;
};

// An argument passed by reference: the host reads and may overwrite Target,
// which must outlive the call.
platform::TOleVariant ByRef(platform::TOleVariant& target) noexcept;

// The marker of an argument left out.
inline platform::TOleVariant OmittedArg() noexcept {
  return platform::TOleVariant::Omitted();
}

}  // namespace addin

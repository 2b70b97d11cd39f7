#include "addin/HostAutomation.h"

#include <string>

#include "addin/AddinHelper.h"
#include "platform/com/DispatchCall.h"
#include "platform/os/CodePage.h"

namespace addin {

namespace {

IDispatch* RequireObject(IDispatch* object, std::string_view name) {
  if (!object) throw TAddinError("Host call " + std::string(name) + " on no object");
  return object;
}

DISPID MemberId(IDispatch* object, std::string_view name) {
  RequireObject(object, name);
  DISPID id = DISPID_UNKNOWN;
  const HRESULT hr = platform::DispatchIdOf(object, platform::FromAnsi(name), id);
  if (FAILED(hr))
    throw TAddinError("Host object has no member " + std::string(name) + " (" +
                      platform::HResultHex(hr) + ")");
  return id;
}

platform::TOleVariant InvokeMember(IDispatch* object, std::string_view name, DISPID id, WORD flags,
                                   std::span<const platform::TOleVariant> args, bool wantResult) {
  platform::TOleVariant result;
  platform::TOleString description;
  const HRESULT hr = platform::InvokeDispatch(object, id, flags, args,
                                              wantResult ? &result : nullptr, description);
  if (FAILED(hr)) {
    std::string message =
        "Host call " + std::string(name) + " failed (" + platform::HResultHex(hr) + ")";
    // Some hosts describe also failures other than DISP_E_EXCEPTION.
    if (!description.empty()) message += ": " + platform::ToAnsi(description);
    throw TAddinError(message);
  }
  return result;
}

platform::TOleVariant Invoke(IDispatch* object, std::string_view name, WORD flags,
                             const THostArgs& args, bool wantResult) {
  return InvokeMember(object, name, MemberId(object, name), flags, args, wantResult);
}

constexpr WORD kFunctionFlags = DISPATCH_METHOD | DISPATCH_PROPERTYGET;

}  // namespace

platform::TOleVariant HostFunction(IDispatch* object, std::string_view name,
                                   const THostArgs& args) {
  return Invoke(object, name, kFunctionFlags, args, true);
}

void HostProcedure(IDispatch* object, std::string_view name, const THostArgs& args) {
  Invoke(object, name, DISPATCH_METHOD, args, false);
}

void HostPut(IDispatch* object, std::string_view name, const platform::TOleVariant& value) {
  THostArgs args{value};
  Invoke(object, name, DISPATCH_PROPERTYPUT, args, false);
}

namespace {
IDispatch* ObjectIn(const platform::TOleVariant& holder, std::string_view name) {
  if (!holder.IsDispatch())
    throw TAddinError("Host call " + std::string(name) + " on a value that is not an object");
  return holder.ToDispatch();
}
}  // namespace

platform::TOleVariant HostFunction(const platform::TOleVariant& object, std::string_view name,
                                   const THostArgs& args) {
  return HostFunction(ObjectIn(object, name), name, args);
}

void HostProcedure(const platform::TOleVariant& object, std::string_view name,
                   const THostArgs& args) {
  HostProcedure(ObjectIn(object, name), name, args);
}

THostMember::THostMember(const platform::TOleVariant& object, std::string_view name)
    : object_(ObjectIn(object, name)), name_(name), id_(MemberId(object_, name)) {}

platform::TOleVariant THostMember::Function(std::span<const platform::TOleVariant> args) const {
  return InvokeMember(object_, name_, id_, kFunctionFlags, args, true);
}

void THostMember::Procedure(std::span<const platform::TOleVariant> args) const {
  InvokeMember(object_, name_, id_, DISPATCH_METHOD, args, false);
}

void HostPut(const platform::TOleVariant& object, std::string_view name,
             const platform::TOleVariant& value) {
  HostPut(ObjectIn(object, name), name, value);
}

platform::TOleVariant ByRef(platform::TOleVariant& target) noexcept {
  return platform::TOleVariant::ReferenceTo(target);
}

}  // namespace addin

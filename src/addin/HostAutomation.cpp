#include "addin/HostAutomation.h"

#include <string>

#include "addin/AddinHelper.h"
#include "platform/codepage.h"
#include "platform/dispatch_call.h"

namespace addin {

namespace {

IDispatch* RequireObject(IDispatch* Object, std::string_view Name) {
  if (!Object) throw TAddinError("Host call " + std::string(Name) + " on no object");
  return Object;
}

DISPID MemberId(IDispatch* Object, std::string_view Name) {
  RequireObject(Object, Name);
  DISPID Id = DISPID_UNKNOWN;
  const HRESULT hr = platform::DispatchIdOf(Object, platform::FromAnsi(Name), Id);
  if (FAILED(hr))
    throw TAddinError("Host object has no member " + std::string(Name) + " (" +
                      platform::HResultHex(hr) + ")");
  return Id;
}

platform::TOleVariant InvokeMember(IDispatch* Object, std::string_view Name, DISPID Id, WORD Flags,
                                  std::span<const platform::TOleVariant> Args, bool WantResult) {
  platform::TOleVariant Result;
  platform::TOleString Description;
  const HRESULT hr = platform::InvokeDispatch(Object, Id, Flags, Args,
                                              WantResult ? &Result : nullptr, Description);
  if (FAILED(hr)) {
    std::string Message =
        "Host call " + std::string(Name) + " failed (" + platform::HResultHex(hr) + ")";
    // Some hosts describe also failures other than DISP_E_EXCEPTION.
    if (!Description.empty()) Message += ": " + platform::ToAnsi(Description);
    throw TAddinError(Message);
  }
  return Result;
}

platform::TOleVariant Invoke(IDispatch* Object, std::string_view Name, WORD Flags,
                            const THostArgs& Args, bool WantResult) {
  return InvokeMember(Object, Name, MemberId(Object, Name), Flags, Args, WantResult);
}

constexpr WORD kFunctionFlags = DISPATCH_METHOD | DISPATCH_PROPERTYGET;

}  // namespace

platform::TOleVariant HostFunction(IDispatch* Object, std::string_view Name, const THostArgs& Args) {
  return Invoke(Object, Name, kFunctionFlags, Args, true);
}

void HostProcedure(IDispatch* Object, std::string_view Name, const THostArgs& Args) {
  Invoke(Object, Name, DISPATCH_METHOD, Args, false);
}

void HostPut(IDispatch* Object, std::string_view Name, const platform::TOleVariant& Value) {
  THostArgs Args{Value};
  Invoke(Object, Name, DISPATCH_PROPERTYPUT, Args, false);
}

namespace {
IDispatch* ObjectIn(const platform::TOleVariant& Holder, std::string_view Name) {
  if (!Holder.IsDispatch())
    throw TAddinError("Host call " + std::string(Name) + " on a value that is not an object");
  return Holder.ToDispatch();
}
}  // namespace

platform::TOleVariant HostFunction(const platform::TOleVariant& Object, std::string_view Name,
                                  const THostArgs& Args) {
  return HostFunction(ObjectIn(Object, Name), Name, Args);
}

void HostProcedure(const platform::TOleVariant& Object, std::string_view Name,
                   const THostArgs& Args) {
  HostProcedure(ObjectIn(Object, Name), Name, Args);
}

THostMember::THostMember(const platform::TOleVariant& Object, std::string_view Name)
    : Object_(ObjectIn(Object, Name)), Name_(Name), Id_(MemberId(Object_, Name)) {}

platform::TOleVariant THostMember::Function(std::span<const platform::TOleVariant> Args) const {
  return InvokeMember(Object_, Name_, Id_, kFunctionFlags, Args, true);
}

void THostMember::Procedure(std::span<const platform::TOleVariant> Args) const {
  InvokeMember(Object_, Name_, Id_, DISPATCH_METHOD, Args, false);
}

void HostPut(const platform::TOleVariant& Object, std::string_view Name,
             const platform::TOleVariant& Value) {
  HostPut(ObjectIn(Object, Name), Name, Value);
}

platform::TOleVariant ByRef(platform::TOleVariant& Target) noexcept {
  return platform::TOleVariant::ReferenceTo(Target);
}

}  // namespace addin

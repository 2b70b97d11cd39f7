#include "bench/LateBound.h"

#include <stdexcept>
#include <string>

#include "platform/com/DispatchCall.h"
#include "platform/os/CodePage.h"

namespace bench {

LateBound::LateBound(platform::TOleVariant object)
    : object_(std::move(object)), dispatch_(object_.ToDispatch()) {}

DISPID LateBound::Id(std::string_view name) const {
  DISPID id = DISPID_UNKNOWN;
  const HRESULT hr = platform::DispatchIdOf(dispatch_, platform::FromAnsi(name), id);
  if (FAILED(hr)) throw std::runtime_error("no member " + std::string(name));
  return id;
}

void LateBound::Invoke(DISPID member, WORD flags, const std::vector<platform::TOleVariant>& args,
                       platform::TOleVariant* result) const {
  platform::TOleString description;
  const HRESULT hr = platform::InvokeDispatch(dispatch_, member, flags, args, result, description);
  if (FAILED(hr))
    throw std::runtime_error("call of member " + std::to_string(member) +
                             " failed: " + platform::ToAnsi(description));
}

platform::TOleVariant LateBound::Get(DISPID member) const {
  platform::TOleVariant result;
  Invoke(member, DISPATCH_PROPERTYGET, {}, &result);
  return result;
}

void LateBound::Put(DISPID member, const platform::TOleVariant& value) const {
  Invoke(member, DISPATCH_PROPERTYPUT, {value}, nullptr);
}

platform::TOleVariant LateBound::Function(DISPID member,
                                          const std::vector<platform::TOleVariant>& args) const {
  platform::TOleVariant result;
  Invoke(member, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args, &result);
  return result;
}

void LateBound::Procedure(DISPID member, const std::vector<platform::TOleVariant>& args) const {
  Invoke(member, DISPATCH_METHOD, args, nullptr);
}

void LateBound::RawProcedure(DISPID member, VARIANT* reversedArgs, UINT count) const {
  DISPPARAMS params{reversedArgs, nullptr, count, 0};
  const HRESULT hr = dispatch_->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                       &params, nullptr, nullptr, nullptr);
  if (FAILED(hr)) throw std::runtime_error("call of member " + std::to_string(member) + " failed");
}

}  // namespace bench

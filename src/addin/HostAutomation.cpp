#include "addin/HostAutomation.h"

#include <cstdio>
#include <string>

#include "addin/AddinHelper.h"
#include "platform/bstr.h"
#include "platform/codepage.h"

namespace addin {

namespace {

std::string HexCode(HRESULT hr) {
  char Text[16];
  std::snprintf(Text, sizeof Text, "0x%08X", static_cast<unsigned>(hr));
  return Text;
}

// Frees the strings of an exception record and answers its description.
std::string TakeDescription(EXCEPINFO& Info) {
  if (Info.pfnDeferredFillIn) Info.pfnDeferredFillIn(&Info);
  std::string Description = platform::AnsiFromBstr(Info.bstrDescription);
  SysFreeString(Info.bstrSource);
  SysFreeString(Info.bstrDescription);
  SysFreeString(Info.bstrHelpFile);
  return Description;
}

IDispatch* RequireObject(IDispatch* Object, std::string_view Name) {
  if (!Object) throw TAddinError("Host call " + std::string(Name) + " on no object");
  return Object;
}

platform::OleVariant Invoke(IDispatch* Object, std::string_view Name, WORD Flags, THostArgs& Args,
                            bool WantResult) {
  RequireObject(Object, Name);
  platform::OleString WideName = platform::FromAnsi(Name);
  LPOLESTR Names[] = {WideName.data()};
  DISPID Id = DISPID_UNKNOWN;
  HRESULT hr = Object->GetIDsOfNames(IID_NULL, Names, 1, LOCALE_USER_DEFAULT, &Id);
  if (FAILED(hr))
    throw TAddinError("Host object has no member " + std::string(Name) + " (" + HexCode(hr) + ")");

  // Invoke takes the arguments last to first.
  std::vector<VARIANT> Reversed;
  Reversed.reserve(Args.size());
  for (auto it = Args.rbegin(); it != Args.rend(); ++it) Reversed.push_back(*it->Get());
  DISPID PutId = DISPID_PROPERTYPUT;
  DISPPARAMS Params{};
  Params.rgvarg = Reversed.data();
  Params.cArgs = static_cast<UINT>(Reversed.size());
  if (Flags & DISPATCH_PROPERTYPUT) {
    Params.rgdispidNamedArgs = &PutId;
    Params.cNamedArgs = 1;
  }
  platform::OleVariant Result;
  EXCEPINFO Info{};
  UINT ArgErr = 0;
  hr = Object->Invoke(Id, IID_NULL, LOCALE_USER_DEFAULT, Flags, &Params,
                      WantResult ? Result.Out() : nullptr, &Info, &ArgErr);
  if (FAILED(hr)) {
    std::string Message = "Host call " + std::string(Name) + " failed (" + HexCode(hr) + ")";
    // Some hosts describe also failures other than DISP_E_EXCEPTION.
    const std::string Description = TakeDescription(Info);
    if (!Description.empty()) Message += ": " + Description;
    throw TAddinError(Message);
  }
  return Result;
}

}  // namespace

platform::OleVariant HostFunction(IDispatch* Object, std::string_view Name, THostArgs Args) {
  return Invoke(Object, Name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, Args, true);
}

void HostProcedure(IDispatch* Object, std::string_view Name, THostArgs Args) {
  Invoke(Object, Name, DISPATCH_METHOD, Args, false);
}

void HostPut(IDispatch* Object, std::string_view Name, const platform::OleVariant& Value) {
  THostArgs Args{Value};
  Invoke(Object, Name, DISPATCH_PROPERTYPUT, Args, false);
}

namespace {
IDispatch* ObjectIn(const platform::OleVariant& Holder, std::string_view Name) {
  if (!Holder.IsDispatch())
    throw TAddinError("Host call " + std::string(Name) + " on a value that is not an object");
  return Holder.ToDispatch();
}
}  // namespace

platform::OleVariant HostFunction(const platform::OleVariant& Object, std::string_view Name,
                                  THostArgs Args) {
  return HostFunction(ObjectIn(Object, Name), Name, std::move(Args));
}

void HostProcedure(const platform::OleVariant& Object, std::string_view Name, THostArgs Args) {
  HostProcedure(ObjectIn(Object, Name), Name, std::move(Args));
}

void HostPut(const platform::OleVariant& Object, std::string_view Name,
             const platform::OleVariant& Value) {
  HostPut(ObjectIn(Object, Name), Name, Value);
}

platform::OleVariant ByRef(platform::OleVariant& Target) noexcept {
  VARIANT Reference;
  VariantInit(&Reference);
  Reference.vt = VT_VARIANT | VT_BYREF;
  Reference.pvarVal = Target.Get();
  return platform::OleVariant::Attach(Reference);
}

}  // namespace addin

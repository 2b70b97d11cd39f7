#include "platform/com/DispatchCall.h"

#include <cstdio>
#include <vector>

#include "platform/os/CodePage.h"

namespace platform {

std::string HResultHex(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
  return text;
}

HRESULT DispatchIdOf(IDispatch* object, TOleStringView name, DISPID& id) {
  // GetIDsOfNames takes writable strings.
  TOleString writable(name);
  LPOLESTR names[] = {writable.data()};
  id = DISPID_UNKNOWN;
  return object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
}

HRESULT InvokeDispatch(IDispatch* object, DISPID id, WORD flags, std::span<const TOleVariant> args,
                       TOleVariant* result, TOleString& description) {
  // Invoke takes the arguments last to first; the usual few need no heap.
  constexpr std::size_t kLocalArgs = 8;
  VARIANT local[kLocalArgs];
  std::vector<VARIANT> many(args.size() > kLocalArgs ? args.size() : 0);
  VARIANT* reversed = many.empty() ? local : many.data();
  for (std::size_t i = 0; i < args.size(); ++i) reversed[args.size() - 1 - i] = *args[i].Get();
  DISPID putId = DISPID_PROPERTYPUT;
  DISPPARAMS params{};
  params.rgvarg = args.empty() ? nullptr : reversed;
  params.cArgs = static_cast<UINT>(args.size());
  if (flags & DISPATCH_PROPERTYPUT) {
    params.rgdispidNamedArgs = &putId;
    params.cNamedArgs = 1;
  }
  EXCEPINFO info{};
  UINT argError = 0;
  const HRESULT hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                    result ? result->Out() : nullptr, &info, &argError);
  if (FAILED(hr)) {
    if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
    description = TOleString(ViewOfBstr(info.bstrDescription));
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
  }
  return hr;
}

}  // namespace platform

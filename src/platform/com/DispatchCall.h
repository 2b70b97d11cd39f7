#pragma once
// Late-bound calls through IDispatch: a member's id by its name, then Invoke
// with the arguments in call order. Callers turn the HRESULTs into their own
// messages.

#include <span>
#include <string>

#include "platform/com/Com.h"
#include "platform/com/OleVariant.h"

namespace platform {

// An HRESULT as messages show it: "0x80020003".
std::string HResultHex(HRESULT hr);

// The id of the member called `name`, or the failure of GetIDsOfNames.
HRESULT DispatchIdOf(IDispatch* object, TOleStringView name, DISPID& id);

// Runs member `id` with `args` in call order; a property put passes its last
// argument as the value put. `result` may be null when no result is wanted.
// On failure `description` receives what the callee wrote in its exception
// record, whose strings are then freed.
HRESULT InvokeDispatch(IDispatch* object, DISPID id, WORD flags, std::span<const TOleVariant> args,
                       TOleVariant* result, TOleString& description);

}  // namespace platform

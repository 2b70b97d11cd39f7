// Moving a method's parameters between the host's safe array (any lower
// bound) and the 0-based list the handlers work on.
#pragma once

#include "addin/AddinHelper.h"
#include "platform/com/Com.h"

namespace addin {

// A copy of every element, element `lower` at position 0. A missing array
// or element gives an empty list or an empty value in its place.
TParams ParamsFromHost(SAFEARRAY* array);

// Writes every position back into the host's array, each converted to a kind
// the host can hold (HostValue).
void ParamsToHost(SAFEARRAY* array, const TParams& params);

// The value as the host can hold it: references are resolved; 8- and 16-bit
// integers become 32-bit ones; unsigned 32-bit and 64-bit integers become
// 32-bit ones when they fit and doubles otherwise; other kinds are unchanged.
platform::TOleVariant HostValue(const platform::TOleVariant& value);

}  // namespace addin

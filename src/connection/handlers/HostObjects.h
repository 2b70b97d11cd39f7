// Host objects the connection object makes for scripts (value lists and
// value tables), in whichever of the two host dialects the object detected.
#pragma once

#include <string>

#include "connection/TDalvora.h"
#include "platform/OleVariant.h"

namespace connection {

// A new host object of the kind "ValueList" or "ValueTable": made with the
// expression CreateObject("<kind>") in the expression dialect, with NewObject
// in the object dialect. A refusal of the host raises an error.
platform::TOleVariant NewHostObject(TDalvora& object, const std::string& kind);

}  // namespace connection

// The host's status line, on which long table operations show their
// progress. A host without a status line, or one that refuses a call on it,
// makes the call raise.
#pragma once

#include <string>

#include "connection/TDalvora.h"

namespace connection {

void ResetStatus(TDalvora& object);
void ShowStatus(TDalvora& object, const std::string& text);

}  // namespace connection

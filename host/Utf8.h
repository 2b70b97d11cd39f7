// UTF-8 (script files, output) to and from UTF-16 (everything COM sees).
#pragma once

#include <string>
#include <string_view>

#include "platform/os/CodePage.h"

namespace host {

// Malformed sequences become U+FFFD.
platform::TOleString Utf16FromUtf8(std::string_view text);
// Unpaired surrogates become U+FFFD.
std::string Utf8FromUtf16(platform::TOleStringView text);

}  // namespace host

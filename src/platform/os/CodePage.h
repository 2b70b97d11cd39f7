// Conversion between the system's 8-bit text and the UTF-16 text of COM.
//
// Inside the system every text is 8-bit in the process's ANSI code page; it
// becomes UTF-16 only where it crosses a COM interface. On Windows the code
// page is the process's own (CP_ACP); elsewhere a stand-in converts with
// Windows-1251, the code page of the hosts this add-in serves.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/com/Com.h"

namespace platform {

using TOleString = std::basic_string<OLECHAR>;
using TOleStringView = std::basic_string_view<OLECHAR>;

// UTF-16 to ANSI. Characters the code page cannot represent become '?';
// embedded NULs are kept.
std::string ToAnsi(TOleStringView text);

// ANSI to UTF-16. Every byte maps to exactly one UTF-16 unit; embedded NULs
// are kept.
TOleString FromAnsi(std::string_view text);

// UTF-16 to ANSI only when the code page has every character of the text;
// nothing otherwise. For names, where a '?' in place of a character could
// match something else.
std::optional<std::string> ToAnsiExactly(TOleStringView text);

// The text of a BSTR (all SysStringLen units, a null BSTR is empty) in ANSI.
std::string AnsiFromBstr(BSTR text);

// The UTF-16 units of a BSTR (a null BSTR is empty).
TOleStringView ViewOfBstr(BSTR text);

#ifndef _WIN32
// Switches the stand-in to another ANSI code page: 1251 (the default) or
// 1252 (Western European); false for any other. Lets tests see the add-in
// as it behaves on a Windows whose ANSI code page is not Cyrillic.
bool SetStandInCodePage(unsigned codePage);
#endif

}  // namespace platform

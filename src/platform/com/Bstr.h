// TBstr: sole owner of one BSTR, freed with SysFreeString.
#pragma once

#include <string>
#include <string_view>

#include "platform/com/Com.h"
#include "platform/os/CodePage.h"

namespace platform {

class TBstr {
 public:
  TBstr() noexcept = default;
  // Copies the UTF-16 text (embedded NULs included).
  explicit TBstr(TOleStringView text);
  // Converts 8-bit ANSI text to a new BSTR.
  static TBstr FromAnsi(std::string_view text);
  // Takes ownership of a BSTR allocated by someone else (may be null).
  static TBstr Attach(BSTR owned) noexcept;

  TBstr(const TBstr& other);
  TBstr& operator=(const TBstr& other);
  TBstr(TBstr&& other) noexcept;
  TBstr& operator=(TBstr&& other) noexcept;
  ~TBstr();

  // Borrowed pointer; null for the empty string created by default.
  BSTR Get() const noexcept { return text_; }
  // Hands ownership to the caller and leaves this empty.
  [[nodiscard]] BSTR Detach() noexcept;
  // Frees the current string and answers the slot for a COM out-parameter.
  BSTR* Out() noexcept;

  UINT Length() const noexcept { return SysStringLen(text_); }
  TOleStringView View() const noexcept { return ViewOfBstr(text_); }
  std::string ToAnsi() const { return AnsiFromBstr(text_); }

 private:
  void Free() noexcept;
  BSTR text_ = nullptr;
};

}  // namespace platform

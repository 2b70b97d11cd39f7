// Bstr: sole owner of one BSTR, freed with SysFreeString.
#pragma once

#include <string>
#include <string_view>

#include "platform/codepage.h"
#include "platform/com.h"

namespace platform {

class Bstr {
 public:
  Bstr() noexcept = default;
  // Copies the UTF-16 text (embedded NULs included).
  explicit Bstr(OleStringView text);
  // Converts 8-bit ANSI text to a new BSTR.
  static Bstr FromAnsi(std::string_view text);
  // Takes ownership of a BSTR allocated by someone else (may be null).
  static Bstr Attach(BSTR owned) noexcept;

  Bstr(const Bstr& other);
  Bstr& operator=(const Bstr& other);
  Bstr(Bstr&& other) noexcept;
  Bstr& operator=(Bstr&& other) noexcept;
  ~Bstr();

  // Borrowed pointer; null for the empty string created by default.
  BSTR Get() const noexcept { return text_; }
  // Hands ownership to the caller and leaves this empty.
  [[nodiscard]] BSTR Detach() noexcept;
  // Frees the current string and answers the slot for a COM out-parameter.
  BSTR* Out() noexcept;

  UINT Length() const noexcept { return SysStringLen(text_); }
  OleStringView View() const noexcept { return ViewOfBstr(text_); }
  std::string ToAnsi() const { return AnsiFromBstr(text_); }

 private:
  void Free() noexcept;
  BSTR text_ = nullptr;
};

}  // namespace platform

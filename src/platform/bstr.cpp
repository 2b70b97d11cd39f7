#include "platform/bstr.h"

#include <new>
#include <utility>

namespace platform {
namespace {

BSTR CopyOrThrow(OleStringView text) {
  // An empty text still gets a real (empty) BSTR: some hosts treat null
  // and "" differently in out-parameters.
  BSTR copy = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  if (copy == nullptr) throw std::bad_alloc();
  return copy;
}

}  // namespace

Bstr::Bstr(OleStringView text) : text_(CopyOrThrow(text)) {}

Bstr Bstr::FromAnsi(std::string_view text) {
  return Bstr(platform::FromAnsi(text));
}

Bstr Bstr::Attach(BSTR owned) noexcept {
  Bstr result;
  result.text_ = owned;
  return result;
}

Bstr::Bstr(const Bstr& other) : text_(other.text_ ? CopyOrThrow(other.View()) : nullptr) {}

Bstr& Bstr::operator=(const Bstr& other) {
  if (this != &other) *this = Bstr(other);
  return *this;
}

Bstr::Bstr(Bstr&& other) noexcept : text_(std::exchange(other.text_, nullptr)) {}

Bstr& Bstr::operator=(Bstr&& other) noexcept {
  if (this != &other) {
    Free();
    text_ = std::exchange(other.text_, nullptr);
  }
  return *this;
}

Bstr::~Bstr() {
  Free();
}

BSTR Bstr::Detach() noexcept {
  return std::exchange(text_, nullptr);
}

BSTR* Bstr::Out() noexcept {
  Free();
  return &text_;
}

void Bstr::Free() noexcept {
  SysFreeString(text_);
  text_ = nullptr;
}

}  // namespace platform

#include "platform/com/Bstr.h"

#include <new>
#include <utility>

namespace platform {
namespace {

BSTR CopyOrThrow(TOleStringView text) {
  // An empty text still gets a real (empty) BSTR: some hosts treat null
  // and "" differently in out-parameters.
  BSTR copy = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  if (copy == nullptr) throw std::bad_alloc();
  return copy;
}

}  // namespace

TBstr::TBstr(TOleStringView text) : text_(CopyOrThrow(text)) {}

TBstr TBstr::FromAnsi(std::string_view text) {
  return TBstr(platform::FromAnsi(text));
}

TBstr TBstr::Attach(BSTR owned) noexcept {
  TBstr result;
  result.text_ = owned;
  return result;
}

TBstr::TBstr(const TBstr& other) : text_(other.text_ ? CopyOrThrow(other.View()) : nullptr) {}

TBstr& TBstr::operator=(const TBstr& other) {
  if (this != &other) *this = TBstr(other);
  return *this;
}

TBstr::TBstr(TBstr&& other) noexcept : text_(std::exchange(other.text_, nullptr)) {}

TBstr& TBstr::operator=(TBstr&& other) noexcept {
  if (this != &other) {
    Free();
    text_ = std::exchange(other.text_, nullptr);
  }
  return *this;
}

TBstr::~TBstr() {
  Free();
}

BSTR TBstr::Detach() noexcept {
  return std::exchange(text_, nullptr);
}

BSTR* TBstr::Out() noexcept {
  Free();
  return &text_;
}

void TBstr::Free() noexcept {
  SysFreeString(text_);
  text_ = nullptr;
}

}  // namespace platform

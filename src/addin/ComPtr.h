// TComPtr: owns one reference to a COM interface and releases it once.
#pragma once

#include <utility>

#include "platform/com/Com.h"

namespace addin {

template <class T>
class TComPtr {
 public:
  TComPtr() noexcept = default;
  // Takes over a reference the caller already holds.
  static TComPtr Attach(T* owned) noexcept {
    TComPtr p;
    p.ptr_ = owned;
    return p;
  }
  // Takes a reference of its own.
  static TComPtr Share(T* borrowed) noexcept {
    if (borrowed) borrowed->AddRef();
    return Attach(borrowed);
  }

  TComPtr(const TComPtr& other) noexcept : ptr_(other.ptr_) {
    if (ptr_) ptr_->AddRef();
  }
  TComPtr(TComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
  TComPtr& operator=(TComPtr other) noexcept {
    std::swap(ptr_, other.ptr_);
    return *this;
  }
  ~TComPtr() { Reset(); }

  void Reset() noexcept {
    if (T* p = std::exchange(ptr_, nullptr)) p->Release();
  }
  // Releases the current interface and answers the slot for a COM
  // out-parameter such as QueryInterface's.
  void** Out() noexcept {
    Reset();
    return reinterpret_cast<void**>(&ptr_);
  }
  // Hands the reference to the caller.
  [[nodiscard]] T* Detach() noexcept { return std::exchange(ptr_, nullptr); }

  T* Get() const noexcept { return ptr_; }
  T* operator->() const noexcept { return ptr_; }
  explicit operator bool() const noexcept { return ptr_ != nullptr; }

 private:
  T* ptr_ = nullptr;
};

}  // namespace addin

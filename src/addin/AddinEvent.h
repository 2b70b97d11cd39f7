// An event of the member table: a method and the object it is called on, the
// way a handler is a method of the module, or a plain function. The method
// is fixed when it is attached, so a call goes from the table through one
// small function straight into it; nothing is allocated and nothing is
// looked up by name. An event that was never given a target is unset.
#pragma once

#include <concepts>
#include <cstddef>
#include <functional>
#include <utility>

namespace addin {

template <class Signature>
class TAddinEvent;

template <class... Args>
class TAddinEvent<void(Args...)> {
 public:
  TAddinEvent() = default;
  TAddinEvent(std::nullptr_t) noexcept {}

  // A plain function, or a lambda that captures nothing.
  template <std::convertible_to<void (*)(Args...)> Function>
  TAddinEvent(Function function) noexcept : call_(&CallFunction) {
    target_.Function = function;
  }

  // Method is a member function of Object, or a function that takes the
  // Object first. The object must outlive the event.
  template <auto Method, class Object>
  void Attach(Object& object) noexcept {
    target_.Object = &object;
    call_ = [](TTarget target, Args... args) {
      std::invoke(Method, *static_cast<Object*>(target.Object), std::forward<Args>(args)...);
    };
  }

  // A function object (a lambda that captures) kept alive by its owner.
  template <class Callable>
  void Attach(Callable& callable) noexcept {
    Attach<&Callable::operator(), Callable>(callable);
  }

  explicit operator bool() const noexcept { return call_ != nullptr; }

  void operator()(Args... args) const { call_(target_, std::forward<Args>(args)...); }

 private:
  union TTarget {
    void* Object;
    void (*Function)(Args...);
  };

  static void CallFunction(TTarget target, Args... args) {
    target.Function(std::forward<Args>(args)...);
  }

  TTarget target_{};
  void (*call_)(TTarget, Args...) = nullptr;
};

}  // namespace addin

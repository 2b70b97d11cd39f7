#pragma once
// OpenSSL objects owned by std::unique_ptr, freed by their own free function:
//   using TKey = TOpenSslHandle<EVP_PKEY, EVP_PKEY_free>;
// Only for the platform layer's OpenSSL sources (Linux).

#include <memory>

namespace platform {

template <auto Free>
struct TOpenSslFree {
  template <typename T>
  void operator()(T* object) const {
    Free(object);
  }
};

template <typename T, auto Free>
using TOpenSslHandle = std::unique_ptr<T, TOpenSslFree<Free>>;

}  // namespace platform

#ifdef _WIN32

#include <windows.h>
// CryptoAPI needs the types of windows.h first.
#include <wincrypt.h>

#include <algorithm>

#include "platform/os/Crypto.h"

namespace platform {

namespace {

// A CryptoAPI handle released by `Release` when the owner goes.
template <typename Handle, BOOL(WINAPI* Release)(Handle)>
class TCryptoHandle {
 public:
  TCryptoHandle() = default;
  ~TCryptoHandle() {
    if (handle_ != 0) Release(handle_);
  }
  TCryptoHandle(const TCryptoHandle&) = delete;
  TCryptoHandle& operator=(const TCryptoHandle&) = delete;

  Handle* Out() { return &handle_; }
  Handle Get() const { return handle_; }

 private:
  Handle handle_ = 0;
};

BOOL WINAPI ReleaseProvider(HCRYPTPROV provider) {
  return CryptReleaseContext(provider, 0);
}
using TProvider = TCryptoHandle<HCRYPTPROV, ReleaseProvider>;
using THash = TCryptoHandle<HCRYPTHASH, CryptDestroyHash>;
using TKey = TCryptoHandle<HCRYPTKEY, CryptDestroyKey>;

// The AES provider type is the one that knows SHA-256 (from Windows XP SP3);
// it does RSA with OAEP padding as well. No key container is needed.
bool AcquireProvider(TProvider& provider) {
  return CryptAcquireContextA(provider.Out(), nullptr, nullptr, PROV_RSA_AES,
                              CRYPT_VERIFYCONTEXT) != 0;
}

// The DER bytes of a PEM text (its header and footer lines dropped).
std::optional<std::vector<BYTE>> PemToDer(std::string_view pem) {
  DWORD length = 0;
  const auto size = static_cast<DWORD>(pem.size());
  if (!CryptStringToBinaryA(pem.data(), size, CRYPT_STRING_BASE64HEADER, nullptr, &length, nullptr,
                            nullptr))
    return std::nullopt;
  std::vector<BYTE> der(length);
  if (!CryptStringToBinaryA(pem.data(), size, CRYPT_STRING_BASE64HEADER, der.data(), &length,
                            nullptr, nullptr))
    return std::nullopt;
  der.resize(length);
  return der;
}

bool ImportPublicKey(const TProvider& provider, std::string_view pem, TKey& key) {
  const auto der = PemToDer(pem);
  if (!der) return false;
  CERT_PUBLIC_KEY_INFO* info = nullptr;
  DWORD infoLength = 0;
  if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, der->data(),
                           static_cast<DWORD>(der->size()), CRYPT_DECODE_ALLOC_FLAG, nullptr, &info,
                           &infoLength))
    return false;
  const BOOL imported =
      CryptImportPublicKeyInfo(provider.Get(), X509_ASN_ENCODING, info, key.Out());
  LocalFree(info);
  return imported != 0;
}

}  // namespace

std::optional<TSha256Digest> Sha256(std::initializer_list<std::span<const std::uint8_t>> parts) {
  TProvider provider;
  THash hash;
  if (!AcquireProvider(provider) ||
      !CryptCreateHash(provider.Get(), CALG_SHA_256, 0, 0, hash.Out()))
    return std::nullopt;
  for (const auto part : parts) {
    if (!CryptHashData(hash.Get(), part.data(), static_cast<DWORD>(part.size()), 0))
      return std::nullopt;
  }
  TSha256Digest digest{};
  DWORD length = digest.size();
  if (!CryptGetHashParam(hash.Get(), HP_HASHVAL, digest.data(), &length, 0) ||
      length != digest.size())
    return std::nullopt;
  return digest;
}

std::optional<std::vector<std::uint8_t>> RsaOaepEncrypt(std::string_view pemPublicKey,
                                                        std::span<const std::uint8_t> message) {
  TProvider provider;
  TKey key;
  if (!AcquireProvider(provider) || !ImportPublicKey(provider, pemPublicKey, key))
    return std::nullopt;
  // Asked without data, CryptEncrypt says how long the encrypted block is.
  DWORD length = static_cast<DWORD>(message.size());
  if (!CryptEncrypt(key.Get(), 0, TRUE, CRYPT_OAEP, nullptr, &length, 0)) return std::nullopt;
  std::vector<std::uint8_t> block(std::max<std::size_t>(length, message.size()));
  std::copy(message.begin(), message.end(), block.begin());
  length = static_cast<DWORD>(message.size());
  if (!CryptEncrypt(key.Get(), 0, TRUE, CRYPT_OAEP, block.data(), &length,
                    static_cast<DWORD>(block.size())))
    return std::nullopt;
  block.resize(length);
  // CryptoAPI gives the number least significant byte first.
  std::reverse(block.begin(), block.end());
  return block;
}

}  // namespace platform

#endif

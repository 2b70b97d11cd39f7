#ifndef _WIN32

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>

#include <climits>
#include <memory>

#include "platform/os/Crypto.h"
#include "platform/os/OpenSslHandle.h"

namespace platform {

namespace {

using TDigestContext = TOpenSslHandle<EVP_MD_CTX, EVP_MD_CTX_free>;
using TBio = TOpenSslHandle<BIO, BIO_free>;
using TKey = TOpenSslHandle<EVP_PKEY, EVP_PKEY_free>;
using TKeyContext = TOpenSslHandle<EVP_PKEY_CTX, EVP_PKEY_CTX_free>;

TKey ReadPublicKey(std::string_view pem) {
  if (pem.size() > INT_MAX) return nullptr;
  const TBio bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
  if (!bio) return nullptr;
  return TKey(PEM_read_bio_PUBKEY(bio.get(), nullptr, nullptr, nullptr));
}

}  // namespace

std::optional<TSha256Digest> Sha256(std::initializer_list<std::span<const std::uint8_t>> parts) {
  const TDigestContext context(EVP_MD_CTX_new());
  if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) return std::nullopt;
  for (const auto part : parts) {
    if (EVP_DigestUpdate(context.get(), part.data(), part.size()) != 1) return std::nullopt;
  }
  TSha256Digest digest{};
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(context.get(), digest.data(), &length) != 1 || length != digest.size())
    return std::nullopt;
  return digest;
}

std::optional<std::vector<std::uint8_t>> RsaOaepEncrypt(std::string_view pemPublicKey,
                                                        std::span<const std::uint8_t> message) {
  const TKey key = ReadPublicKey(pemPublicKey);
  if (!key) return std::nullopt;
  const TKeyContext context(EVP_PKEY_CTX_new(key.get(), nullptr));
  if (!context || EVP_PKEY_encrypt_init(context.get()) != 1 ||
      EVP_PKEY_CTX_set_rsa_padding(context.get(), RSA_PKCS1_OAEP_PADDING) != 1 ||
      EVP_PKEY_CTX_set_rsa_oaep_md(context.get(), EVP_sha1()) != 1 ||
      EVP_PKEY_CTX_set_rsa_mgf1_md(context.get(), EVP_sha1()) != 1)
    return std::nullopt;
  std::size_t length = 0;
  if (EVP_PKEY_encrypt(context.get(), nullptr, &length, message.data(), message.size()) != 1)
    return std::nullopt;
  std::vector<std::uint8_t> encrypted(length);
  if (EVP_PKEY_encrypt(context.get(), encrypted.data(), &length, message.data(), message.size()) !=
      1)
    return std::nullopt;
  encrypted.resize(length);
  return encrypted;
}

}  // namespace platform

#endif

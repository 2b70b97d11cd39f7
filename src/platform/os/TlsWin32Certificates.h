#pragma once
// The certificates of the Windows TLS engine (TlsWin32.cpp): the CA file as a
// store, the client's certificate with its private key where SChannel finds
// it, and the check of the server's certificate by the system's chain engine.
// Windows only.

#ifdef _WIN32

#include <windows.h>
// CryptoAPI needs the types of windows.h first.
#include <wincrypt.h>

#include <memory>
#include <string>
#include <string_view>

#include "platform/os/Tls.h"

namespace platform {

struct TStoreCloser {
  void operator()(void* store) const { CertCloseStore(static_cast<HCERTSTORE>(store), 0); }
};
using TStore = std::unique_ptr<void, TStoreCloser>;

struct TCertificateFreer {
  void operator()(const CERT_CONTEXT* certificate) const {
    CertFreeCertificateContext(certificate);
  }
};
using TCertificate = std::unique_ptr<const CERT_CONTEXT, TCertificateFreer>;

// A store of the certificates of a PEM file; none when it cannot be read or
// holds none.
[[nodiscard]] TStore LoadCertificates(const std::string& path);

// The client's certificate with its private key: from a PFX file without a
// password (the system imports the key), or from a PEM certificate and an RSA
// key in PEM form, imported into a key container of its own (Windows XP
// knows no key that lives in memory only and is still usable by SChannel).
// The key containers made for it go again with this object.
class TClientCertificate {
 public:
  TClientCertificate() = default;
  ~TClientCertificate();
  TClientCertificate(const TClientCertificate&) = delete;
  TClientCertificate& operator=(const TClientCertificate&) = delete;

  // `keyFile` empty: the key is in `certFile`. False with `error` set.
  [[nodiscard]] bool Load(const std::string& certFile, const std::string& keyFile,
                          TTlsError& error);
  [[nodiscard]] const CERT_CONTEXT* Get() const { return certificate_.get(); }

 private:
  [[nodiscard]] bool LoadPfx(const std::string& contents);
  [[nodiscard]] bool ImportKey(std::string_view pem);

  TStore pfx_;
  TCertificate certificate_;
  HCRYPTPROV provider_ = 0;
  HCRYPTKEY key_ = 0;
  // The key container to delete again, and its provider.
  std::wstring container_;
  std::wstring containerProvider_;
  DWORD containerType_ = 0;
};

// True when `host` is a dotted IPv4 address; its four bytes in `address`.
[[nodiscard]] bool ParseIpv4(const std::string& host, BYTE (&address)[4]);

// Checks the server's certificate as `settings` ask (chain; chain and host
// name or IP address); `caStore`, when given, holds the only trusted roots.
[[nodiscard]] TTlsError CheckServerCertificate(const CERT_CONTEXT* server,
                                               const TTlsSettings& settings, HCERTSTORE caStore);

}  // namespace platform

#endif

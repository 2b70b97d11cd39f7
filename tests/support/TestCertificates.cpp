#include "support/TestCertificates.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>

namespace {

using TKey = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using TCert = std::unique_ptr<X509, decltype(&X509_free)>;

// Ed25519: quick, and its signatures have one length, so a server's
// handshake has the same number of bytes every time (the fault sweeps count
// on it).
TKey NewKey() {
  return TKey(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519"), EVP_PKEY_free);
}

void AddExtension(X509* cert, X509* issuer, int nid, const char* value) {
  X509V3_CTX context;
  X509V3_set_ctx(&context, issuer, cert, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
  if (extension == nullptr) throw std::runtime_error("extension");
  X509_add_ext(cert, extension, -1);
  X509_EXTENSION_free(extension);
}

// Valid from `fromDays` to `toDays` days from now.
TCert MakeCertificate(const char* common, EVP_PKEY* key, X509* issuer, EVP_PKEY* issuerKey,
                      const char* names, long fromDays, long toDays, bool ca) {
  static long serial = 1;
  TCert cert(X509_new(), X509_free);
  X509_set_version(cert.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial++);
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), fromDays * 86400);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), toDays * 86400);
  X509_set_pubkey(cert.get(), key);
  X509_NAME* name = X509_get_subject_name(cert.get());
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(common), -1, -1, 0);
  X509* signer = issuer != nullptr ? issuer : cert.get();
  X509_set_issuer_name(cert.get(), X509_get_subject_name(signer));
  AddExtension(cert.get(), signer, NID_basic_constraints, ca ? "critical,CA:TRUE" : "CA:FALSE");
  if (ca) AddExtension(cert.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign");
  if (names != nullptr) AddExtension(cert.get(), signer, NID_subject_alt_name, names);
  if (X509_sign(cert.get(), issuerKey != nullptr ? issuerKey : key, nullptr) == 0)
    throw std::runtime_error("sign");
  return cert;
}

void Write(const std::string& path, X509* cert) {
  FILE* file = std::fopen(path.c_str(), "w");
  PEM_write_X509(file, cert);
  std::fclose(file);
}

void Write(const std::string& path, EVP_PKEY* key) {
  FILE* file = std::fopen(path.c_str(), "w");
  PEM_write_PrivateKey(file, key, nullptr, nullptr, 0, nullptr, nullptr);
  std::fclose(file);
}

std::string folder;

void RemoveFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}

TestCertificates Make() {
  char dir[] = "/tmp/orbelin-certs-XXXXXX";
  if (mkdtemp(dir) == nullptr) throw std::runtime_error("mkdtemp");
  folder = dir;
  std::atexit(RemoveFolder);
  const auto path = [](const char* name) { return folder + "/" + name; };
  TestCertificates files{path("ca.pem"),         path("other-ca.pem"),    path("server.pem"),
                         path("server-key.pem"), path("wrong.pem"),       path("wrong-key.pem"),
                         path("expired.pem"),    path("expired-key.pem"), path("client.pem"),
                         path("client-key.pem")};
  const TKey caKey = NewKey();
  const TCert ca =
      MakeCertificate("test CA", caKey.get(), nullptr, nullptr, nullptr, -1, 365, true);
  Write(files.Ca, ca.get());
  const TKey otherKey = NewKey();
  Write(
      files.OtherCa,
      MakeCertificate("other CA", otherKey.get(), nullptr, nullptr, nullptr, -1, 365, true).get());
  const char* local = "DNS:localhost,IP:127.0.0.1";
  struct Leaf {
    const std::string& cert;
    const std::string& key;
    const char* names;
    long from, to;
  } const leaves[] = {
      {files.Server, files.ServerKey, local, -1, 365},
      {files.WrongHost, files.WrongHostKey, "DNS:wrong-host.invalid", -1, 365},
      {files.Expired, files.ExpiredKey, local, -400, -370},
      {files.Client, files.ClientKey, nullptr, -1, 365},
  };
  for (const Leaf& leaf : leaves) {
    const TKey key = NewKey();
    Write(leaf.cert, MakeCertificate("localhost", key.get(), ca.get(), caKey.get(), leaf.names,
                                     leaf.from, leaf.to, false)
                         .get());
    Write(leaf.key, key.get());
  }
  return files;
}

}  // namespace

const TestCertificates& Certificates() {
  static const TestCertificates files = Make();
  return files;
}

#pragma once
// Certificates for the in-memory TLS tests, made once per test process with
// OpenSSL (Ed25519 keys: quick to make and to use) and written as PEM files
// to a folder of the process's own, removed when the process ends.

#include <string>

struct TestCertificates {
  std::string Ca;       // the authority that signed the certificates below
  std::string OtherCa;  // an authority that signed nothing here
  std::string Server;   // for localhost and 127.0.0.1
  std::string ServerKey;
  std::string WrongHost;  // for wrong-host.invalid only
  std::string WrongHostKey;
  std::string Expired;  // for localhost and 127.0.0.1, out of date
  std::string ExpiredKey;
  std::string Client;  // a client certificate
  std::string ClientKey;
};

// The files (made on the first call).
const TestCertificates& Certificates();

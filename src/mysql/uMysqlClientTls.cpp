// TMysqlClient, its TLS: the settings, the SSL request and the TLS handshake
// between the greeting and the authentication packet, and the second attempt
// without TLS that Preferred allows.

#include "mysql/uMysqlAuthPacket.h"
#include "mysql/uMysqlClient.h"
#include "mysql/uMysqlGreeting.h"

namespace mysql {

void TMysqlClient::SetSslMode(TSslMode value) {
  CloseTransportIfChanged(value != sslMode_);
  sslMode_ = value;
}

void TMysqlClient::SetSslCa(std::string_view value) {
  CloseTransportIfChanged(value != sslCa_);
  sslCa_ = value;
}

void TMysqlClient::SetSslCert(std::string_view value) {
  CloseTransportIfChanged(value != sslCert_);
  sslCert_ = value;
}

void TMysqlClient::SetSslKey(std::string_view value) {
  CloseTransportIfChanged(value != sslKey_);
  sslKey_ = value;
}

platform::TTlsSettings TMysqlClient::TlsSettings() const {
  platform::TTlsSettings settings;
  switch (sslMode_) {
    case TSslMode::VerifyIdentity:
      settings.Verify = platform::TTlsVerify::ChainAndName;
      break;
    case TSslMode::VerifyCa:
      settings.Verify = platform::TTlsVerify::Chain;
      break;
    default:
      settings.Verify = platform::TTlsVerify::None;
      break;
  }
  settings.CaFile = sslCa_;
  settings.CertFile = sslCert_;
  settings.KeyFile = sslKey_;
  settings.HostName = host_;
  return settings;
}

bool TMysqlClient::StartTlsIfWanted(std::uint32_t& sentFlag) {
  // A ClientFlag the script set with CLIENT_SSL asks for nothing: the bit
  // goes out only when TLS really starts.
  sentFlag &= ~std::uint32_t{CLIENT_SSL};
  // The local pipe (a Unix domain socket on Linux) never leaves the machine.
  if (sslMode_ == TSslMode::Disabled || tlsSkipped_ || net_.Kind() == VioNamedPipe) return true;
  // The SSL request is the 4.1 header; a server without it has no TLS either.
  if (!(serverCapabilities_ & CLIENT_SSL) || !Layout41())
    return sslMode_ == TSslMode::Preferred || FailTls("the server does not offer TLS");
  sentFlag |= CLIENT_SSL;
  if (!WriteAuthAnswer(BuildSslRequest(sentFlag, LoginCharset()))) return false;
  platform::TTlsError error;
  if (net_.StartTls(TlsSettings(), error)) return true;
  tlsHandshakeFailed_ = error.Failure != platform::TTlsFailure::Setup;
  return FailTls(error.Reason);
}

bool TMysqlClient::RetryWithoutTls() const {
  return tlsHandshakeFailed_ && sslMode_ == TSslMode::Preferred;
}

bool TMysqlClient::FailTls(std::string_view reason) {
  net_.SetClientError(ErrSslConnection, {reason});
  net_.Close();
  return false;
}

}  // namespace mysql

// The properties: session settings (written through the session's own
// writers, which apply the change rules), the state of the current result,
// and AutoType.
#include <cstdint>
#include <string>

#include "connection/OrbelinModule.h"
#include "connection/TDalvora.h"
#include "connection/handlers/HandlerValues.h"
#include "mysql/uMysqlCharsets.h"

namespace connection {

namespace {

mysql::TMysqlClient& ClientOf(addin::TAddin& sender) {
  return TDalvora::Of(sender).Client();
}

constexpr std::int64_t kLastPort = 65535;
// The longest connect time-out in seconds: Windows takes the seconds of a
// socket wait as a signed 32-bit number, and a larger (or negative) value
// made the wait fail at once instead of lasting long.
// Time-outs in seconds, as Windows can wait them.
constexpr std::int64_t kLongestTimeout = INT32_MAX;

}  // namespace

void TModule::AddinHelperPropertiesHostGet(TAddin& sender, TValue& value) {
  value = TValue(ClientOf(sender).Host());
}

void TModule::AddinHelperPropertiesHostSet(TAddin& sender, TValue& value) {
  ClientOf(sender).SetHost(value.ToString());
}

void TModule::AddinHelperPropertiesUserGet(TAddin& sender, TValue& value) {
  value = TValue(ClientOf(sender).User());
}

void TModule::AddinHelperPropertiesUserSet(TAddin& sender, TValue& value) {
  ClientOf(sender).SetUser(value.ToString());
}

void TModule::AddinHelperPropertiesPasswordGet(TAddin& sender, TValue& value) {
  value = TValue(ClientOf(sender).Password());
}

void TModule::AddinHelperPropertiesPasswordSet(TAddin& sender, TValue& value) {
  ClientOf(sender).SetPassword(value.ToString());
}

void TModule::AddinHelperPropertiesUnixSocketGet(TAddin& sender, TValue& value) {
  value = TValue(ClientOf(sender).UnixSocket());
}

void TModule::AddinHelperPropertiesUnixSocketSet(TAddin& sender, TValue& value) {
  ClientOf(sender).SetUnixSocket(value.ToString());
}

void TModule::AddinHelperPropertiesDbGet(TAddin& sender, TValue& value) {
  value = TValue(ClientOf(sender).Db());
}

void TModule::AddinHelperPropertiesDbSet(TAddin& sender, TValue& value) {
  ClientOf(sender).SetDb(value.ToString());
}

void TModule::AddinHelperPropertiesPortGet(TAddin& sender, TValue& value) {
  value = Int32Bits(ClientOf(sender).Port());
}

void TModule::AddinHelperPropertiesPortSet(TAddin& sender, TValue& value) {
  ClientOf(sender).SetPort(static_cast<std::uint32_t>(SettingInRange(value, "Port", 0, kLastPort)));
}

void TModule::AddinHelperPropertiesClientFlagGet(TAddin& sender, TValue& value) {
  value = Int32Bits(ClientOf(sender).ClientFlag());
}

void TModule::AddinHelperPropertiesClientFlagSet(TAddin& sender, TValue& value) {
  ClientOf(sender).SetClientFlag(Low32Bits(value));
}

void TModule::AddinHelperPropertiesShouldReconnectGet(TAddin& sender, TValue& value) {
  value = Flag(ClientOf(sender).ShouldReconnect());
}

void TModule::AddinHelperPropertiesShouldReconnectSet(TAddin& sender, TValue& value) {
  ClientOf(sender).SetShouldReconnect(value.ToBool());
}

void TModule::AddinHelperPropertiesUseNamedPipeGet(TAddin& sender, TValue& value) {
  value = Flag(ClientOf(sender).UseNamedPipe());
}

void TModule::AddinHelperPropertiesUseNamedPipeSet(TAddin& sender, TValue& value) {
  ClientOf(sender).SetUseNamedPipe(value.ToBool());
}

void TModule::AddinHelperPropertiesTrySocketsGet(TAddin& sender, TValue& value) {
  value = Flag(ClientOf(sender).TrySockets());
}

void TModule::AddinHelperPropertiesTrySocketsSet(TAddin& sender, TValue& value) {
  ClientOf(sender).SetTrySockets(value.ToBool());
}

void TModule::AddinHelperPropertiesConnectTimeoutGet(TAddin& sender, TValue& value) {
  value = Int32Bits(ClientOf(sender).ConnectTimeout());
}

void TModule::AddinHelperPropertiesConnectTimeoutSet(TAddin& sender, TValue& value) {
  ClientOf(sender).SetConnectTimeout(
      static_cast<std::uint32_t>(SettingInRange(value, "ConnectTimeout", 0, kLongestTimeout)));
}

void TModule::AddinHelperPropertiesReadTimeoutGet(TAddin& sender, TValue& value) {
  value = Int32Bits(ClientOf(sender).ReadTimeout());
}

void TModule::AddinHelperPropertiesReadTimeoutSet(TAddin& sender, TValue& value) {
  ClientOf(sender).SetReadTimeout(
      static_cast<std::uint32_t>(SettingInRange(value, "ReadTimeout", 0, kLongestTimeout)));
}

void TModule::AddinHelperPropertiesWriteTimeoutGet(TAddin& sender, TValue& value) {
  value = Int32Bits(ClientOf(sender).WriteTimeout());
}

void TModule::AddinHelperPropertiesWriteTimeoutSet(TAddin& sender, TValue& value) {
  ClientOf(sender).SetWriteTimeout(
      static_cast<std::uint32_t>(SettingInRange(value, "WriteTimeout", 0, kLongestTimeout)));
}

void TModule::AddinHelperPropertiesCompressGet(TAddin& sender, TValue& value) {
  value = Flag(ClientOf(sender).Compress());
}

void TModule::AddinHelperPropertiesCompressSet(TAddin& sender, TValue& value) {
  ClientOf(sender).SetCompress(value.ToBool());
}

void TModule::AddinHelperPropertiesRecNoGet(TAddin& sender, TValue& value) {
  const mysql::TMysqlResult* result = TDalvora::Of(sender).CurrentResult();
  value = TValue(result ? result->RecNo() : -1);
}

void TModule::AddinHelperPropertiesFieldsCountGet(TAddin& sender, TValue& value) {
  const mysql::TMysqlResult* result = TDalvora::Of(sender).CurrentResult();
  value = TValue(result ? result->FieldCount() : -1);
}

void TModule::AddinHelperPropertiesRowsCountGet(TAddin& sender, TValue& value) {
  const mysql::TMysqlResult* result = TDalvora::Of(sender).CurrentResult();
  value = result ? Int64Bits(result->RowCount()) : TValue(-1);
}

void TModule::AddinHelperPropertiesResultTypeGet(TAddin& sender, TValue& value) {
  const mysql::TMysqlResult* result = TDalvora::Of(sender).CurrentResult();
  value = TValue(result ? (result->Buffered() ? 1 : 0) : -1);
}

void TModule::AddinHelperPropertiesAutoTypeGet(TAddin& sender, TValue& value) {
  value = Flag(TDalvora::Of(sender).AutoType());
}

void TModule::AddinHelperPropertiesAutoTypeSet(TAddin& sender, TValue& value) {
  TDalvora::Of(sender).SetAutoType(value.ToBool());
}

void TModule::AddinHelperPropertiesUseNewPasswordGet(TAddin& sender, TValue& value) {
  value = Flag(ClientOf(sender).UseNewPassword());
}

void TModule::AddinHelperPropertiesUseNewPasswordSet(TAddin& sender, TValue& value) {
  ClientOf(sender).SetUseNewPassword(value.ToBool());
}

// TLS: the mode, the files of trusted roots and of the client's certificate,
// what is in use, and how caching_sha2_password may get the server's key
// without TLS.
void TModule::AddinHelperPropertiesSslModeGet(TAddin& sender, TValue& value) {
  value = TValue(static_cast<std::int32_t>(ClientOf(sender).SslMode()));
}

void TModule::AddinHelperPropertiesSslModeSet(TAddin& sender, TValue& value) {
  ClientOf(sender).SetSslMode(
      static_cast<mysql::TSslMode>(SettingInRange(value, "SslMode", 0, mysql::kMaxSslMode)));
}

void TModule::AddinHelperPropertiesSslCaGet(TAddin& sender, TValue& value) {
  value = TValue(ClientOf(sender).SslCa());
}

void TModule::AddinHelperPropertiesSslCaSet(TAddin& sender, TValue& value) {
  ClientOf(sender).SetSslCa(value.ToString());
}

void TModule::AddinHelperPropertiesSslCertGet(TAddin& sender, TValue& value) {
  value = TValue(ClientOf(sender).SslCert());
}

void TModule::AddinHelperPropertiesSslCertSet(TAddin& sender, TValue& value) {
  ClientOf(sender).SetSslCert(value.ToString());
}

void TModule::AddinHelperPropertiesSslKeyGet(TAddin& sender, TValue& value) {
  value = TValue(ClientOf(sender).SslKey());
}

void TModule::AddinHelperPropertiesSslKeySet(TAddin& sender, TValue& value) {
  ClientOf(sender).SetSslKey(value.ToString());
}

void TModule::AddinHelperPropertiesSslCipherGet(TAddin& sender, TValue& value) {
  value = TValue(ClientOf(sender).SslCipher());
}

void TModule::AddinHelperPropertiesAllowPublicKeyRetrievalGet(TAddin& sender, TValue& value) {
  value = Flag(ClientOf(sender).AllowPublicKeyRetrieval());
}

void TModule::AddinHelperPropertiesAllowPublicKeyRetrievalSet(TAddin& sender, TValue& value) {
  ClientOf(sender).SetAllowPublicKeyRetrieval(value.ToBool());
}

void TModule::AddinHelperPropertiesServerPublicKeyGet(TAddin& sender, TValue& value) {
  value = TValue(ClientOf(sender).ServerPublicKey());
}

void TModule::AddinHelperPropertiesServerPublicKeySet(TAddin& sender, TValue& value) {
  ClientOf(sender).SetServerPublicKey(value.ToString());
}

void TModule::AddinHelperPropertiesCharsetGet(TAddin& sender, TValue& value) {
  value = TValue(ClientOf(sender).Charset());
}

void TModule::AddinHelperPropertiesCharsetSet(TAddin& sender, TValue& value) {
  const std::string name = value.ToString();
  if (!ClientOf(sender).SetCharset(name)) {
    throw addin::TAddinError(
        "Charset takes a character set name of letters, digits and '_' "
        "(at most " +
        std::to_string(mysql::kMaxCharsetNameLength) + "), not '" + name + "'");
  }
}

}  // namespace connection

// The 18 properties: session settings (written through the session's own
// writers, which apply the change rules), the state of the current result,
// and AutoType.
#include "connection/HandlerValues.h"
#include "connection/OrbelinModule.h"
#include "connection/TDalvora.h"

namespace connection {

namespace {

TMysqlClient& ClientOf(addin::TAddin& sender) {
  return TDalvora::Of(sender).Client();
}

}  // namespace

void TModule::AddinHelperPropertiesHostGet(TAddin& Sender, TValue& Value) {
  Value = TValue(ClientOf(Sender).Host());
}

void TModule::AddinHelperPropertiesHostSet(TAddin& Sender, TValue& Value) {
  ClientOf(Sender).SetHost(Value.ToString());
}

void TModule::AddinHelperPropertiesUserGet(TAddin& Sender, TValue& Value) {
  Value = TValue(ClientOf(Sender).User());
}

void TModule::AddinHelperPropertiesUserSet(TAddin& Sender, TValue& Value) {
  ClientOf(Sender).SetUser(Value.ToString());
}

void TModule::AddinHelperPropertiesPasswordGet(TAddin& Sender, TValue& Value) {
  Value = TValue(ClientOf(Sender).Password());
}

void TModule::AddinHelperPropertiesPasswordSet(TAddin& Sender, TValue& Value) {
  ClientOf(Sender).SetPassword(Value.ToString());
}

void TModule::AddinHelperPropertiesUnixSocketGet(TAddin& Sender, TValue& Value) {
  Value = TValue(ClientOf(Sender).UnixSocket());
}

void TModule::AddinHelperPropertiesUnixSocketSet(TAddin& Sender, TValue& Value) {
  ClientOf(Sender).SetUnixSocket(Value.ToString());
}

void TModule::AddinHelperPropertiesDbGet(TAddin& Sender, TValue& Value) {
  Value = TValue(ClientOf(Sender).Db());
}

void TModule::AddinHelperPropertiesDbSet(TAddin& Sender, TValue& Value) {
  ClientOf(Sender).SetDb(Value.ToString());
}

void TModule::AddinHelperPropertiesPortGet(TAddin& Sender, TValue& Value) {
  Value = Int32Bits(ClientOf(Sender).Port());
}

void TModule::AddinHelperPropertiesPortSet(TAddin& Sender, TValue& Value) {
  ClientOf(Sender).SetPort(Low32Bits(Value));
}

void TModule::AddinHelperPropertiesClientFlagGet(TAddin& Sender, TValue& Value) {
  Value = Int32Bits(ClientOf(Sender).ClientFlag());
}

void TModule::AddinHelperPropertiesClientFlagSet(TAddin& Sender, TValue& Value) {
  ClientOf(Sender).SetClientFlag(Low32Bits(Value));
}

void TModule::AddinHelperPropertiesShouldReconnectGet(TAddin& Sender, TValue& Value) {
  Value = Flag(ClientOf(Sender).ShouldReconnect());
}

void TModule::AddinHelperPropertiesShouldReconnectSet(TAddin& Sender, TValue& Value) {
  ClientOf(Sender).SetShouldReconnect(Value.ToBool());
}

void TModule::AddinHelperPropertiesUseNamedPipeGet(TAddin& Sender, TValue& Value) {
  Value = Flag(ClientOf(Sender).UseNamedPipe());
}

void TModule::AddinHelperPropertiesUseNamedPipeSet(TAddin& Sender, TValue& Value) {
  ClientOf(Sender).SetUseNamedPipe(Value.ToBool());
}

void TModule::AddinHelperPropertiesTrySocketsGet(TAddin& Sender, TValue& Value) {
  Value = Flag(ClientOf(Sender).TrySockets());
}

void TModule::AddinHelperPropertiesTrySocketsSet(TAddin& Sender, TValue& Value) {
  ClientOf(Sender).SetTrySockets(Value.ToBool());
}

void TModule::AddinHelperPropertiesConnectTimeoutGet(TAddin& Sender, TValue& Value) {
  Value = Int32Bits(ClientOf(Sender).ConnectTimeout());
}

void TModule::AddinHelperPropertiesConnectTimeoutSet(TAddin& Sender, TValue& Value) {
  ClientOf(Sender).SetConnectTimeout(Low32Bits(Value));
}

void TModule::AddinHelperPropertiesCompressGet(TAddin& Sender, TValue& Value) {
  Value = Flag(ClientOf(Sender).Compress());
}

void TModule::AddinHelperPropertiesCompressSet(TAddin& Sender, TValue& Value) {
  ClientOf(Sender).SetCompress(Value.ToBool());
}

void TModule::AddinHelperPropertiesRecNoGet(TAddin& Sender, TValue& Value) {
  const TMysqlResult* result = TDalvora::Of(Sender).CurrentResult();
  Value = TValue(result ? result->RecNo() : -1);
}

void TModule::AddinHelperPropertiesFieldsCountGet(TAddin& Sender, TValue& Value) {
  const TMysqlResult* result = TDalvora::Of(Sender).CurrentResult();
  Value = TValue(result ? result->FieldCount() : -1);
}

void TModule::AddinHelperPropertiesRowsCountGet(TAddin& Sender, TValue& Value) {
  const TMysqlResult* result = TDalvora::Of(Sender).CurrentResult();
  Value = result ? Int64Bits(result->RowCount()) : TValue(-1);
}

void TModule::AddinHelperPropertiesResultTypeGet(TAddin& Sender, TValue& Value) {
  const TMysqlResult* result = TDalvora::Of(Sender).CurrentResult();
  Value = TValue(result ? (result->Buffered() ? 1 : 0) : -1);
}

void TModule::AddinHelperPropertiesAutoTypeGet(TAddin& Sender, TValue& Value) {
  Value = Flag(TDalvora::Of(Sender).AutoType());
}

void TModule::AddinHelperPropertiesAutoTypeSet(TAddin& Sender, TValue& Value) {
  TDalvora::Of(Sender).SetAutoType(Value.ToBool());
}

void TModule::AddinHelperPropertiesUseNewPasswordGet(TAddin& Sender, TValue& Value) {
  Value = Flag(ClientOf(Sender).UseNewPassword());
}

void TModule::AddinHelperPropertiesUseNewPasswordSet(TAddin& Sender, TValue& Value) {
  ClientOf(Sender).SetUseNewPassword(Value.ToBool());
}

}  // namespace connection

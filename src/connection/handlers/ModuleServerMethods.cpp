// Connection and server methods: what the session learned, connecting and
// closing, the administrative commands, and Clone.
#include <string>

#include "addin/HostAutomation.h"
#include "connection/OrbelinModule.h"
#include "connection/TDalvora.h"
#include "connection/handlers/HandlerValues.h"
#include "connection/values/ServerVersion.h"

namespace connection {

namespace {

mysql::TMysqlClient& ClientOf(addin::TAddin& sender) {
  return TDalvora::Of(sender).Client();
}

// Servers before this version get the dedicated create/drop commands; later
// ones get the SQL statement (current servers no longer know the commands).
constexpr std::string_view kStatementVersion = "5.0.84";

bool UsesDedicatedDbCommand(const mysql::TMysqlClient& client) {
  // Versions compare by their numbers: 10.x and 11.x are far above 5.0.84.
  // Without a known version (never connected) the statement is the choice
  // every server understands.
  const std::string& version = client.ServerVersion();
  return HasVersionNumber(version) && CompareVersions(version, kStatementVersion) < 0;
}

// The name between backquotes, each backquote in it doubled, so that the
// statement names exactly the database the script gave (as the dedicated
// command does) and a name can never end the quoting early.
std::string QuotedName(const std::string& name) {
  std::string quoted(1, '`');
  for (const char c : name) {
    quoted += c;
    if (c == '`') quoted += '`';
  }
  return quoted += '`';
}

bool CreateOrDropDb(mysql::TMysqlClient& client, const std::string& name, bool create) {
  if (UsesDedicatedDbCommand(client)) return create ? client.CreateDb(name) : client.DropDb(name);
  const std::string statement =
      std::string(create ? "create database " : "drop database ") + QuotedName(name) + ";";
  // The statement yields no rows; any result is released here, and the
  // object's current result is left alone.
  return client.Query(statement, false).Ok;
}

}  // namespace

void TModule::AddinHelperMethodsStatusCallAsFunc(TAddin& sender, TParams&, TValue& value) {
  value = TValue(static_cast<std::int32_t>(ClientOf(sender).Status()));
}

void TModule::AddinHelperMethodsThreadIdCallAsFunc(TAddin& sender, TParams&, TValue& value) {
  value = Int32Bits(ClientOf(sender).ThreadId());
}

void TModule::AddinHelperMethodsAffectedRowsCallAsFunc(TAddin& sender, TParams&, TValue& value) {
  value = Int64Bits(ClientOf(sender).AffectedRows());
}

void TModule::AddinHelperMethodsLastInsertIdCallAsFunc(TAddin& sender, TParams&, TValue& value) {
  value = Int64Bits(ClientOf(sender).LastInsertId());
}

void TModule::AddinHelperMethodsServerVersionCallAsFunc(TAddin& sender, TParams&, TValue& value) {
  value = TValue(ClientOf(sender).ServerVersion());
}

void TModule::AddinHelperMethodsClientVersionCallAsFunc(TAddin&, TParams&, TValue& value) {
  value = TValue(mysql::TMysqlClient::ClientVersion());
}

void TModule::AddinHelperMethodsProtocolVersionCallAsFunc(TAddin& sender, TParams&, TValue& value) {
  value = TValue(ClientOf(sender).ProtocolVersion());
}

void TModule::AddinHelperMethodsServerCapabilitiesCallAsFunc(TAddin& sender, TParams&,
                                                             TValue& value) {
  value = Int32Bits(ClientOf(sender).ServerCapabilities());
}

void TModule::AddinHelperMethodsServerStatusCallAsFunc(TAddin& sender, TParams&, TValue& value) {
  value = Int32Bits(ClientOf(sender).ServerStatus());
}

void TModule::AddinHelperMethodsServerLanguageCallAsFunc(TAddin& sender, TParams&, TValue& value) {
  value = Int32Bits(ClientOf(sender).ServerLanguage());
}

void TModule::AddinHelperMethodsExtraInfoCallAsFunc(TAddin& sender, TParams&, TValue& value) {
  value = Int64Bits(ClientOf(sender).ExtraInfo());
}

void TModule::AddinHelperMethodsInfoCallAsFunc(TAddin& sender, TParams&, TValue& value) {
  value = TValue(ClientOf(sender).Info());
}

void TModule::AddinHelperMethodsLastErrorCallAsFunc(TAddin& sender, TParams&, TValue& value) {
  value = TValue(ClientOf(sender).LastError());
}

void TModule::AddinHelperMethodsLastErrorNoCallAsFunc(TAddin& sender, TParams&, TValue& value) {
  value = TValue(ClientOf(sender).LastErrorNo());
}

void TModule::AddinHelperMethodsConnectedCallAsFunc(TAddin& sender, TParams&, TValue& value) {
  value = Flag(ClientOf(sender).Connected());
}

void TModule::AddinHelperMethodsConnectCallAsFunc(TAddin& sender, TParams&, TValue& value) {
  value = Flag(ClientOf(sender).Connect());
}

void TModule::AddinHelperMethodsReconnectCallAsFunc(TAddin& sender, TParams&, TValue& value) {
  value = Flag(ClientOf(sender).Reconnect());
}

void TModule::AddinHelperMethodsCloseCallAsProc(TAddin& sender, TParams&) {
  ClientOf(sender).Close();
}

void TModule::AddinHelperMethodsSelectDbCallAsFunc(TAddin& sender, TParams& params, TValue& value) {
  value = Flag(ClientOf(sender).SelectDb(Param(params, 0).ToString()));
}

void TModule::AddinHelperMethodsCreateDbCallAsFunc(TAddin& sender, TParams& params, TValue& value) {
  value = Flag(CreateOrDropDb(ClientOf(sender), Param(params, 0).ToString(), true));
}

void TModule::AddinHelperMethodsDropDbCallAsFunc(TAddin& sender, TParams& params, TValue& value) {
  value = Flag(CreateOrDropDb(ClientOf(sender), Param(params, 0).ToString(), false));
}

void TModule::AddinHelperMethodsChangeUserGetDefaultParam(TAddin&, std::int32_t index,
                                                          TValue& value) {
  // Only the database may be left out; user and password have no default.
  if (index == 2) value = TValue("");
}

void TModule::AddinHelperMethodsChangeUserCallAsFunc(TAddin& sender, TParams& params,
                                                     TValue& value) {
  const std::string user = Param(params, 0).ToString();
  const std::string password = Param(params, 1).ToString();
  const std::string db = Param(params, 2).ToString();
  value = Flag(ClientOf(sender).ChangeUser(user, password, db));
}

void TModule::AddinHelperMethodsRefreshCallAsFunc(TAddin& sender, TParams& params, TValue& value) {
  value = Flag(ClientOf(sender).Refresh(Low32Bits(Param(params, 0))));
}

void TModule::AddinHelperMethodsKillCallAsFunc(TAddin& sender, TParams& params, TValue& value) {
  value = Flag(ClientOf(sender).Kill(Low32Bits(Param(params, 0))));
}

void TModule::AddinHelperMethodsPingCallAsFunc(TAddin& sender, TParams&, TValue& value) {
  value = Flag(ClientOf(sender).Ping());
}

void TModule::AddinHelperMethodsShutdownCallAsFunc(TAddin& sender, TParams&, TValue& value) {
  TDalvora& object = TDalvora::Of(sender);
  const bool ok = object.Client().Shutdown();
  // The server is gone with its session: a result of it has nothing to show.
  if (ok) object.ReplaceResult(nullptr);
  value = Flag(ok);
}

void TModule::AddinHelperMethodsStatCallAsFunc(TAddin& sender, TParams&, TValue& value) {
  value = TValue(ClientOf(sender).Stat());
}

void TModule::AddinHelperMethodsCloneCallAsFunc(TAddin& sender, TParams&, TValue& value) {
  value = TValue();
  try {
    TDalvora& object = TDalvora::Of(sender);
    const mysql::TMysqlClient& client = object.Client();
    const addin::THostDialect dialect = object.Dialect();
    const TValue clone = dialect.NewComObject(object.GetAppDispatch(),
                                              std::string("AddIn.").append(object.ExtensionName()));
    addin::HostPut(clone, "Host", TValue(client.Host()));
    addin::HostPut(clone, "User", TValue(client.User()));
    addin::HostPut(clone, "Password", TValue(client.Password()));
    addin::HostPut(clone, "Db", TValue(client.Db()));
    addin::HostPut(clone, "Port", Int32Bits(client.Port()));
    addin::HostPut(clone, "UnixSocket", TValue(client.UnixSocket()));
    addin::HostPut(clone, "ClientFlag", Int32Bits(client.ClientFlag()));
    addin::HostPut(clone, "ShouldReconnect", Flag(client.ShouldReconnect()));
    addin::HostPut(clone, "UseNamedPipe", Flag(client.UseNamedPipe()));
    addin::HostPut(clone, "TrySockets", Flag(client.TrySockets()));
    addin::HostPut(clone, "ConnectTimeout", Int32Bits(client.ConnectTimeout()));
    addin::HostPut(clone, "ReadTimeout", Int32Bits(client.ReadTimeout()));
    addin::HostPut(clone, "WriteTimeout", Int32Bits(client.WriteTimeout()));
    addin::HostPut(clone, "SslMode", TValue(static_cast<std::int32_t>(client.SslMode())));
    addin::HostPut(clone, "SslCa", TValue(client.SslCa()));
    addin::HostPut(clone, "SslCert", TValue(client.SslCert()));
    addin::HostPut(clone, "SslKey", TValue(client.SslKey()));
    addin::HostPut(clone, "AllowPublicKeyRetrieval", Flag(client.AllowPublicKeyRetrieval()));
    addin::HostPut(clone, "ServerPublicKey", TValue(client.ServerPublicKey()));
    addin::HostPut(clone, "Compress", Flag(client.Compress()));
    addin::HostPut(clone, "Charset", TValue(client.Charset()));
    if (client.Connected()) {
      // A clone the server refuses is still a clone, just not connected.
      try {
        addin::HostProcedure(clone, "Connect");
        // The copy reads and writes text in the character set the original uses.
        for (const std::string& statement : client.CharsetStatements())
          addin::HostProcedure(clone, "Execute", {TValue(statement)});
      } catch (...) {
      }
    }
    value = dialect.ForScript(clone);
  } catch (...) {
    // Clone never fails towards the script: no object is the answer.
    value = TValue();
  }
}

}  // namespace connection

// Connection and server methods: what the session learned, connecting and
// closing, the administrative commands, and Clone.
#include <string>

#include "addin/HostAutomation.h"
#include "connection/HandlerValues.h"
#include "connection/OrbelinModule.h"
#include "connection/ServerVersion.h"
#include "connection/TDalvora.h"

namespace connection {

namespace {

TMysqlClient& ClientOf(addin::TAddin& sender) {
  return TDalvora::Of(sender).Client();
}

// Servers before this version get the dedicated create/drop commands; later
// ones get the SQL statement (current servers no longer know the commands).
constexpr std::string_view kStatementVersion = "5.0.84";

bool UsesDedicatedDbCommand(const TMysqlClient& client) {
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

bool CreateOrDropDb(TMysqlClient& client, const std::string& name, bool create) {
  if (UsesDedicatedDbCommand(client)) return create ? client.CreateDb(name) : client.DropDb(name);
  const std::string statement =
      std::string(create ? "create database " : "drop database ") + QuotedName(name) + ";";
  // The statement yields no rows; any result is released here, and the
  // object's current result is left alone.
  return client.Query(statement, false).Ok;
}

}  // namespace

void TModule::AddinHelperMethodsStatusCallAsFunc(TAddin& Sender, TParams&, TValue& Value) {
  Value = TValue(static_cast<int32_t>(ClientOf(Sender).Status()));
}

void TModule::AddinHelperMethodsThreadIdCallAsFunc(TAddin& Sender, TParams&, TValue& Value) {
  Value = Int32Bits(ClientOf(Sender).ThreadId());
}

void TModule::AddinHelperMethodsAffectedRowsCallAsFunc(TAddin& Sender, TParams&, TValue& Value) {
  Value = Int64Bits(ClientOf(Sender).AffectedRows());
}

void TModule::AddinHelperMethodsLastInsertIdCallAsFunc(TAddin& Sender, TParams&, TValue& Value) {
  Value = Int64Bits(ClientOf(Sender).LastInsertId());
}

void TModule::AddinHelperMethodsServerVersionCallAsFunc(TAddin& Sender, TParams&, TValue& Value) {
  Value = TValue(ClientOf(Sender).ServerVersion());
}

void TModule::AddinHelperMethodsClientVersionCallAsFunc(TAddin&, TParams&, TValue& Value) {
  Value = TValue(TMysqlClient::ClientVersion());
}

void TModule::AddinHelperMethodsProtocolVersionCallAsFunc(TAddin& Sender, TParams&, TValue& Value) {
  Value = TValue(ClientOf(Sender).ProtocolVersion());
}

void TModule::AddinHelperMethodsServerCapabilitiesCallAsFunc(TAddin& Sender, TParams&,
                                                             TValue& Value) {
  Value = Int32Bits(ClientOf(Sender).ServerCapabilities());
}

void TModule::AddinHelperMethodsServerStatusCallAsFunc(TAddin& Sender, TParams&, TValue& Value) {
  Value = Int32Bits(ClientOf(Sender).ServerStatus());
}

void TModule::AddinHelperMethodsServerLanguageCallAsFunc(TAddin& Sender, TParams&, TValue& Value) {
  Value = Int32Bits(ClientOf(Sender).ServerLanguage());
}

void TModule::AddinHelperMethodsExtraInfoCallAsFunc(TAddin& Sender, TParams&, TValue& Value) {
  Value = Int64Bits(ClientOf(Sender).ExtraInfo());
}

void TModule::AddinHelperMethodsInfoCallAsFunc(TAddin& Sender, TParams&, TValue& Value) {
  Value = TValue(ClientOf(Sender).Info());
}

void TModule::AddinHelperMethodsLastErrorCallAsFunc(TAddin& Sender, TParams&, TValue& Value) {
  Value = TValue(ClientOf(Sender).LastError());
}

void TModule::AddinHelperMethodsLastErrorNoCallAsFunc(TAddin& Sender, TParams&, TValue& Value) {
  Value = TValue(ClientOf(Sender).LastErrorNo());
}

void TModule::AddinHelperMethodsConnectedCallAsFunc(TAddin& Sender, TParams&, TValue& Value) {
  Value = Flag(ClientOf(Sender).Connected());
}

void TModule::AddinHelperMethodsConnectCallAsFunc(TAddin& Sender, TParams&, TValue& Value) {
  Value = Flag(ClientOf(Sender).Connect());
}

void TModule::AddinHelperMethodsConnectCallAsProc(TAddin& Sender, TParams& Params) {
  TValue discarded;
  AddinHelperMethodsConnectCallAsFunc(Sender, Params, discarded);
}

void TModule::AddinHelperMethodsReconnectCallAsFunc(TAddin& Sender, TParams&, TValue& Value) {
  Value = Flag(ClientOf(Sender).Reconnect());
}

void TModule::AddinHelperMethodsReconnectCallAsProc(TAddin& Sender, TParams& Params) {
  TValue discarded;
  AddinHelperMethodsReconnectCallAsFunc(Sender, Params, discarded);
}

void TModule::AddinHelperMethodsCloseCallAsProc(TAddin& Sender, TParams&) {
  ClientOf(Sender).Close();
}

void TModule::AddinHelperMethodsSelectDbCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value) {
  Value = Flag(ClientOf(Sender).SelectDb(Param(Params, 0).ToString()));
}

void TModule::AddinHelperMethodsSelectDbCallAsProc(TAddin& Sender, TParams& Params) {
  TValue discarded;
  AddinHelperMethodsSelectDbCallAsFunc(Sender, Params, discarded);
}

void TModule::AddinHelperMethodsCreateDbCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value) {
  Value = Flag(CreateOrDropDb(ClientOf(Sender), Param(Params, 0).ToString(), true));
}

void TModule::AddinHelperMethodsCreateDbCallAsProc(TAddin& Sender, TParams& Params) {
  TValue discarded;
  AddinHelperMethodsCreateDbCallAsFunc(Sender, Params, discarded);
}

void TModule::AddinHelperMethodsDropDbCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value) {
  Value = Flag(CreateOrDropDb(ClientOf(Sender), Param(Params, 0).ToString(), false));
}

void TModule::AddinHelperMethodsDropDbCallAsProc(TAddin& Sender, TParams& Params) {
  TValue discarded;
  AddinHelperMethodsDropDbCallAsFunc(Sender, Params, discarded);
}

void TModule::AddinHelperMethodsChangeUserGetDefaultParam(TAddin&, int32_t Index, TValue& Value) {
  // Only the database may be left out; user and password have no default.
  if (Index == 2) Value = TValue("");
}

void TModule::AddinHelperMethodsChangeUserCallAsFunc(TAddin& Sender, TParams& Params,
                                                     TValue& Value) {
  const std::string user = Param(Params, 0).ToString();
  const std::string password = Param(Params, 1).ToString();
  const std::string db = Param(Params, 2).ToString();
  Value = Flag(ClientOf(Sender).ChangeUser(user, password, db));
}

void TModule::AddinHelperMethodsChangeUserCallAsProc(TAddin& Sender, TParams& Params) {
  TValue discarded;
  AddinHelperMethodsChangeUserCallAsFunc(Sender, Params, discarded);
}

void TModule::AddinHelperMethodsRefreshCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value) {
  Value = Flag(ClientOf(Sender).Refresh(Low32Bits(Param(Params, 0))));
}

void TModule::AddinHelperMethodsRefreshCallAsProc(TAddin& Sender, TParams& Params) {
  TValue discarded;
  AddinHelperMethodsRefreshCallAsFunc(Sender, Params, discarded);
}

void TModule::AddinHelperMethodsKillCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value) {
  Value = Flag(ClientOf(Sender).Kill(Low32Bits(Param(Params, 0))));
}

void TModule::AddinHelperMethodsKillCallAsProc(TAddin& Sender, TParams& Params) {
  TValue discarded;
  AddinHelperMethodsKillCallAsFunc(Sender, Params, discarded);
}

void TModule::AddinHelperMethodsPingCallAsFunc(TAddin& Sender, TParams&, TValue& Value) {
  Value = Flag(ClientOf(Sender).Ping());
}

void TModule::AddinHelperMethodsShutdownCallAsFunc(TAddin& Sender, TParams&, TValue& Value) {
  TDalvora& object = TDalvora::Of(Sender);
  const bool ok = object.Client().Shutdown();
  // The server is gone with its session: a result of it has nothing to show.
  if (ok) object.ReplaceResult(nullptr);
  Value = Flag(ok);
}

void TModule::AddinHelperMethodsShutdownCallAsProc(TAddin& Sender, TParams& Params) {
  TValue discarded;
  AddinHelperMethodsShutdownCallAsFunc(Sender, Params, discarded);
}

void TModule::AddinHelperMethodsStatCallAsFunc(TAddin& Sender, TParams&, TValue& Value) {
  Value = TValue(ClientOf(Sender).Stat());
}

void TModule::AddinHelperMethodsCloneCallAsFunc(TAddin& Sender, TParams&, TValue& Value) {
  Value = TValue();
  try {
    TDalvora& object = TDalvora::Of(Sender);
    const TMysqlClient& client = object.Client();
    const TValue app = object.GetAppDispatch();
    const bool expressions = object.ExpressionDialect();
    const TValue clone =
        addin::HostFunction(app, expressions ? "CreateObject" : "NewObject",
                            {TValue(std::string("AddIn.").append(object.ExtensionName()))});
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
    addin::HostPut(clone, "Compress", Flag(client.Compress()));
    if (client.Connected()) {
      // A clone the server refuses is still a clone, just not connected.
      try {
        addin::HostProcedure(clone, "Connect");
      } catch (...) {
      }
    }
    Value = expressions ? TValue(clone.ToDispatch()) : clone;
  } catch (...) {
    // Clone never fails towards the script: no object is the answer.
    Value = TValue();
  }
}

}  // namespace connection

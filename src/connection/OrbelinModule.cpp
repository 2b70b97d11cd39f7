#include "connection/OrbelinModule.h"

#include <functional>

#include "connection/com/DalvoraMembers.h"

namespace connection {

namespace {

// Every handler is attached under its own method name, which the table
// builder checks against the member table.
#define ORBELIN_HANDLER(Method) \
  { #Method, std::bind_front(&TModule::Method, module) }

// Most procedure forms do the function's work and drop its result; they are
// the function handler under the procedure's name.
#define ORBELIN_PROCEDURE_FROM_FUNCTION(Name)                                        \
  {                                                                                  \
    "AddinHelperMethods" #Name "CallAsProc",                                         \
        ProcedureFromFunction(                                                       \
            std::bind_front(&TModule::AddinHelperMethods##Name##CallAsFunc, module)) \
  }

addin::TOnCallAsProcEvent ProcedureFromFunction(addin::TOnCallAsFuncEvent function) {
  return [function = std::move(function)](addin::TAddin& sender, addin::TParams& params) {
    platform::TOleVariant discarded;
    function(sender, params, discarded);
  };
}

TDalvoraHandlers HandlersOf(TModule* module) {
  TDalvoraHandlers handlers;
  handlers.Properties = {
      ORBELIN_HANDLER(AddinHelperPropertiesHostGet),
      ORBELIN_HANDLER(AddinHelperPropertiesHostSet),
      ORBELIN_HANDLER(AddinHelperPropertiesUserGet),
      ORBELIN_HANDLER(AddinHelperPropertiesUserSet),
      ORBELIN_HANDLER(AddinHelperPropertiesPasswordGet),
      ORBELIN_HANDLER(AddinHelperPropertiesPasswordSet),
      ORBELIN_HANDLER(AddinHelperPropertiesUnixSocketGet),
      ORBELIN_HANDLER(AddinHelperPropertiesUnixSocketSet),
      ORBELIN_HANDLER(AddinHelperPropertiesDbGet),
      ORBELIN_HANDLER(AddinHelperPropertiesDbSet),
      ORBELIN_HANDLER(AddinHelperPropertiesPortGet),
      ORBELIN_HANDLER(AddinHelperPropertiesPortSet),
      ORBELIN_HANDLER(AddinHelperPropertiesClientFlagGet),
      ORBELIN_HANDLER(AddinHelperPropertiesClientFlagSet),
      ORBELIN_HANDLER(AddinHelperPropertiesShouldReconnectGet),
      ORBELIN_HANDLER(AddinHelperPropertiesShouldReconnectSet),
      ORBELIN_HANDLER(AddinHelperPropertiesUseNamedPipeGet),
      ORBELIN_HANDLER(AddinHelperPropertiesUseNamedPipeSet),
      ORBELIN_HANDLER(AddinHelperPropertiesTrySocketsGet),
      ORBELIN_HANDLER(AddinHelperPropertiesTrySocketsSet),
      ORBELIN_HANDLER(AddinHelperPropertiesConnectTimeoutGet),
      ORBELIN_HANDLER(AddinHelperPropertiesConnectTimeoutSet),
      ORBELIN_HANDLER(AddinHelperPropertiesCompressGet),
      ORBELIN_HANDLER(AddinHelperPropertiesCompressSet),
      ORBELIN_HANDLER(AddinHelperPropertiesRecNoGet),
      ORBELIN_HANDLER(AddinHelperPropertiesFieldsCountGet),
      ORBELIN_HANDLER(AddinHelperPropertiesRowsCountGet),
      ORBELIN_HANDLER(AddinHelperPropertiesResultTypeGet),
      ORBELIN_HANDLER(AddinHelperPropertiesAutoTypeGet),
      ORBELIN_HANDLER(AddinHelperPropertiesAutoTypeSet),
      ORBELIN_HANDLER(AddinHelperPropertiesUseNewPasswordGet),
      ORBELIN_HANDLER(AddinHelperPropertiesUseNewPasswordSet),
  };
  handlers.DefaultParams = {
      ORBELIN_HANDLER(AddinHelperMethodsChangeUserGetDefaultParam),
      ORBELIN_HANDLER(AddinHelperMethodsQueryGetDefaultParam),
      ORBELIN_HANDLER(AddinHelperMethodsExecuteGetDefaultParam),
      ORBELIN_HANDLER(AddinHelperMethodsFieldDefGetDefaultParam),
      ORBELIN_HANDLER(AddinHelperMethodsFetchRowGetDefaultParam),
      ORBELIN_HANDLER(AddinHelperMethodsFetchAllGetDefaultParam),
      ORBELIN_HANDLER(AddinHelperMethodsListProcessesGetDefaultParam),
  };
  handlers.Procedures = {
      ORBELIN_PROCEDURE_FROM_FUNCTION(Connect),
      ORBELIN_PROCEDURE_FROM_FUNCTION(Reconnect),
      ORBELIN_HANDLER(AddinHelperMethodsCloseCallAsProc),
      ORBELIN_PROCEDURE_FROM_FUNCTION(SelectDb),
      ORBELIN_PROCEDURE_FROM_FUNCTION(CreateDb),
      ORBELIN_PROCEDURE_FROM_FUNCTION(DropDb),
      ORBELIN_PROCEDURE_FROM_FUNCTION(ChangeUser),
      ORBELIN_PROCEDURE_FROM_FUNCTION(Refresh),
      ORBELIN_PROCEDURE_FROM_FUNCTION(Kill),
      ORBELIN_PROCEDURE_FROM_FUNCTION(Shutdown),
      ORBELIN_PROCEDURE_FROM_FUNCTION(Query),
      ORBELIN_PROCEDURE_FROM_FUNCTION(Execute),
      ORBELIN_HANDLER(AddinHelperMethodsNextCallAsProc),
      ORBELIN_HANDLER(AddinHelperMethodsPriorCallAsProc),
      ORBELIN_HANDLER(AddinHelperMethodsFirstCallAsProc),
      ORBELIN_HANDLER(AddinHelperMethodsLastCallAsProc),
      ORBELIN_HANDLER(AddinHelperMethodsLocateCallAsProc),
      ORBELIN_HANDLER(AddinHelperMethodsFetchRowCallAsProc),
      ORBELIN_HANDLER(AddinHelperMethodsFetchAllCallAsProc),
      ORBELIN_PROCEDURE_FROM_FUNCTION(FillAll),
      ORBELIN_PROCEDURE_FROM_FUNCTION(ListProcesses),
  };
  handlers.Functions = {
      ORBELIN_HANDLER(AddinHelperMethodsStatusCallAsFunc),
      ORBELIN_HANDLER(AddinHelperMethodsThreadIdCallAsFunc),
      ORBELIN_HANDLER(AddinHelperMethodsAffectedRowsCallAsFunc),
      ORBELIN_HANDLER(AddinHelperMethodsLastInsertIdCallAsFunc),
      ORBELIN_HANDLER(AddinHelperMethodsServerVersionCallAsFunc),
      ORBELIN_HANDLER(AddinHelperMethodsClientVersionCallAsFunc),
      ORBELIN_HANDLER(AddinHelperMethodsProtocolVersionCallAsFunc),
      ORBELIN_HANDLER(AddinHelperMethodsServerCapabilitiesCallAsFunc),
      ORBELIN_HANDLER(AddinHelperMethodsServerStatusCallAsFunc),
      ORBELIN_HANDLER(AddinHelperMethodsServerLanguageCallAsFunc),
      ORBELIN_HANDLER(AddinHelperMethodsExtraInfoCallAsFunc),
      ORBELIN_HANDLER(AddinHelperMethodsInfoCallAsFunc),
      ORBELIN_HANDLER(AddinHelperMethodsLastErrorCallAsFunc),
      ORBELIN_HANDLER(AddinHelperMethodsLastErrorNoCallAsFunc),
      ORBELIN_HANDLER(AddinHelperMethodsConnectedCallAsFunc),
      ORBELIN_HANDLER(AddinHelperMethodsConnectCallAsFunc),
      ORBELIN_HANDLER(AddinHelperMethodsReconnectCallAsFunc),
      ORBELIN_HANDLER(AddinHelperMethodsSelectDbCallAsFunc),
      ORBELIN_HANDLER(AddinHelperMethodsCreateDbCallAsFunc),
      ORBELIN_HANDLER(AddinHelperMethodsDropDbCallAsFunc),
      ORBELIN_HANDLER(AddinHelperMethodsChangeUserCallAsFunc),
      ORBELIN_HANDLER(AddinHelperMethodsRefreshCallAsFunc),
      ORBELIN_HANDLER(AddinHelperMethodsKillCallAsFunc),
      ORBELIN_HANDLER(AddinHelperMethodsPingCallAsFunc),
      ORBELIN_HANDLER(AddinHelperMethodsShutdownCallAsFunc),
      ORBELIN_HANDLER(AddinHelperMethodsStatCallAsFunc),
      ORBELIN_HANDLER(AddinHelperMethodsCloneCallAsFunc),
      ORBELIN_HANDLER(AddinHelperMethodsQueryCallAsFunc),
      ORBELIN_HANDLER(AddinHelperMethodsExecuteCallAsFunc),
      ORBELIN_HANDLER(AddinHelperMethodsLastRowReadCallAsFunc),
      ORBELIN_HANDLER(AddinHelperMethodsEOFCallAsFunc),
      ORBELIN_HANDLER(AddinHelperMethodsBOFCallAsFunc),
      ORBELIN_HANDLER(AddinHelperMethodsFieldDefCallAsFunc),
      ORBELIN_HANDLER(AddinHelperMethodsFieldTypeCallAsFunc),
      ORBELIN_HANDLER(AddinHelperMethodsFetchValueCallAsFunc),
      ORBELIN_HANDLER(AddinHelperMethodsFetchRowCallAsFunc),
      ORBELIN_HANDLER(AddinHelperMethodsFetchAllCallAsFunc),
      ORBELIN_HANDLER(AddinHelperMethodsFillAllCallAsFunc),
      ORBELIN_HANDLER(AddinHelperMethodsListProcessesCallAsFunc),
  };
  handlers.AddinHelperGetProperty = std::bind_front(&TModule::AddinHelperGetProperty, module);
  handlers.AddinHelperFindProperty = std::bind_front(&TModule::AddinHelperFindProperty, module);
  handlers.AddinHelperGetPropertyName =
      std::bind_front(&TModule::AddinHelperGetPropertyName, module);
  handlers.AddinHelperGetPropertyCount =
      std::bind_front(&TModule::AddinHelperGetPropertyCount, module);
  handlers.AddinHelperIsPropertyReadable =
      std::bind_front(&TModule::AddinHelperIsPropertyReadable, module);
  handlers.AddinHelperIsPropertyWriteable =
      std::bind_front(&TModule::AddinHelperIsPropertyWriteable, module);
  return handlers;
}

#undef ORBELIN_HANDLER
#undef ORBELIN_PROCEDURE_FROM_FUNCTION

}  // namespace

TModule::TModule() : addinHelper_(BuildDalvoraMemberTable(HandlersOf(this))) {}

TModule& Module() {
  static TModule module;
  return module;
}

}  // namespace connection

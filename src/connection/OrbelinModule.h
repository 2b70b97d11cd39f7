// TModule: the data module that owns the connection object's member table
// (AddinHelper) and carries every handler of it. One instance, Module(),
// serves all connection objects: each handler receives the calling object
// as Sender and works on that object's session, result and AutoType only.
#pragma once

#include <cstdint>
#include <string>

#include "addin/AddinHelper.h"
#include "platform/OleVariant.h"

namespace connection {

class TModule {
 public:
  // Builds the member table and attaches every handler by its name.
  TModule();
  TModule(const TModule&) = delete;
  TModule& operator=(const TModule&) = delete;

  const addin::TAddinHelper& AddinHelper() const noexcept { return addinHelper_; }

  using TAddin = addin::TAddin;
  using TParams = addin::TParams;
  using TValue = platform::TOleVariant;

  // Properties: connection settings, result state, AutoType.
  void AddinHelperPropertiesHostGet(TAddin& Sender, TValue& Value);
  void AddinHelperPropertiesHostSet(TAddin& Sender, TValue& Value);
  void AddinHelperPropertiesUserGet(TAddin& Sender, TValue& Value);
  void AddinHelperPropertiesUserSet(TAddin& Sender, TValue& Value);
  void AddinHelperPropertiesPasswordGet(TAddin& Sender, TValue& Value);
  void AddinHelperPropertiesPasswordSet(TAddin& Sender, TValue& Value);
  void AddinHelperPropertiesUnixSocketGet(TAddin& Sender, TValue& Value);
  void AddinHelperPropertiesUnixSocketSet(TAddin& Sender, TValue& Value);
  void AddinHelperPropertiesDbGet(TAddin& Sender, TValue& Value);
  void AddinHelperPropertiesDbSet(TAddin& Sender, TValue& Value);
  void AddinHelperPropertiesPortGet(TAddin& Sender, TValue& Value);
  void AddinHelperPropertiesPortSet(TAddin& Sender, TValue& Value);
  void AddinHelperPropertiesClientFlagGet(TAddin& Sender, TValue& Value);
  void AddinHelperPropertiesClientFlagSet(TAddin& Sender, TValue& Value);
  void AddinHelperPropertiesShouldReconnectGet(TAddin& Sender, TValue& Value);
  void AddinHelperPropertiesShouldReconnectSet(TAddin& Sender, TValue& Value);
  void AddinHelperPropertiesUseNamedPipeGet(TAddin& Sender, TValue& Value);
  void AddinHelperPropertiesUseNamedPipeSet(TAddin& Sender, TValue& Value);
  void AddinHelperPropertiesTrySocketsGet(TAddin& Sender, TValue& Value);
  void AddinHelperPropertiesTrySocketsSet(TAddin& Sender, TValue& Value);
  void AddinHelperPropertiesConnectTimeoutGet(TAddin& Sender, TValue& Value);
  void AddinHelperPropertiesConnectTimeoutSet(TAddin& Sender, TValue& Value);
  void AddinHelperPropertiesCompressGet(TAddin& Sender, TValue& Value);
  void AddinHelperPropertiesCompressSet(TAddin& Sender, TValue& Value);
  void AddinHelperPropertiesRecNoGet(TAddin& Sender, TValue& Value);
  void AddinHelperPropertiesFieldsCountGet(TAddin& Sender, TValue& Value);
  void AddinHelperPropertiesRowsCountGet(TAddin& Sender, TValue& Value);
  void AddinHelperPropertiesResultTypeGet(TAddin& Sender, TValue& Value);
  void AddinHelperPropertiesAutoTypeGet(TAddin& Sender, TValue& Value);
  void AddinHelperPropertiesAutoTypeSet(TAddin& Sender, TValue& Value);
  void AddinHelperPropertiesUseNewPasswordGet(TAddin& Sender, TValue& Value);
  void AddinHelperPropertiesUseNewPasswordSet(TAddin& Sender, TValue& Value);

  // What the session learned from the server and the last statement.
  void AddinHelperMethodsStatusCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value);
  void AddinHelperMethodsThreadIdCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value);
  void AddinHelperMethodsAffectedRowsCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value);
  void AddinHelperMethodsLastInsertIdCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value);
  void AddinHelperMethodsServerVersionCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value);
  void AddinHelperMethodsClientVersionCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value);
  void AddinHelperMethodsProtocolVersionCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value);
  void AddinHelperMethodsServerCapabilitiesCallAsFunc(TAddin& Sender, TParams& Params,
                                                      TValue& Value);
  void AddinHelperMethodsServerStatusCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value);
  void AddinHelperMethodsServerLanguageCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value);
  void AddinHelperMethodsExtraInfoCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value);
  void AddinHelperMethodsInfoCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value);
  void AddinHelperMethodsLastErrorCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value);
  void AddinHelperMethodsLastErrorNoCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value);
  void AddinHelperMethodsConnectedCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value);

  // Connection and server commands.
  void AddinHelperMethodsConnectCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value);
  void AddinHelperMethodsConnectCallAsProc(TAddin& Sender, TParams& Params);
  void AddinHelperMethodsReconnectCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value);
  void AddinHelperMethodsReconnectCallAsProc(TAddin& Sender, TParams& Params);
  void AddinHelperMethodsCloseCallAsProc(TAddin& Sender, TParams& Params);
  void AddinHelperMethodsSelectDbCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value);
  void AddinHelperMethodsSelectDbCallAsProc(TAddin& Sender, TParams& Params);
  void AddinHelperMethodsCreateDbCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value);
  void AddinHelperMethodsCreateDbCallAsProc(TAddin& Sender, TParams& Params);
  void AddinHelperMethodsDropDbCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value);
  void AddinHelperMethodsDropDbCallAsProc(TAddin& Sender, TParams& Params);
  void AddinHelperMethodsChangeUserGetDefaultParam(TAddin& Sender, int32_t Index, TValue& Value);
  void AddinHelperMethodsChangeUserCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value);
  void AddinHelperMethodsChangeUserCallAsProc(TAddin& Sender, TParams& Params);
  void AddinHelperMethodsRefreshCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value);
  void AddinHelperMethodsRefreshCallAsProc(TAddin& Sender, TParams& Params);
  void AddinHelperMethodsKillCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value);
  void AddinHelperMethodsKillCallAsProc(TAddin& Sender, TParams& Params);
  void AddinHelperMethodsPingCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value);
  void AddinHelperMethodsShutdownCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value);
  void AddinHelperMethodsShutdownCallAsProc(TAddin& Sender, TParams& Params);
  void AddinHelperMethodsStatCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value);
  void AddinHelperMethodsCloneCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value);

  // Statements and row navigation.
  void AddinHelperMethodsQueryGetDefaultParam(TAddin& Sender, int32_t Index, TValue& Value);
  void AddinHelperMethodsQueryCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value);
  void AddinHelperMethodsQueryCallAsProc(TAddin& Sender, TParams& Params);
  void AddinHelperMethodsExecuteGetDefaultParam(TAddin& Sender, int32_t Index, TValue& Value);
  void AddinHelperMethodsExecuteCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value);
  void AddinHelperMethodsExecuteCallAsProc(TAddin& Sender, TParams& Params);
  void AddinHelperMethodsLastRowReadCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value);
  void AddinHelperMethodsEOFCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value);
  void AddinHelperMethodsBOFCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value);
  void AddinHelperMethodsNextCallAsProc(TAddin& Sender, TParams& Params);
  void AddinHelperMethodsPriorCallAsProc(TAddin& Sender, TParams& Params);
  void AddinHelperMethodsFirstCallAsProc(TAddin& Sender, TParams& Params);
  void AddinHelperMethodsLastCallAsProc(TAddin& Sender, TParams& Params);
  void AddinHelperMethodsLocateCallAsProc(TAddin& Sender, TParams& Params);

  // Field values and descriptions of the current result.
  void AddinHelperMethodsFieldDefGetDefaultParam(TAddin& Sender, int32_t Index, TValue& Value);
  void AddinHelperMethodsFieldDefCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value);
  void AddinHelperMethodsFieldTypeCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value);
  void AddinHelperMethodsFetchValueCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value);
  void AddinHelperMethodsFetchRowGetDefaultParam(TAddin& Sender, int32_t Index, TValue& Value);
  void AddinHelperMethodsFetchRowCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value);
  void AddinHelperMethodsFetchRowCallAsProc(TAddin& Sender, TParams& Params);

  // Whole results and the process list poured into host value tables.
  void AddinHelperMethodsFetchAllGetDefaultParam(TAddin& Sender, int32_t Index, TValue& Value);
  void AddinHelperMethodsFetchAllCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value);
  void AddinHelperMethodsFetchAllCallAsProc(TAddin& Sender, TParams& Params);
  void AddinHelperMethodsFillAllCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value);
  void AddinHelperMethodsFillAllCallAsProc(TAddin& Sender, TParams& Params);
  void AddinHelperMethodsListProcessesGetDefaultParam(TAddin& Sender, int32_t Index, TValue& Value);
  void AddinHelperMethodsListProcessesCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value);
  void AddinHelperMethodsListProcessesCallAsProc(TAddin& Sender, TParams& Params);

  // Field properties: "_" + column name, numbered after the table's own.
  void AddinHelperGetProperty(TAddin& Sender, const std::string& PropertyName, TValue& Value,
                              bool& Handled);
  void AddinHelperFindProperty(TAddin& Sender, const std::string& PropertyName, int32_t& Index);
  void AddinHelperGetPropertyName(TAddin& Sender, addin::TOleString& PropertyName, int32_t Index,
                                  int32_t Alias);
  void AddinHelperGetPropertyCount(TAddin& Sender, int32_t& Count);
  void AddinHelperIsPropertyReadable(TAddin& Sender, const std::string& PropertyName,
                                     bool& Readable);
  void AddinHelperIsPropertyWriteable(TAddin& Sender, const std::string& PropertyName,
                                      bool& Writeable);

 private:
  addin::TAddinHelper addinHelper_;
};

// The process-wide module, made when the library loads and kept until the
// process ends.
TModule& Module();

}  // namespace connection

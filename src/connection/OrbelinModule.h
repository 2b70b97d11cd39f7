// TModule: the data module that owns the connection object's member table
// (AddinHelper) and carries every handler of it. One instance, Module(),
// serves all connection objects: each handler receives the calling object
// as Sender and works on that object's session, result and AutoType only.
#pragma once

#include <cstdint>
#include <string>

#include "addin/AddinHelper.h"
#include "platform/com/OleVariant.h"

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
  void AddinHelperPropertiesHostGet(TAddin& sender, TValue& value);
  void AddinHelperPropertiesHostSet(TAddin& sender, TValue& value);
  void AddinHelperPropertiesUserGet(TAddin& sender, TValue& value);
  void AddinHelperPropertiesUserSet(TAddin& sender, TValue& value);
  void AddinHelperPropertiesPasswordGet(TAddin& sender, TValue& value);
  void AddinHelperPropertiesPasswordSet(TAddin& sender, TValue& value);
  void AddinHelperPropertiesUnixSocketGet(TAddin& sender, TValue& value);
  void AddinHelperPropertiesUnixSocketSet(TAddin& sender, TValue& value);
  void AddinHelperPropertiesDbGet(TAddin& sender, TValue& value);
  void AddinHelperPropertiesDbSet(TAddin& sender, TValue& value);
  void AddinHelperPropertiesPortGet(TAddin& sender, TValue& value);
  void AddinHelperPropertiesPortSet(TAddin& sender, TValue& value);
  void AddinHelperPropertiesClientFlagGet(TAddin& sender, TValue& value);
  void AddinHelperPropertiesClientFlagSet(TAddin& sender, TValue& value);
  void AddinHelperPropertiesShouldReconnectGet(TAddin& sender, TValue& value);
  void AddinHelperPropertiesShouldReconnectSet(TAddin& sender, TValue& value);
  void AddinHelperPropertiesUseNamedPipeGet(TAddin& sender, TValue& value);
  void AddinHelperPropertiesUseNamedPipeSet(TAddin& sender, TValue& value);
  void AddinHelperPropertiesTrySocketsGet(TAddin& sender, TValue& value);
  void AddinHelperPropertiesTrySocketsSet(TAddin& sender, TValue& value);
  void AddinHelperPropertiesConnectTimeoutGet(TAddin& sender, TValue& value);
  void AddinHelperPropertiesConnectTimeoutSet(TAddin& sender, TValue& value);
  void AddinHelperPropertiesCompressGet(TAddin& sender, TValue& value);
  void AddinHelperPropertiesCompressSet(TAddin& sender, TValue& value);
  void AddinHelperPropertiesRecNoGet(TAddin& sender, TValue& value);
  void AddinHelperPropertiesFieldsCountGet(TAddin& sender, TValue& value);
  void AddinHelperPropertiesRowsCountGet(TAddin& sender, TValue& value);
  void AddinHelperPropertiesResultTypeGet(TAddin& sender, TValue& value);
  void AddinHelperPropertiesAutoTypeGet(TAddin& sender, TValue& value);
  void AddinHelperPropertiesAutoTypeSet(TAddin& sender, TValue& value);
  void AddinHelperPropertiesUseNewPasswordGet(TAddin& sender, TValue& value);
  void AddinHelperPropertiesUseNewPasswordSet(TAddin& sender, TValue& value);

  // What the session learned from the server and the last statement.
  void AddinHelperMethodsStatusCallAsFunc(TAddin& sender, TParams& params, TValue& value);
  void AddinHelperMethodsThreadIdCallAsFunc(TAddin& sender, TParams& params, TValue& value);
  void AddinHelperMethodsAffectedRowsCallAsFunc(TAddin& sender, TParams& params, TValue& value);
  void AddinHelperMethodsLastInsertIdCallAsFunc(TAddin& sender, TParams& params, TValue& value);
  void AddinHelperMethodsServerVersionCallAsFunc(TAddin& sender, TParams& params, TValue& value);
  void AddinHelperMethodsClientVersionCallAsFunc(TAddin& sender, TParams& params, TValue& value);
  void AddinHelperMethodsProtocolVersionCallAsFunc(TAddin& sender, TParams& params, TValue& value);
  void AddinHelperMethodsServerCapabilitiesCallAsFunc(TAddin& sender, TParams& params,
                                                      TValue& value);
  void AddinHelperMethodsServerStatusCallAsFunc(TAddin& sender, TParams& params, TValue& value);
  void AddinHelperMethodsServerLanguageCallAsFunc(TAddin& sender, TParams& params, TValue& value);
  void AddinHelperMethodsExtraInfoCallAsFunc(TAddin& sender, TParams& params, TValue& value);
  void AddinHelperMethodsInfoCallAsFunc(TAddin& sender, TParams& params, TValue& value);
  void AddinHelperMethodsLastErrorCallAsFunc(TAddin& sender, TParams& params, TValue& value);
  void AddinHelperMethodsLastErrorNoCallAsFunc(TAddin& sender, TParams& params, TValue& value);
  void AddinHelperMethodsConnectedCallAsFunc(TAddin& sender, TParams& params, TValue& value);

  // Connection and server commands.
  void AddinHelperMethodsConnectCallAsFunc(TAddin& sender, TParams& params, TValue& value);
  void AddinHelperMethodsReconnectCallAsFunc(TAddin& sender, TParams& params, TValue& value);
  void AddinHelperMethodsCloseCallAsProc(TAddin& sender, TParams& params);
  void AddinHelperMethodsSelectDbCallAsFunc(TAddin& sender, TParams& params, TValue& value);
  void AddinHelperMethodsCreateDbCallAsFunc(TAddin& sender, TParams& params, TValue& value);
  void AddinHelperMethodsDropDbCallAsFunc(TAddin& sender, TParams& params, TValue& value);
  void AddinHelperMethodsChangeUserGetDefaultParam(TAddin& sender, std::int32_t index,
                                                   TValue& value);
  void AddinHelperMethodsChangeUserCallAsFunc(TAddin& sender, TParams& params, TValue& value);
  void AddinHelperMethodsRefreshCallAsFunc(TAddin& sender, TParams& params, TValue& value);
  void AddinHelperMethodsKillCallAsFunc(TAddin& sender, TParams& params, TValue& value);
  void AddinHelperMethodsPingCallAsFunc(TAddin& sender, TParams& params, TValue& value);
  void AddinHelperMethodsShutdownCallAsFunc(TAddin& sender, TParams& params, TValue& value);
  void AddinHelperMethodsStatCallAsFunc(TAddin& sender, TParams& params, TValue& value);
  void AddinHelperMethodsCloneCallAsFunc(TAddin& sender, TParams& params, TValue& value);

  // Statements and row navigation.
  void AddinHelperMethodsQueryGetDefaultParam(TAddin& sender, std::int32_t index, TValue& value);
  void AddinHelperMethodsQueryCallAsFunc(TAddin& sender, TParams& params, TValue& value);
  void AddinHelperMethodsExecuteGetDefaultParam(TAddin& sender, std::int32_t index, TValue& value);
  void AddinHelperMethodsExecuteCallAsFunc(TAddin& sender, TParams& params, TValue& value);
  void AddinHelperMethodsLastRowReadCallAsFunc(TAddin& sender, TParams& params, TValue& value);
  void AddinHelperMethodsEOFCallAsFunc(TAddin& sender, TParams& params, TValue& value);
  void AddinHelperMethodsBOFCallAsFunc(TAddin& sender, TParams& params, TValue& value);
  void AddinHelperMethodsNextCallAsProc(TAddin& sender, TParams& params);
  void AddinHelperMethodsPriorCallAsProc(TAddin& sender, TParams& params);
  void AddinHelperMethodsFirstCallAsProc(TAddin& sender, TParams& params);
  void AddinHelperMethodsLastCallAsProc(TAddin& sender, TParams& params);
  void AddinHelperMethodsLocateCallAsProc(TAddin& sender, TParams& params);

  // Field values and descriptions of the current result.
  void AddinHelperMethodsFieldDefGetDefaultParam(TAddin& sender, std::int32_t index, TValue& value);
  void AddinHelperMethodsFieldDefCallAsFunc(TAddin& sender, TParams& params, TValue& value);
  void AddinHelperMethodsFieldTypeCallAsFunc(TAddin& sender, TParams& params, TValue& value);
  void AddinHelperMethodsFetchValueCallAsFunc(TAddin& sender, TParams& params, TValue& value);
  void AddinHelperMethodsFetchRowGetDefaultParam(TAddin& sender, std::int32_t index, TValue& value);
  void AddinHelperMethodsFetchRowCallAsFunc(TAddin& sender, TParams& params, TValue& value);
  void AddinHelperMethodsFetchRowCallAsProc(TAddin& sender, TParams& params);

  // Whole results and the process list poured into host value tables.
  void AddinHelperMethodsFetchAllGetDefaultParam(TAddin& sender, std::int32_t index, TValue& value);
  void AddinHelperMethodsFetchAllCallAsFunc(TAddin& sender, TParams& params, TValue& value);
  void AddinHelperMethodsFetchAllCallAsProc(TAddin& sender, TParams& params);
  void AddinHelperMethodsFillAllCallAsFunc(TAddin& sender, TParams& params, TValue& value);
  void AddinHelperMethodsListProcessesGetDefaultParam(TAddin& sender, std::int32_t index,
                                                      TValue& value);
  void AddinHelperMethodsListProcessesCallAsFunc(TAddin& sender, TParams& params, TValue& value);

  // Field properties: "_" + column name, numbered after the table's own.
  void AddinHelperGetProperty(TAddin& sender, const std::string& propertyName, TValue& value,
                              bool& handled);
  void AddinHelperFindProperty(TAddin& sender, const std::string& propertyName,
                               std::int32_t& index);
  void AddinHelperGetPropertyName(TAddin& sender, addin::TOleString& propertyName,
                                  std::int32_t index, std::int32_t alias);
  void AddinHelperGetPropertyCount(TAddin& sender, std::int32_t& count);
  void AddinHelperIsPropertyReadable(TAddin& sender, const std::string& propertyName,
                                     bool& readable);
  void AddinHelperIsPropertyWriteable(TAddin& sender, const std::string& propertyName,
                                      bool& writeable);

 private:
  addin::TAddinHelper addinHelper_;
};

// The process-wide module, made when the library loads and kept until the
// process ends.
TModule& Module();

}  // namespace connection

// FetchAll, FillAll and ListProcesses: results poured into host value tables.
#include "connection/HandlerValues.h"
#include "connection/OrbelinModule.h"
#include "connection/TDalvora.h"
#include "connection/TableFill.h"

namespace connection {

namespace {

// A table goes back into the script's variable as a reference to itself.
platform::TOleVariant AsReference(const platform::TOleVariant& table) {
  return table.IsDispatch() ? platform::TOleVariant(table.ToDispatch()) : table;
}

}  // namespace

void TModule::AddinHelperMethodsFetchAllGetDefaultParam(TAddin&, int32_t, TValue& Value) {
  Value = TValue::Null();
}

void TModule::AddinHelperMethodsFetchAllCallAsFunc(TAddin& Sender, TParams&, TValue& Value) {
  Value = FillTableFromResult(TDalvora::Of(Sender), TValue());
}

void TModule::AddinHelperMethodsFetchAllCallAsProc(TAddin& Sender, TParams& Params) {
  const TValue table = FillTableFromResult(TDalvora::Of(Sender), TValue());
  if (!Params.empty()) Params[0] = AsReference(table);
}

void TModule::AddinHelperMethodsFillAllCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value) {
  Value = FillTableFromResult(TDalvora::Of(Sender), Param(Params, 0));
  if (!Params.empty()) Params[0] = AsReference(Value);
}

void TModule::AddinHelperMethodsFillAllCallAsProc(TAddin& Sender, TParams& Params) {
  TValue discarded;
  AddinHelperMethodsFillAllCallAsFunc(Sender, Params, discarded);
}

void TModule::AddinHelperMethodsListProcessesGetDefaultParam(TAddin&, int32_t, TValue& Value) {
  Value = TValue::Null();
}

void TModule::AddinHelperMethodsListProcessesCallAsFunc(TAddin& Sender, TParams& Params,
                                                        TValue& Value) {
  Value = FillTableWithProcesses(TDalvora::Of(Sender), Param(Params, 0));
  if (!Params.empty()) Params[0] = AsReference(Value);
}

void TModule::AddinHelperMethodsListProcessesCallAsProc(TAddin& Sender, TParams& Params) {
  TValue discarded;
  AddinHelperMethodsListProcessesCallAsFunc(Sender, Params, discarded);
}

}  // namespace connection

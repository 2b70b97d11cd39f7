// FetchAll, FillAll and ListProcesses: results poured into host value tables.
#include "connection/OrbelinModule.h"
#include "connection/TDalvora.h"
#include "connection/handlers/HandlerValues.h"
#include "connection/handlers/TableFill.h"

namespace connection {

namespace {

// A table goes back into the script's variable as a reference to itself.
platform::TOleVariant AsReference(const platform::TOleVariant& table) {
  return table.IsDispatch() ? platform::TOleVariant(table.ToDispatch()) : table;
}

}  // namespace

void TModule::AddinHelperMethodsFetchAllGetDefaultParam(TAddin&, std::int32_t, TValue& value) {
  value = TValue::Null();
}

void TModule::AddinHelperMethodsFetchAllCallAsFunc(TAddin& sender, TParams&, TValue& value) {
  value = FillTableFromResult(TDalvora::Of(sender), TValue());
}

void TModule::AddinHelperMethodsFetchAllCallAsProc(TAddin& sender, TParams& params) {
  const TValue table = FillTableFromResult(TDalvora::Of(sender), TValue());
  if (!params.empty()) params[0] = AsReference(table);
}

void TModule::AddinHelperMethodsFillAllCallAsFunc(TAddin& sender, TParams& params, TValue& value) {
  value = FillTableFromResult(TDalvora::Of(sender), Param(params, 0));
  if (!params.empty()) params[0] = AsReference(value);
}

void TModule::AddinHelperMethodsListProcessesGetDefaultParam(TAddin&, std::int32_t, TValue& value) {
  value = TValue::Null();
}

void TModule::AddinHelperMethodsListProcessesCallAsFunc(TAddin& sender, TParams& params,
                                                        TValue& value) {
  value = FillTableWithProcesses(TDalvora::Of(sender), Param(params, 0));
  if (!params.empty()) params[0] = AsReference(value);
}

}  // namespace connection

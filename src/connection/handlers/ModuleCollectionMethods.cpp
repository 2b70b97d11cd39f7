// FetchAll, FillAll and ListProcesses: results poured into host value
// tables; PutAll: a host value table written into a server table.
#include "connection/OrbelinModule.h"
#include "connection/TDalvora.h"
#include "connection/handlers/HandlerValues.h"
#include "connection/handlers/TableFill.h"
#include "connection/handlers/TablePut.h"

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

// Arguments: the table, the target's name, the target columns (""), the
// duplicates mode ("").
void TModule::AddinHelperMethodsPutAllGetDefaultParam(TAddin&, std::int32_t index, TValue& value) {
  if (index >= 2) value = TValue("");
}

void TModule::AddinHelperMethodsPutAllCallAsFunc(TAddin& sender, TParams& params, TValue& value) {
  value = PutTable(TDalvora::Of(sender), ReadPutArguments(params));
}

}  // namespace connection

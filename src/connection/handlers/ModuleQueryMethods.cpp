// Statements and row navigation: Query keeps what a statement returns as the
// object's current result (NextResult its further results), Execute runs one
// for its effect, Escape makes text safe to put into one, and the navigation
// methods move over the current result.
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "addin/HostAutomation.h"
#include "connection/OrbelinModule.h"
#include "connection/TDalvora.h"
#include "connection/handlers/HandlerValues.h"
#include "connection/values/ParameterText.h"

namespace connection {

namespace {

// Fills %name% markers from a host value list: item i's presentation names
// the marker, its value (as text) replaces it. Anything but a host object
// leaves the statement alone, and a failing host call ends the list quietly
// with the items read so far. Running out of memory is no such quiet end: a
// statement only partly filled must never be sent, so it escapes.
std::string SubstituteParameters(std::string statement, const platform::TOleVariant& list) {
  if (!list.IsDispatch()) return statement;
  std::vector<TParameter> parameters;
  try {
    const std::int32_t count =
        addin::HostFunction(list, "GetListSize", {addin::OmittedArg()}).ToInt32();
    for (std::int32_t i = 1; i <= count; ++i) {
      platform::TOleVariant presentation("");
      const platform::TOleVariant value = addin::HostFunction(
          list, "GetValue", {platform::TOleVariant(i), addin::ByRef(presentation)});
      parameters.push_back({presentation.ToString(), value.ToString()});
    }
  } catch (const std::bad_alloc&) {
    throw;
  } catch (...) {
  }
  return FillParameters(std::move(statement), parameters);
}

// The statement a call runs, its parameters filled in; none (2008 recorded,
// nothing sent) when memory runs out on the way.
std::optional<std::string> StatementOf(mysql::TMysqlClient& client, const addin::TParams& params) {
  try {
    return SubstituteParameters(Param(params, 0).ToString(), Param(params, 1));
  } catch (const std::bad_alloc&) {
    client.SetClientError(mysql::ErrOutOfMemory);
    return std::nullopt;
  }
}

// What a statement's result becomes: the current result, unless the
// statement failed (then none, even when one came back); the answer is 1 or 0.
void KeepOutcome(TDalvora& object, mysql::TQueryResult outcome, platform::TOleVariant& value) {
  if (outcome.Ok) object.ReplaceResult(std::move(outcome.Result));
  value = Flag(outcome.Ok);
}

// The buffered switch is on only for a value equal to the number 1.
bool AsksForBuffered(const platform::TOleVariant& value) {
  try {
    return value.ToDouble() == 1.0;
  } catch (...) {
    return false;
  }
}

}  // namespace

void TModule::AddinHelperMethodsQueryGetDefaultParam(TAddin&, std::int32_t index, TValue& value) {
  if (index == 1) value = TValue::Null();
  if (index == 2) value = TValue(0);
}

void TModule::AddinHelperMethodsQueryCallAsFunc(TAddin& sender, TParams& params, TValue& value) {
  TDalvora& object = TDalvora::Of(sender);
  object.ReplaceResult(nullptr);
  const std::optional<std::string> statement = StatementOf(object.Client(), params);
  if (!statement) {
    value = Flag(false);
    return;
  }
  const bool buffered = AsksForBuffered(Param(params, 2));
  object.SetResultsBuffered(buffered);
  KeepOutcome(object, object.Client().Query(*statement, buffered), value);
}

void TModule::AddinHelperMethodsNextResultCallAsFunc(TAddin& sender, TParams&, TValue& value) {
  TDalvora& object = TDalvora::Of(sender);
  // The current result goes first: the end of its rows says whether another follows.
  object.ReplaceResult(nullptr);
  KeepOutcome(object, object.Client().NextResult(object.ResultsBuffered()), value);
}

void TModule::AddinHelperMethodsExecuteGetDefaultParam(TAddin&, std::int32_t index, TValue& value) {
  if (index == 1) value = TValue::Null();
}

void TModule::AddinHelperMethodsExecuteCallAsFunc(TAddin& sender, TParams& params, TValue& value) {
  mysql::TMysqlClient& client = TDalvora::Of(sender).Client();
  const std::optional<std::string> statement = StatementOf(client, params);
  mysql::TQueryResult outcome;
  if (statement) outcome = client.Query(*statement, false);
  if (!outcome.Ok) {
    value = TValue(-1);
    return;
  }
  // Read before the result goes: draining its rows rewrites the count.
  std::uint64_t count = client.AffectedRows();
  // The whole reply is read before the answer: a statement that fails after
  // its first rows (a procedure raising an error, a lost connection) failed.
  outcome.Result.reset();
  if (client.LastErrorNo() != 0) {
    value = TValue(-1);
    return;
  }
  // A procedure's further results, and its final status with the count of
  // the last statement it ran.
  if (client.HasPendingResults()) {
    if (!client.DropPendingResults()) {
      value = TValue(-1);
      return;
    }
    count = client.AffectedRows();
  }
  value = Int64Bits(count);
}

void TModule::AddinHelperMethodsEscapeCallAsFunc(TAddin& sender, TParams& params, TValue& value) {
  value = TValue(TDalvora::Of(sender).Client().Escape(Param(params, 0).ToString()));
}

void TModule::AddinHelperMethodsLastRowReadCallAsFunc(TAddin& sender, TParams&, TValue& value) {
  const mysql::TMysqlResult* result = TDalvora::Of(sender).CurrentResult();
  value = result ? Flag(result->LastRowRead()) : TValue(-1);
}

void TModule::AddinHelperMethodsEOFCallAsFunc(TAddin& sender, TParams&, TValue& value) {
  const mysql::TMysqlResult* result = TDalvora::Of(sender).CurrentResult();
  value = result ? Flag(result->Eof()) : TValue(-1);
}

void TModule::AddinHelperMethodsBOFCallAsFunc(TAddin& sender, TParams&, TValue& value) {
  const mysql::TMysqlResult* result = TDalvora::Of(sender).CurrentResult();
  value = result ? Flag(result->Bof()) : TValue(-1);
}

void TModule::AddinHelperMethodsNextCallAsProc(TAddin& sender, TParams&) {
  if (mysql::TMysqlResult* result = TDalvora::Of(sender).CurrentResult()) result->Next();
}

void TModule::AddinHelperMethodsPriorCallAsProc(TAddin& sender, TParams&) {
  if (mysql::TMysqlResult* result = TDalvora::Of(sender).CurrentResult()) result->Prior();
}

void TModule::AddinHelperMethodsFirstCallAsProc(TAddin& sender, TParams&) {
  if (mysql::TMysqlResult* result = TDalvora::Of(sender).CurrentResult()) result->First();
}

void TModule::AddinHelperMethodsLastCallAsProc(TAddin& sender, TParams&) {
  if (mysql::TMysqlResult* result = TDalvora::Of(sender).CurrentResult()) result->Last();
}

void TModule::AddinHelperMethodsLocateCallAsProc(TAddin& sender, TParams& params) {
  if (mysql::TMysqlResult* result = TDalvora::Of(sender).CurrentResult()) {
    result->Locate(Param(params, 0).ToInt64());
  }
}

}  // namespace connection

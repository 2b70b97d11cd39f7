// Field access: one value, the whole row as a host value list, a field's
// name, index or attributes, and its host type name.
#include <string>

#include "addin/HostDialect.h"
#include "connection/OrbelinModule.h"
#include "connection/TDalvora.h"
#include "connection/handlers/FieldAccess.h"
#include "connection/handlers/HandlerValues.h"
#include "connection/values/FieldValue.h"
#include "connection/values/TextNumbers.h"

namespace connection {

namespace {

[[noreturn]] void FailUnknownField(const std::string& reference) {
  throw addin::TAddinError("Field \"" + addin::NameForMessage(reference) +
                           "\" not found in the current result");
}

// The field a reference names; an unknown field is an error for the script.
const mysql::TFieldDescriptor& RequireField(const mysql::TMysqlResult& result,
                                            const std::string& reference, int index) {
  const mysql::TFieldDescriptor* field = result.Field(index);
  if (!field) FailUnknownField(reference);
  return *field;
}

// The attribute selectors 1 to 4 of FieldDef.
platform::TOleVariant FieldAttribute(const mysql::TFieldDescriptor& field, std::int32_t selector) {
  switch (selector) {
    case 1:
      return platform::TOleVariant(static_cast<std::int32_t>(field.Type));
    case 2:
      return Int32Bits(field.Length);
    case 3:
      return Int32Bits(field.Decimals);
    default:
      return Int32Bits(field.Flags);
  }
}

}  // namespace

void TModule::AddinHelperMethodsFetchValueCallAsFunc(TAddin& sender, TParams& params,
                                                     TValue& value) {
  TDalvora& object = TDalvora::Of(sender);
  const mysql::TMysqlResult* result = object.CurrentResult();
  if (!result) {
    value = TValue("");
    return;
  }
  const std::string reference = Param(params, 0).ToString();
  const int index = ResolveFieldReference(*result, reference, TIndexRange::Fields).Index;
  RequireField(*result, reference, index);
  value = FieldValueAt(*result, index, object.AutoType());
}

void TModule::AddinHelperMethodsFieldDefGetDefaultParam(TAddin&, std::int32_t index,
                                                        TValue& value) {
  if (index == 1) value = TValue(0);
}

void TModule::AddinHelperMethodsFieldDefCallAsFunc(TAddin& sender, TParams& params, TValue& value) {
  const mysql::TMysqlResult* result = TDalvora::Of(sender).CurrentResult();
  const std::string reference = Param(params, 0).ToString();
  if (!result) {
    value = TextToInt32(reference) ? TValue("") : TValue(-1);
    return;
  }
  const TFieldReference field = ResolveFieldReference(*result, reference, TIndexRange::Fields);
  const std::int32_t selector = Param(params, 1).ToInt32();
  if (selector < 1 || selector > 4) {
    // Given an index the answer is the name, given a name the index (or -1).
    value = field.ByIndex ? TValue(result->Field(field.Index)->Name) : TValue(field.Index);
    return;
  }
  value = FieldAttribute(RequireField(*result, reference, field.Index), selector);
}

void TModule::AddinHelperMethodsFieldTypeCallAsFunc(TAddin& sender, TParams& params,
                                                    TValue& value) {
  TDalvora& object = TDalvora::Of(sender);
  const mysql::TMysqlResult* result = object.CurrentResult();
  if (!result) {
    value = TValue("");
    return;
  }
  if (object.AutoType()) {
    value = ColumnTypeName(0, true);
    return;
  }
  // Here an integer is taken as the index as it stands, in range or not.
  const std::string reference = Param(params, 0).ToString();
  const int index = ResolveFieldReference(*result, reference, TIndexRange::Anything).Index;
  value = ColumnTypeName(RequireField(*result, reference, index).Type, false);
}

void TModule::AddinHelperMethodsFetchRowGetDefaultParam(TAddin&, std::int32_t, TValue& value) {
  value = TValue::Null();
}

void TModule::AddinHelperMethodsFetchRowCallAsFunc(TAddin& sender, TParams&, TValue& value) {
  TDalvora& object = TDalvora::Of(sender);
  const TValue list = object.NewHostObject("ValueList");
  if (const mysql::TMysqlResult* result = object.CurrentResult()) {
    const addin::THostDialect dialect = object.Dialect();
    // A list the host stops filling keeps the items added so far.
    try {
      for (int i = 0; i < result->FieldCount(); ++i) {
        dialect.AddToList(list, FieldValueAt(*result, i, object.AutoType()),
                          TValue(result->Field(i)->Name));
      }
    } catch (...) {
    }
  }
  value = list;
}

void TModule::AddinHelperMethodsFetchRowCallAsProc(TAddin& sender, TParams& params) {
  TValue list;
  TParams none;
  AddinHelperMethodsFetchRowCallAsFunc(sender, none, list);
  if (!params.empty()) params[0] = TValue(list.ToDispatch());
}

}  // namespace connection

// Field access: one value, the whole row as a host value list, a field's
// name, index or attributes, and its host type name.
#include <string>

#include "addin/HostAutomation.h"
#include "connection/FieldAccess.h"
#include "connection/FieldValue.h"
#include "connection/HandlerValues.h"
#include "connection/HostObjects.h"
#include "connection/OrbelinModule.h"
#include "connection/TDalvora.h"
#include "connection/TextNumbers.h"

namespace connection {

namespace {

[[noreturn]] void FailUnknownField(const std::string& reference) {
  throw addin::TAddinError("Field \"" + reference + "\" not found in the current result");
}

// The field a reference names; an unknown field is an error for the script.
const TFieldDescriptor& RequireField(const TMysqlResult& result, const std::string& reference,
                                    int index) {
  const TFieldDescriptor* field = result.Field(index);
  if (!field) FailUnknownField(reference);
  return *field;
}

// The attribute selectors 1 to 4 of FieldDef.
platform::TOleVariant FieldAttribute(const TFieldDescriptor& field, int32_t selector) {
  switch (selector) {
    case 1:
      return platform::TOleVariant(static_cast<int32_t>(field.Type));
    case 2:
      return Int32Bits(field.Length);
    case 3:
      return Int32Bits(field.Decimals);
    default:
      return Int32Bits(field.Flags);
  }
}

}  // namespace

void TModule::AddinHelperMethodsFetchValueCallAsFunc(TAddin& Sender, TParams& Params,
                                                     TValue& Value) {
  TDalvora& object = TDalvora::Of(Sender);
  const TMysqlResult* result = object.CurrentResult();
  if (!result) {
    Value = TValue("");
    return;
  }
  const std::string reference = Param(Params, 0).ToString();
  const int index = ResolveFieldReference(*result, reference, TIndexRange::Fields).Index;
  RequireField(*result, reference, index);
  Value = FieldValueAt(*result, index, object.AutoType());
}

void TModule::AddinHelperMethodsFieldDefGetDefaultParam(TAddin&, int32_t Index, TValue& Value) {
  if (Index == 1) Value = TValue(0);
}

void TModule::AddinHelperMethodsFieldDefCallAsFunc(TAddin& Sender, TParams& Params, TValue& Value) {
  const TMysqlResult* result = TDalvora::Of(Sender).CurrentResult();
  const std::string reference = Param(Params, 0).ToString();
  if (!result) {
    Value = TextToInt32(reference) ? TValue("") : TValue(-1);
    return;
  }
  const TFieldReference field = ResolveFieldReference(*result, reference, TIndexRange::Fields);
  const int32_t selector = Param(Params, 1).ToInt32();
  if (selector < 1 || selector > 4) {
    // Given an index the answer is the name, given a name the index (or -1).
    Value = field.ByIndex ? TValue(result->Field(field.Index)->Name) : TValue(field.Index);
    return;
  }
  Value = FieldAttribute(RequireField(*result, reference, field.Index), selector);
}

void TModule::AddinHelperMethodsFieldTypeCallAsFunc(TAddin& Sender, TParams& Params,
                                                    TValue& Value) {
  TDalvora& object = TDalvora::Of(Sender);
  const TMysqlResult* result = object.CurrentResult();
  if (!result) {
    Value = TValue("");
    return;
  }
  if (object.AutoType()) {
    Value = ColumnTypeName(0, true);
    return;
  }
  // Here an integer is taken as the index as it stands, in range or not.
  const std::string reference = Param(Params, 0).ToString();
  const int index = ResolveFieldReference(*result, reference, TIndexRange::Anything).Index;
  Value = ColumnTypeName(RequireField(*result, reference, index).Type, false);
}

void TModule::AddinHelperMethodsFetchRowGetDefaultParam(TAddin&, int32_t, TValue& Value) {
  Value = TValue::Null();
}

void TModule::AddinHelperMethodsFetchRowCallAsFunc(TAddin& Sender, TParams&, TValue& Value) {
  TDalvora& object = TDalvora::Of(Sender);
  const TValue list = NewHostObject(object, "ValueList");
  if (const TMysqlResult* result = object.CurrentResult()) {
    const char* add = object.ExpressionDialect() ? "AddValue" : "Add";
    // A list the host stops filling keeps the items added so far.
    try {
      for (int i = 0; i < result->FieldCount(); ++i) {
        addin::HostProcedure(
            list, add,
            {FieldValueAt(*result, i, object.AutoType()), TValue(result->Field(i)->Name)});
      }
    } catch (...) {
    }
  }
  Value = list;
}

void TModule::AddinHelperMethodsFetchRowCallAsProc(TAddin& Sender, TParams& Params) {
  TValue list;
  TParams none;
  AddinHelperMethodsFetchRowCallAsFunc(Sender, none, list);
  if (!Params.empty()) Params[0] = TValue(list.ToDispatch());
}

}  // namespace connection

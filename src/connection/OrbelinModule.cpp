#include "connection/OrbelinModule.h"

namespace connection {

namespace {

// The procedure form of a FuncAsProc method: its function with the result
// dropped.
template <auto Function>
void ResultDropped(TModule& module, addin::TAddin& sender, addin::TParams& params) {
  platform::TOleVariant discarded;
  (module.*Function)(sender, params, discarded);
}

// Walks the member list in step with the table DalvoraMemberTable made from
// it, attaching to each entry the handlers its flags call for.
void AttachHandlers(addin::TAddinHelper& table, TModule& module) {
  auto property = table.Properties.begin();
  auto method = table.Methods.begin();
  // clang-format off
#define ORBELIN_ATTACH_PROPERTY(Name, Russian, Access)                                             \
  property->OnGet.Attach<&TModule::AddinHelperProperties##Name##Get>(module);                      \
  ORBELIN_IF_##Access(property->OnSet.Attach<&TModule::AddinHelperProperties##Name##Set>(module);) \
  ++property;
#define ORBELIN_ATTACH_METHOD(Name, Russian, Params, Value, Def, Procedure, Function)              \
  ORBELIN_IF_##Def(method->OnGetDefaultParam                                                       \
      .Attach<&TModule::AddinHelperMethods##Name##GetDefaultParam>(module);)                       \
  ORBELIN_IF_##Procedure(method->OnCallAsProc                                                      \
      .Attach<&TModule::AddinHelperMethods##Name##CallAsProc>(module);)                            \
  ORBELIN_IF_FUNC_AS_PROC_##Procedure(method->OnCallAsProc                                         \
      .Attach<&ResultDropped<&TModule::AddinHelperMethods##Name##CallAsFunc>>(module);)            \
  ORBELIN_IF_##Function(method->OnCallAsFunc                                                       \
      .Attach<&TModule::AddinHelperMethods##Name##CallAsFunc>(module);)                            \
  ++method;
  // clang-format on
  ORBELIN_DALVORA_PROPERTIES(ORBELIN_ATTACH_PROPERTY)
  ORBELIN_DALVORA_METHODS(ORBELIN_ATTACH_METHOD)
#undef ORBELIN_ATTACH_PROPERTY
#undef ORBELIN_ATTACH_METHOD

  table.OnGetProperty.Attach<&TModule::AddinHelperGetProperty>(module);
  table.OnFindProperty.Attach<&TModule::AddinHelperFindProperty>(module);
  table.OnGetPropertyName.Attach<&TModule::AddinHelperGetPropertyName>(module);
  table.OnGetPropertyCount.Attach<&TModule::AddinHelperGetPropertyCount>(module);
  table.OnIsPropertyReadable.Attach<&TModule::AddinHelperIsPropertyReadable>(module);
  table.OnIsPropertyWriteable.Attach<&TModule::AddinHelperIsPropertyWriteable>(module);
}

}  // namespace

TModule::TModule() : addinHelper_(DalvoraMemberTable()) {
  AttachHandlers(addinHelper_, *this);
}

TModule& Module() {
  static TModule module;
  return module;
}

}  // namespace connection

// TModule: the data module that owns the connection object's member table
// (AddinHelper) and carries every handler of it. One instance, Module(),
// serves all connection objects: each handler receives the calling object
// as Sender and works on that object's session, result and AutoType only.
#pragma once

#include <cstdint>
#include <string>

#include "addin/AddinHelper.h"
#include "connection/com/DalvoraMembers.h"
#include "platform/com/OleVariant.h"

namespace connection {

class TModule {
 public:
  // Builds the member table from the member list and attaches every handler.
  TModule();
  TModule(const TModule&) = delete;
  TModule& operator=(const TModule&) = delete;

  const addin::TAddinHelper& AddinHelper() const noexcept { return addinHelper_; }

  using TAddin = addin::TAddin;
  using TParams = addin::TParams;
  using TValue = platform::TOleVariant;

  // The handlers of the member list (com/DalvoraMembers.h), declared from it:
  // one per handler its flags call for, named after the member. Their bodies
  // are in handlers/.
  // clang-format off
#define ORBELIN_DECLARE_PROPERTY(Name, Russian, Access)                                            \
  void AddinHelperProperties##Name##Get(TAddin& sender, TValue& value);                            \
  ORBELIN_IF_##Access(void AddinHelperProperties##Name##Set(TAddin& sender, TValue& value);)
#define ORBELIN_DECLARE_METHOD(Name, Russian, Params, Value, Def, Procedure, Function)             \
  ORBELIN_IF_##Def(void AddinHelperMethods##Name##GetDefaultParam(TAddin& sender,                  \
                                                                  std::int32_t index,              \
                                                                  TValue& value);)                 \
  ORBELIN_IF_##Procedure(void AddinHelperMethods##Name##CallAsProc(TAddin& sender,                 \
                                                                   TParams& params);)              \
  ORBELIN_IF_##Function(void AddinHelperMethods##Name##CallAsFunc(TAddin& sender,                  \
                                                                  TParams& params,                 \
                                                                  TValue& value);)
  // clang-format on
  ORBELIN_DALVORA_PROPERTIES(ORBELIN_DECLARE_PROPERTY)
  ORBELIN_DALVORA_METHODS(ORBELIN_DECLARE_METHOD)
#undef ORBELIN_DECLARE_PROPERTY
#undef ORBELIN_DECLARE_METHOD

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

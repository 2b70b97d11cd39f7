// The member table of the connection object as data: 18 properties and 45
// methods with their English and Russian names, flags, parameter counts and
// which handlers each one has; and the builder that turns it into the shared
// TAddinHelper, attaching every handler by its name.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>

#include "addin/AddinHelper.h"
#include "platform/com/Com.h"

namespace connection {

inline constexpr char kDalvoraExtensionName[] = "Dalvora";

// Every property has a getter; exactly the writeable ones have a setter.
struct TPropertyDefinition {
  const char* Name;
  const OLECHAR* AlternativeName;  // UTF-16, as the table holds it
  bool IsReadable;
  bool IsWriteable;
};

struct TMethodDefinition {
  const char* Name;
  const OLECHAR* AlternativeName;
  std::int32_t ParamsCount;
  bool ReturnValue;
  bool HasDefaultParam;  // OnGetDefaultParam
  bool HasProc;          // OnCallAsProc
  bool HasFunc;          // OnCallAsFunc
};

extern const std::array<TPropertyDefinition, 18> kDalvoraProperties;
extern const std::array<TMethodDefinition, 45> kDalvoraMethods;

// The handlers, each under its name: "AddinHelperProperties" + Name + "Get" or
// "Set", "AddinHelperMethods" + Name + "GetDefaultParam", "CallAsProc" or
// "CallAsFunc"; and the six table-level events of the field properties.
struct TDalvoraHandlers {
  std::map<std::string, addin::TOnGetPropertyEvent> Properties;  // getters and setters
  std::map<std::string, addin::TOnGetDefaultParamEvent> DefaultParams;
  std::map<std::string, addin::TOnCallAsProcEvent> Procedures;
  std::map<std::string, addin::TOnCallAsFuncEvent> Functions;

  addin::TOnGetUnknownPropertyEvent AddinHelperGetProperty;
  addin::TOnFindMemberEvent AddinHelperFindProperty;
  addin::TOnGetMemberNameEvent AddinHelperGetPropertyName;
  addin::TOnGetMemberCountEvent AddinHelperGetPropertyCount;
  addin::TOnIsPropertyFlagEvent AddinHelperIsPropertyReadable;
  addin::TOnIsPropertyFlagEvent AddinHelperIsPropertyWriteable;
};

// Builds the table with ExtensionName "Dalvora". Throws addin::TAddinError
// naming the handler when one the table requires is missing, or when a
// supplied handler belongs to no member (a misspelt name would otherwise be
// silently dropped).
addin::TAddinHelper BuildDalvoraMemberTable(const TDalvoraHandlers& handlers);

}  // namespace connection

#include "connection/com/DalvoraMembers.h"

namespace connection {

addin::TAddinHelper DalvoraMemberTable() {
  addin::TAddinHelper table;
  table.ExtensionName = kDalvoraExtensionName;
  for (const TPropertyDefinition& definition : kDalvoraProperties) {
    addin::TPropertiesItem& item = table.Properties.emplace_back();
    item.AlternativeName = definition.AlternativeName;
    item.Name = definition.Name;
    item.IsReadable = true;
    item.IsWriteable = definition.Access == TAccess::ReadWrite;
  }
  for (const TMethodDefinition& definition : kDalvoraMethods) {
    addin::TMethodsItem& item = table.Methods.emplace_back();
    item.AlternativeName = definition.AlternativeName;
    item.Name = definition.Name;
    item.ParamsCount = definition.ParamsCount;
    item.ReturnValue = definition.ReturnValue == TReturnValue::Value;
  }
  return table;
}

}  // namespace connection

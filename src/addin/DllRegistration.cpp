#include "addin/DllRegistration.h"

#include <cstdio>

#include "platform/os/Registry.h"

namespace addin {

std::string GuidText(REFGUID guid) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0],
                guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
                guid.Data4[6], guid.Data4[7]);
  return text;
}

std::string ClassKey(REFCLSID classId) {
  return "CLSID\\" + GuidText(classId);
}

HRESULT RegisterInprocServer(const TInprocServerEntry& entry, const std::string& modulePath,
                             const std::function<std::string(const std::string&)>& shortPath) {
  if (modulePath.empty()) return E_FAIL;
  // Hosts of this era split the server path at blanks; the short form has none.
  const std::string serverPath =
      modulePath.find(' ') == std::string::npos ? modulePath : shortPath(modulePath);
  const std::string classKey = ClassKey(entry.ClassId);
  const bool written =
      platform::RegistrySetString(classKey, "", entry.Description) &&
      platform::RegistrySetString(classKey + "\\InprocServer32", "", serverPath) &&
      platform::RegistrySetString(classKey + "\\InprocServer32", "ThreadingModel",
                                  entry.ThreadingModel) &&
      platform::RegistrySetString(entry.ProgId, "", entry.Description) &&
      platform::RegistrySetString(entry.ProgId + "\\Clsid", "", GuidText(entry.ClassId)) &&
      platform::RegistrySetString(classKey + "\\ProgID", "", entry.ProgId);
  return written ? S_OK : E_FAIL;
}

HRESULT UnregisterInprocServer(const TInprocServerEntry& entry) {
  const std::string classKey = ClassKey(entry.ClassId);
  const std::string keys[] = {classKey + "\\ProgID", entry.ProgId + "\\Clsid", entry.ProgId,
                              classKey + "\\InprocServer32", classKey};
  bool failed = false;
  for (const std::string& key : keys) {
    if (!platform::RegistryDeleteKey(key) && platform::RegistryKeyExists(key)) failed = true;
  }
  return failed ? E_FAIL : S_OK;
}

}  // namespace addin

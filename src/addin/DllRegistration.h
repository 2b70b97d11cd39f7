// Self-registration of an in-process COM server under HKEY_CLASSES_ROOT:
// the class key with its server path and threading model, and the ProgID
// that names the class.
#pragma once

#include <functional>
#include <string>

#include "platform/com/Com.h"

namespace addin {

struct TInprocServerEntry {
  CLSID ClassId;
  std::string ProgId;          // "AddIn.Dalvora"
  std::string Description;     // default value of the class key and the ProgID key
  std::string ThreadingModel;  // "Apartment"
};

// The braced upper-case text form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
std::string GuidText(REFGUID guid);

// "CLSID\{...}": the class key of a class ID.
std::string ClassKey(REFCLSID classId);

// Writes the class key, its InprocServer32 (path and threading model) and
// ProgID subkeys, and the ProgID key with its Clsid subkey. A path with a
// blank is registered in its short form, which shortPath gives. S_OK, or
// E_FAIL when the path is unknown or any write fails.
HRESULT RegisterInprocServer(const TInprocServerEntry& entry, const std::string& modulePath,
                             const std::function<std::string(const std::string&)>& shortPath);

// Deletes the keys RegisterInprocServer wrote, subkeys first. Keys that are
// already gone are not a failure; a key that stays is (E_FAIL).
HRESULT UnregisterInprocServer(const TInprocServerEntry& entry);

}  // namespace addin

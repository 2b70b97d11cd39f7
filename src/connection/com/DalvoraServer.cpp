#include "connection/com/DalvoraServer.h"

#include "addin/AddinClassId.h"
#include "addin/ComServer.h"
#include "connection/OrbelinModule.h"
#include "connection/TDalvora.h"
#include "platform/os/Registry.h"

namespace connection {

addin::TClassFactory& DalvoraFactory() {
  static addin::TClassFactory factory(addin::CLSID_Dalvora, &TDalvora::Create);
  return factory;
}

const addin::TInprocServerEntry& DalvoraServerEntry() {
  static const addin::TInprocServerEntry kEntry{addin::CLSID_Dalvora, "AddIn.Dalvora",
                                                "IC V7 AddIn 2.0", "Apartment"};
  return kEntry;
}

HRESULT GetClassObject(REFCLSID classId, REFIID interfaceId, void** object) {
  return DalvoraFactory().GetClassObject(classId, interfaceId, object);
}

HRESULT CanUnloadNow() {
  return addin::CanUnloadModule();
}

HRESULT RegisterServer() {
  try {
    return addin::RegisterInprocServer(DalvoraServerEntry(), platform::ServerModulePath(),
                                       platform::ShortPathName);
  } catch (...) {
    return E_FAIL;
  }
}

HRESULT UnregisterServer() {
  try {
    return addin::UnregisterInprocServer(DalvoraServerEntry());
  } catch (...) {
    return E_FAIL;
  }
}

namespace {

// Loading the library makes the module and its member table, so the table
// exists before the host asks for the first object.
[[maybe_unused]] const bool kModuleLoaded = (Module(), DalvoraFactory(), true);

}  // namespace

}  // namespace connection

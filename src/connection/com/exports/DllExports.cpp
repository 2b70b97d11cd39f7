// The four functions the library exports to COM and to the host.
#include "connection/com/DalvoraServer.h"
#include "platform/com/Com.h"

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  return connection::GetClassObject(rclsid, riid, ppv);
}

STDAPI DllCanUnloadNow() {
  return connection::CanUnloadNow();
}

STDAPI DllRegisterServer() {
  return connection::RegisterServer();
}

STDAPI DllUnregisterServer() {
  return connection::UnregisterServer();
}

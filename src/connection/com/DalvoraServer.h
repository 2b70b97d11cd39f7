// The COM server side of the connection object: its class factory, the
// registry entries that name it, and the bodies of the four DLL exports.
#pragma once

#include "addin/ClassFactory.h"
#include "addin/DllRegistration.h"
#include "platform/com/Com.h"

namespace connection {

// Makes a new TDalvora for every CreateInstance; lives as long as the module.
addin::TClassFactory& DalvoraFactory();

// "AddIn.Dalvora", described as "IC V7 AddIn 2.0", apartment-threaded.
const addin::TInprocServerEntry& DalvoraServerEntry();

// What the exports answer (see DllExports.cpp).
HRESULT GetClassObject(REFCLSID classId, REFIID interfaceId, void** object);
HRESULT CanUnloadNow();
HRESULT RegisterServer();
HRESULT UnregisterServer();

}  // namespace connection

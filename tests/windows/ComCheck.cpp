// com-check registered | unregistered
//
// Checks the registered add-in the way the host meets it, through the COM
// runtime alone, for the tests of the Windows build under Wine.
//   registered:   "AddIn.Dalvora" names the add-in's class; COM loads the
//                 DLL the registry names and makes an object that answers
//                 IInitDone; DllCanUnloadNow answers S_FALSE while the object
//                 lives and S_OK after its last release; DllGetClassObject
//                 refuses any other class with CLASS_E_CLASSNOTAVAILABLE and
//                 a null pointer.
//   unregistered: neither the ProgID nor the class can be found any more.
// Prints one line per check; exit code 1 when any check fails.
#include <objbase.h>
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "addin/AddInLib.h"
#include "addin/AddinClassId.h"

namespace {

int failures = 0;

void Check(bool ok, const char* what, HRESULT hr) {
  std::printf("%s %s (0x%08lX)\n", ok ? "ok  " : "FAIL", what, static_cast<unsigned long>(hr));
  if (!ok) ++failures;
}

using TCanUnloadNow = HRESULT(STDAPICALLTYPE*)();
using TGetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);

void CheckRegistered() {
  CLSID found{};
  HRESULT hr = CLSIDFromProgID(L"AddIn.Dalvora", &found);
  Check(hr == S_OK && IsEqualCLSID(found, addin::CLSID_Dalvora),
        "the ProgID AddIn.Dalvora names the add-in class", hr);

  IUnknown* object = nullptr;
  hr = CoCreateInstance(addin::CLSID_Dalvora, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                        reinterpret_cast<void**>(&object));
  Check(hr == S_OK && object, "COM loads the registered DLL and creates an object", hr);
  if (!object) return;
  IInitDone* initDone = nullptr;
  hr = object->QueryInterface(IID_IInitDone, reinterpret_cast<void**>(&initDone));
  Check(hr == S_OK, "the object answers IInitDone", hr);
  if (initDone) initDone->Release();

  const HMODULE module = GetModuleHandleA("orbelin.dll");
  const auto canUnloadNow = reinterpret_cast<TCanUnloadNow>(
      reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
  const auto getClassObject = reinterpret_cast<TGetClassObject>(
      reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
  Check(canUnloadNow && getClassObject, "the loaded DLL exports its entry points", S_OK);
  if (!canUnloadNow || !getClassObject) return;
  hr = canUnloadNow();
  Check(hr == S_FALSE, "DllCanUnloadNow answers S_FALSE while an object lives", hr);
  object->Release();
  hr = canUnloadNow();
  Check(hr == S_OK, "DllCanUnloadNow answers S_OK after the last release", hr);

  void* factory = &found;
  hr = getClassObject(IID_IUnknown, IID_IClassFactory, &factory);
  Check(hr == CLASS_E_CLASSNOTAVAILABLE && factory == nullptr,
        "DllGetClassObject refuses another class with a null pointer", hr);
}

void CheckUnregistered() {
  CLSID found{};
  HRESULT hr = CLSIDFromProgID(L"AddIn.Dalvora", &found);
  Check(FAILED(hr), "the ProgID AddIn.Dalvora is gone", hr);
  IUnknown* object = nullptr;
  hr = CoCreateInstance(addin::CLSID_Dalvora, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                        reinterpret_cast<void**>(&object));
  Check(hr == REGDB_E_CLASSNOTREG && !object, "the class is no longer registered", hr);
  if (object) object->Release();
}

}  // namespace

int main(int argc, char** argv) {
  const bool registered = argc == 2 && std::strcmp(argv[1], "registered") == 0;
  if (!registered && !(argc == 2 && std::strcmp(argv[1], "unregistered") == 0)) {
    std::fprintf(stderr, "usage: com-check registered|unregistered\n");
    return 2;
  }
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  if (registered)
    CheckRegistered();
  else
    CheckUnregistered();
  CoUninitialize();
  return failures == 0 ? 0 : 1;
}

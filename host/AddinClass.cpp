#include "host/AddinClass.h"

#include "addin/AddInLib.h"
#include "addin/AddinClassId.h"
#include "host/AddinObject.h"
#include "host/Utf8.h"
#include "platform/com/Bstr.h"
#include "platform/com/DispatchCall.h"

namespace host {

namespace {

void Check(HRESULT hr, const std::string& what) {
  if (FAILED(hr)) throw THostError(what + " failed (" + platform::HResultHex(hr) + ")");
}

using TGetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using TRegisterServer = HRESULT(STDAPICALLTYPE*)();

}  // namespace

TAddinClass::TAddinClass(const std::string& path) {
  try {
    library_ = std::make_unique<platform::TDynamicLibrary>(path);
  } catch (const std::exception& error) {
    throw THostError(error.what());
  }
#ifdef _WIN32
  // The host registers the library itself, then creates by ProgID.
  const auto registerServer =
      reinterpret_cast<TRegisterServer>(library_->Symbol("DllRegisterServer"));
  if (!registerServer) throw THostError(path + " exports no DllRegisterServer");
  Check(registerServer(), "DllRegisterServer of " + path);
  const std::string name = library_->ResourceString(100);
  if (name.empty()) throw THostError(path + " names no add-in in string resource 100");
  Check(platform::ClassFactoryByProgId("AddIn." + name,
                                       reinterpret_cast<IClassFactory**>(factory_.Out())),
        "creating AddIn." + name);
#else
  const auto getClassObject =
      reinterpret_cast<TGetClassObject>(library_->Symbol("DllGetClassObject"));
  if (!getClassObject) throw THostError(path + " exports no DllGetClassObject");
  Check(getClassObject(addin::CLSID_Dalvora, IID_IClassFactory, factory_.Out()),
        "DllGetClassObject of " + path);
#endif
}

platform::TOleVariant TAddinClass::Create(IDispatch* hostConnection) {
  addin::TComPtr<IUnknown> object;
  Check(factory_->CreateInstance(nullptr, IID_IUnknown, object.Out()), "CreateInstance");
  addin::TComPtr<ILanguageExtender> extender;
  addin::TComPtr<IInitDone> initDone;
  Check(object->QueryInterface(IID_ILanguageExtender, extender.Out()),
        "asking the add-in for ILanguageExtender");
  Check(object->QueryInterface(IID_IInitDone, initDone.Out()), "asking the add-in for IInitDone");

  Check(initDone->Init(hostConnection), "Init");
  platform::TBstr name;
  try {
    SAFEARRAY* info = SafeArrayCreateVector(VT_VARIANT, 0, 1);
    if (!info) throw THostError("out of memory for GetInfo");
    const HRESULT infoResult = initDone->GetInfo(&info);
    SafeArrayDestroy(info);
    Check(infoResult, "GetInfo");
    Check(extender->RegisterExtensionAs(name.Out()), "RegisterExtensionAs");
  } catch (...) {
    initDone->Done();
    throw;
  }
  progId_ = "AddIn." + Utf8FromUtf16(name.View());
  // From here the wrapper owns the instance and calls Done when released.
  return Adopt(new TAddinObject(progId_, std::move(extender), std::move(initDone)));
}

}  // namespace host

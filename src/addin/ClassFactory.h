// The class factory of an add-in class. It lives as long as the module and
// makes a new object for every CreateInstance; the module's live-object
// count (ComServer.h) decides when the module may unload.
#pragma once

#include "platform/com/Com.h"

namespace addin {

class TClassFactory final : public IClassFactory {
 public:
  // Makes a new object that holds one reference, the caller's. May throw.
  using TCreateFunction = IUnknown* (*)();

  TClassFactory(const CLSID& classId, TCreateFunction create) noexcept
      : classId_(classId), create_(create) {}

  const CLSID& ClassId() const noexcept { return classId_; }

  // The body of DllGetClassObject: this factory for its own class ID, queried
  // for the asked interface; CLASS_E_CLASSNOTAVAILABLE for any other class.
  HRESULT GetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  // The factory is not reference counted: it lives as long as the module.
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) override;

 private:
  CLSID classId_;
  TCreateFunction create_;
};

}  // namespace addin

#include "addin/ClassFactory.h"

#include <new>

#include "addin/ComServer.h"

namespace addin {

HRESULT TClassFactory::GetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (!IsEqualCLSID(rclsid, classId_)) return CLASS_E_CLASSNOTAVAILABLE;
  return QueryInterface(riid, ppv);
}

HRESULT TClassFactory::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
    *ppv = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

HRESULT TClassFactory::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (pUnkOuter) return CLASS_E_NOAGGREGATION;
  IUnknown* object = nullptr;
  try {
    object = create_();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
  if (!object) return E_OUTOFMEMORY;
  // The creation reference goes once the asked interface holds its own, so
  // an object nobody can use is destroyed at once.
  const HRESULT hr = object->QueryInterface(riid, ppv);
  object->Release();
  return hr;
}

HRESULT TClassFactory::LockServer(BOOL fLock) {
  LockModule(fLock != FALSE);
  return S_OK;
}

}  // namespace addin

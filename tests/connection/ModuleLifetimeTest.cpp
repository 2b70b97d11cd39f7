// The COM server through its entry points: class objects, the live-object
// count behind DllCanUnloadNow, registration, and the exports of the built
// library.
#include <gtest/gtest.h>

#include "addin/AddInLib.h"
#include "addin/AddinClassId.h"
#include "addin/ComPtr.h"
#include "addin/DllRegistration.h"
#include "connection/com/DalvoraServer.h"
#include "platform/os/DynamicLibrary.h"
#include "platform/os/Registry.h"

namespace connection {
namespace {

using addin::TComPtr;

const CLSID kOtherClass = {
    0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};

TComPtr<IClassFactory> Factory() {
  TComPtr<IClassFactory> factory;
  EXPECT_EQ(GetClassObject(addin::CLSID_Dalvora, IID_IClassFactory, factory.Out()), S_OK);
  return factory;
}

TEST(ModuleLifetime, ClassObjectOnlyForTheDalvoraClass) {
  EXPECT_TRUE(Factory());

  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(GetClassObject(kOtherClass, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);

  object = reinterpret_cast<void*>(1);
  EXPECT_EQ(GetClassObject(addin::CLSID_Dalvora, IID_IDispatch, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
}

TEST(ModuleLifetime, CanUnloadOnlyWithoutLiveObjectsAndLocks) {
  ASSERT_EQ(CanUnloadNow(), S_OK);
  TComPtr<IClassFactory> factory = Factory();

  TComPtr<IInitDone> first;
  TComPtr<ILanguageExtender> second;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IInitDone, first.Out()), S_OK);
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_ILanguageExtender, second.Out()), S_OK);
  EXPECT_EQ(CanUnloadNow(), S_FALSE);
  first.Reset();
  EXPECT_EQ(CanUnloadNow(), S_FALSE);  // one object is still alive
  second.Reset();
  EXPECT_EQ(CanUnloadNow(), S_OK);

  factory->LockServer(TRUE);
  EXPECT_EQ(CanUnloadNow(), S_FALSE);
  factory->LockServer(FALSE);
  EXPECT_EQ(CanUnloadNow(), S_OK);
}

TEST(ModuleLifetime, EveryCreationIsANewObject) {
  TComPtr<IClassFactory> factory = Factory();
  TComPtr<IUnknown> a, b;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, a.Out()), S_OK);
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, b.Out()), S_OK);
  EXPECT_NE(a.Get(), b.Get());
  TComPtr<IUnknown> outer;
  EXPECT_EQ(factory->CreateInstance(a.Get(), IID_IUnknown, outer.Out()), CLASS_E_NOAGGREGATION);
}

TEST(ModuleLifetime, RegistersProgIdAndClassAndRemovesThem) {
  const std::string classKey = "CLSID\\{37240DA5-3FB3-4224-92BF-76864D4AE18C}";
  ASSERT_EQ(RegisterServer(), S_OK);

  EXPECT_EQ(platform::RegistryGetString("AddIn.Dalvora", ""), "IC V7 AddIn 2.0");
  EXPECT_EQ(platform::RegistryGetString("AddIn.Dalvora\\Clsid", ""),
            "{37240DA5-3FB3-4224-92BF-76864D4AE18C}");
  EXPECT_EQ(platform::RegistryGetString(classKey, ""), "IC V7 AddIn 2.0");
  EXPECT_EQ(platform::RegistryGetString(classKey + "\\ProgID", ""), "AddIn.Dalvora");
  EXPECT_EQ(platform::RegistryGetString(classKey + "\\InprocServer32", "ThreadingModel"),
            "Apartment");
  // The server path is the module that holds the code: here, this program.
  EXPECT_EQ(platform::RegistryGetString(classKey + "\\InprocServer32", ""),
            platform::ExecutablePath());

  ASSERT_EQ(UnregisterServer(), S_OK);
  for (const char* key : {"AddIn.Dalvora", "AddIn.Dalvora\\Clsid"}) {
    EXPECT_FALSE(platform::RegistryKeyExists(key)) << key;
  }
  EXPECT_FALSE(platform::RegistryKeyExists(classKey));
  EXPECT_TRUE(platform::RegistryKeyExists("CLSID"));
}

TEST(ModuleLifetime, LibraryExportsExactlyTheFourEntryPoints) {
  platform::TDynamicLibrary library(ORBELIN_ADDIN_PATH);
  using GetClassObjectFn = HRESULT (*)(REFCLSID, REFIID, void**);
  using NoArgumentFn = HRESULT (*)();
  auto getClassObject = reinterpret_cast<GetClassObjectFn>(library.Symbol("DllGetClassObject"));
  auto canUnloadNow = reinterpret_cast<NoArgumentFn>(library.Symbol("DllCanUnloadNow"));
  auto registerServer = reinterpret_cast<NoArgumentFn>(library.Symbol("DllRegisterServer"));
  auto unregisterServer = reinterpret_cast<NoArgumentFn>(library.Symbol("DllUnregisterServer"));
  ASSERT_TRUE(getClassObject && canUnloadNow && registerServer && unregisterServer);
  // Nothing of the implementation is visible.
  EXPECT_EQ(library.Symbol("_ZN10connection6ModuleEv"), nullptr);

  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(getClassObject(kOtherClass, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);

  TComPtr<IClassFactory> factory;
  ASSERT_EQ(getClassObject(addin::CLSID_Dalvora, IID_IClassFactory, factory.Out()), S_OK);
  TComPtr<IUnknown> instance;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, instance.Out()), S_OK);
  EXPECT_EQ(canUnloadNow(), S_FALSE);
  instance.Reset();
  EXPECT_EQ(canUnloadNow(), S_OK);
  factory.Reset();

  EXPECT_EQ(registerServer(), S_OK);
  EXPECT_EQ(unregisterServer(), S_OK);
}

}  // namespace
}  // namespace connection

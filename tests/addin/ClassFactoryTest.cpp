// The shared class factory and the module's live-object count.
#include <gtest/gtest.h>

#include "TestDalvora.h"
#include "addin/AddinClassId.h"
#include "addin/ClassFactory.h"
#include "addin/ComPtr.h"
#include "addin/ComServer.h"

namespace {

IUnknown* CreateTestObject() {
  return static_cast<ILanguageExtender*>(fake::TTestDalvora::New());
}

addin::TClassFactory Factory(addin::CLSID_Dalvora, &CreateTestObject);

TEST(ClassFactory, HandsOutItselfForItsClassOnly) {
  addin::TComPtr<IClassFactory> factory;
  EXPECT_EQ(Factory.GetClassObject(addin::CLSID_Dalvora, IID_IClassFactory, factory.Out()), S_OK);
  EXPECT_EQ(factory.Get(), &Factory);
  void* none = reinterpret_cast<void*>(1);
  EXPECT_EQ(Factory.GetClassObject(IID_IDispatch, IID_IClassFactory, &none),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(Factory.GetClassObject(addin::CLSID_Dalvora, IID_IDispatch, &none), E_NOINTERFACE);
}

TEST(ClassFactory, EveryInstanceIsNewAndCounted) {
  const LONG before = addin::LiveObjectCount();
  ASSERT_EQ(addin::CanUnloadModule(), before == 0 ? S_OK : S_FALSE);
  addin::TComPtr<ILanguageExtender> first, second;
  EXPECT_EQ(Factory.CreateInstance(nullptr, IID_ILanguageExtender, first.Out()), S_OK);
  EXPECT_EQ(Factory.CreateInstance(nullptr, IID_ILanguageExtender, second.Out()), S_OK);
  EXPECT_NE(first.Get(), second.Get());
  EXPECT_EQ(addin::LiveObjectCount(), before + 2);
  EXPECT_EQ(addin::CanUnloadModule(), S_FALSE);
  first.Reset();
  second.Reset();
  EXPECT_EQ(addin::LiveObjectCount(), before);

  // An interface the object lacks: nothing is handed out and nothing lives on.
  addin::TComPtr<IClassFactory> wrong;
  EXPECT_EQ(Factory.CreateInstance(nullptr, IID_IClassFactory, wrong.Out()), E_NOINTERFACE);
  EXPECT_EQ(addin::LiveObjectCount(), before);

  addin::TComPtr<IUnknown> aggregated;
  EXPECT_EQ(Factory.CreateInstance(&Factory, IID_IUnknown, aggregated.Out()),
            CLASS_E_NOAGGREGATION);
}

TEST(ClassFactory, LockKeepsTheModuleLoaded) {
  if (addin::LiveObjectCount() != 0) GTEST_SKIP() << "objects of other tests are alive";
  EXPECT_EQ(Factory.LockServer(TRUE), S_OK);
  EXPECT_EQ(addin::CanUnloadModule(), S_FALSE);
  EXPECT_EQ(Factory.LockServer(FALSE), S_OK);
  EXPECT_EQ(addin::CanUnloadModule(), S_OK);
}

}  // namespace

// The connection object through the host's interfaces, in-process, where a
// script cannot reach: a host that refuses to make the clone, Done twice,
// and requests outside Init and Done.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "addin/AddInLib.h"
#include "addin/AddinClassId.h"
#include "addin/ComPtr.h"
#include "connection/com/DalvoraServer.h"
#include "host/Host.h"
#include "platform/com/Bstr.h"

namespace connection {
namespace {

using addin::TComPtr;

// A host session that has not loaded this library: asked for "AddIn.Dalvora"
// it fails, as a host does that cannot create the add-in again.
class RefusingHost : public testing::TestWithParam<host::TDialect> {
 protected:
  RefusingHost()
      : host_(GetParam(), false, [this](const std::string& line) { log_.push_back(line); }) {}

  TComPtr<IInitDone> NewObject() {
    TComPtr<IClassFactory> factory;
    EXPECT_EQ(GetClassObject(addin::CLSID_Dalvora, IID_IClassFactory, factory.Out()), S_OK);
    TComPtr<IInitDone> object;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IInitDone, object.Out()), S_OK);
    return object;
  }

  static TComPtr<ILanguageExtender> Extender(const TComPtr<IInitDone>& object) {
    TComPtr<ILanguageExtender> extender;
    EXPECT_EQ(object->QueryInterface(IID_ILanguageExtender, extender.Out()), S_OK);
    return extender;
  }

  static LONG Method(ILanguageExtender& extender, const char* name) {
    const platform::TBstr text = platform::TBstr::FromAnsi(name);
    LONG number = -1;
    extender.FindMethod(text.Get(), &number);
    return number;
  }

  static HRESULT CallFunction(ILanguageExtender& extender, const char* name, VARIANT& result) {
    SAFEARRAY* params = SafeArrayCreateVector(VT_VARIANT, 0, 0);
    const HRESULT hr = extender.CallAsFunc(Method(extender, name), &result, &params);
    SafeArrayDestroy(params);
    return hr;
  }

  host::THost host_;
  std::vector<std::string> log_;
};

TEST_P(RefusingHost, CloneGivesNothingAndReportsNothing) {
  TComPtr<IInitDone> object = NewObject();
  ASSERT_EQ(object->Init(host_.Connection()), S_OK);
  TComPtr<ILanguageExtender> extender = Extender(object);

  VARIANT result;
  VariantInit(&result);
  result.vt = VT_I4;  // the host's own value must be replaced by empty
  result.lVal = 42;
  EXPECT_EQ(CallFunction(*extender.Get(), "Clone", result), S_OK);
  EXPECT_EQ(result.vt, VT_EMPTY);
  EXPECT_TRUE(log_.empty()) << log_.front();
  EXPECT_EQ(object->Done(), S_OK);
}

TEST_P(RefusingHost, DoneTwiceAndCallsAfterDone) {
  TComPtr<IInitDone> object = NewObject();
  ASSERT_EQ(object->Init(host_.Connection()), S_OK);
  TComPtr<ILanguageExtender> extender = Extender(object);
  VARIANT result;
  VariantInit(&result);
  EXPECT_EQ(CallFunction(*extender.Get(), "ClientVersion", result), S_OK);
  VariantClear(&result);

  EXPECT_EQ(object->Done(), S_OK);
  EXPECT_EQ(object->Done(), S_OK);
  // Without a session the calls fail cleanly instead of touching freed state.
  EXPECT_EQ(CallFunction(*extender.Get(), "Connected", result), S_FALSE);
  EXPECT_EQ(result.vt, VT_EMPTY);
  VARIANT port;
  VariantInit(&port);
  EXPECT_EQ(extender->GetPropVal(5, &port), S_FALSE);
}

TEST_P(RefusingHost, NothingIsServedBeforeInit) {
  TComPtr<IInitDone> object = NewObject();
  TComPtr<ILanguageExtender> extender = Extender(object);
  VARIANT port;
  VariantInit(&port);
  EXPECT_EQ(extender->GetPropVal(5, &port), S_FALSE);
  EXPECT_EQ(port.vt, VT_EMPTY);
}

INSTANTIATE_TEST_SUITE_P(BothDialects, RefusingHost,
                         testing::Values(host::TDialect::Expression, host::TDialect::Object),
                         [](const testing::TestParamInfo<host::TDialect>& test) {
                           return test.param == host::TDialect::Expression ? "Expression"
                                                                           : "Object";
                         });

}  // namespace
}  // namespace connection

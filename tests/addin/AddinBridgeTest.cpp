// TAddin driven the way the host drives it: through QueryInterface and the
// IInitDone / ILanguageExtender slots, with a recording fake host.
#include <gtest/gtest.h>

#include "FakeHost.h"
#include "TestDalvora.h"
#include "addin/ComPtr.h"
#include "connection/com/DalvoraMembers.h"
#include "platform/com/Bstr.h"
#include "platform/os/CodePage.h"
#include "support/StandInCodePage.h"

namespace {

using addin::TComPtr;
using platform::TBstr;
using platform::TOleVariant;

// Members beyond the table are numbered from the table's counts on.
const LONG kProperties = static_cast<LONG>(connection::kDalvoraProperties.size());
const LONG kMethods = static_cast<LONG>(connection::kDalvoraMethods.size());

std::string Ansi(const OLECHAR* text) {
  return platform::ToAnsi(text);
}

// One add-in object initialised against a fake host.
class Bridge : public testing::Test {
 protected:
  explicit Bridge(bool expressionHost = true, bool errorLog = true, bool statusLine = true)
      : app_(expressionHost), connection_(&app_, errorLog, statusLine) {
    object_ = TComPtr<IUnknown>::Attach(static_cast<ILanguageExtender*>(fake::TTestDalvora::New()));
    EXPECT_EQ(object_->QueryInterface(IID_ILanguageExtender, extender_.Out()), S_OK);
    EXPECT_EQ(object_->QueryInterface(IID_IInitDone, initDone_.Out()), S_OK);
    EXPECT_EQ(initDone_->Init(&connection_), S_OK);
  }

  fake::TTestDalvora& Object() {
    return fake::TTestDalvora::Of(*static_cast<addin::TAddin*>(extender_.Get()));
  }

  LONG FindProp(const OLECHAR* name, HRESULT expected) {
    TBstr text{platform::TOleStringView(name)};
    LONG number = 99;
    EXPECT_EQ(extender_->FindProp(text.Get(), &number), expected) << Ansi(name);
    return number;
  }
  LONG FindMethod(const OLECHAR* name, HRESULT expected) {
    TBstr text{platform::TOleStringView(name)};
    LONG number = 99;
    EXPECT_EQ(extender_->FindMethod(text.Get(), &number), expected) << Ansi(name);
    return number;
  }
  std::string PropName(LONG number, LONG alias, HRESULT expected) {
    TBstr name = TBstr::FromAnsi("host's text");
    EXPECT_EQ(extender_->GetPropName(number, alias, name.Out()), expected);
    return name.ToAnsi();
  }
  TOleVariant PropVal(LONG number, HRESULT expected) {
    TOleVariant value("stale");
    EXPECT_EQ(extender_->GetPropVal(number, value.Get()), expected);
    return value;
  }
  std::string LastError() {
    if (connection_.Errors.empty()) return "(none)";
    const fake::TLogEntry& e = connection_.Errors.back();
    return std::to_string(e.Code) + " " + e.Source + ": " + e.Description;
  }

  fake::TApp app_;
  fake::TConnection connection_;
  TComPtr<IUnknown> object_;
  TComPtr<ILanguageExtender> extender_;
  TComPtr<IInitDone> initDone_;
};

// A safe array of variants with the given lower bound.
class TArray {
 public:
  TArray(LONG lower, std::vector<TOleVariant> values)
      : array_(SafeArrayCreateVector(VT_VARIANT, lower, static_cast<ULONG>(values.size()))),
        lower_(lower) {
    for (std::size_t i = 0; i < values.size(); ++i) {
      LONG index = lower + static_cast<LONG>(i);
      SafeArrayPutElement(array_, &index, values[i].Get());
    }
  }
  ~TArray() { SafeArrayDestroy(array_); }
  SAFEARRAY** Out() { return &array_; }
  std::string Describe() const {
    LONG upper = 0;
    SafeArrayGetUBound(array_, 1, &upper);
    std::string text;
    for (LONG i = lower_; i <= upper; ++i) {
      VARIANT element;
      VariantInit(&element);
      SafeArrayGetElement(array_, &i, &element);
      TOleVariant value = TOleVariant::Attach(element);
      text += std::to_string(value.Type()) + ":" + value.ToString() + " ";
    }
    return text;
  }

 private:
  SAFEARRAY* array_;
  LONG lower_;
};

TEST_F(Bridge, AnswersItsInterfacesOnly) {
  const IID offered[] = {IID_IUnknown, IID_ILanguageExtender, IID_IInitDone, IID_ISupportErrorInfo,
                         IID_IDispatch};
  TComPtr<ISupportErrorInfo> support;
  ASSERT_EQ(object_->QueryInterface(IID_ISupportErrorInfo, support.Out()), S_OK);
  for (const IID& iid : offered) {
    TComPtr<IUnknown> answer;
    EXPECT_EQ(object_->QueryInterface(iid, answer.Out()), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(iid), S_OK);
  }
  TComPtr<IUnknown> none;
  EXPECT_EQ(object_->QueryInterface(IID_IClassFactory, none.Out()), E_NOINTERFACE);
  EXPECT_FALSE(none);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IClassFactory), S_FALSE);
}

TEST_F(Bridge, OwnDispatchIsNotImplemented) {
  TComPtr<IDispatch> dispatch;
  ASSERT_EQ(object_->QueryInterface(IID_IDispatch, dispatch.Out()), S_OK);
  UINT count = 7;
  DISPID id = 7;
  LPOLESTR names[] = {const_cast<LPOLESTR>(OLESTR("Host"))};
  EXPECT_EQ(dispatch->GetTypeInfoCount(&count), E_NOTIMPL);
  EXPECT_EQ(dispatch->GetTypeInfo(0, 0, nullptr), E_NOTIMPL);
  EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id), E_NOTIMPL);
  EXPECT_EQ(dispatch->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr),
            E_NOTIMPL);
  EXPECT_EQ(count, 7u);
  EXPECT_EQ(id, 7);
}

TEST_F(Bridge, GetInfoStoresVersionAsText) {
  SAFEARRAY* info = SafeArrayCreateVector(VT_VARIANT, 0, 1);
  EXPECT_EQ(initDone_->GetInfo(&info), S_OK);
  VARIANT element;
  VariantInit(&element);
  LONG index = 0;
  SafeArrayGetElement(info, &index, &element);
  TOleVariant version = TOleVariant::Attach(element);
  EXPECT_EQ(version.Type(), VT_BSTR);
  EXPECT_EQ(version.ToString(), "2000");
  SafeArrayDestroy(info);
}

TEST_F(Bridge, RegistersUnderExtensionName) {
  TBstr name = TBstr::FromAnsi("whatever the host passed");
  EXPECT_EQ(extender_->RegisterExtensionAs(name.Out()), S_OK);
  EXPECT_EQ(name.ToAnsi(), "Dalvora");
}

TEST_F(Bridge, FindsMembersByEitherName) {
  struct {
    const OLECHAR* Name;
    LONG Property;
    LONG Method;
  } const cases[] = {
      {OLESTR("Host"), 0, -1},         {OLESTR("Сервер"), 0, -1},
      {OLESTR("AutoType"), 16, -1},    {OLESTR("host"), -1, -1},  // case matters
      {OLESTR(" Host"), -1, -1},                                  // no trimming
      {OLESTR("_x"), kProperties, -1},  // beyond the table, through OnFindProperty
      {OLESTR("Query"), -1, 27},       {OLESTR("ВыполнитьЗапрос"), -1, 27},
      {OLESTR("Clone"), -1, 44},       {OLESTR("Nope"), -1, -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FindProp(c.Name, c.Property < 0 ? S_FALSE : S_OK), c.Property) << Ansi(c.Name);
    EXPECT_EQ(FindMethod(c.Name, c.Method < 0 ? S_FALSE : S_OK), c.Method) << Ansi(c.Name);
  }
}

// On a Windows whose ANSI code page is not Cyrillic, every Russian name
// used to become "?" letters and find the first member of the same length:
// "Пароль" found Host, "Выполнить" found Status. Compared as UTF-16 they find
// their own members and read back unchanged, and a spelling with real
// question marks finds nothing.
TEST_F(Bridge, RussianNamesKeepTheirMembersUnderAWesternCodePage) {
  StandInCodePage western(1252);
  EXPECT_EQ(FindProp(OLESTR("Пароль"), S_OK), 2);
  EXPECT_EQ(FindProp(OLESTR("Порт"), S_OK), 5);
  EXPECT_EQ(FindProp(OLESTR("??????"), S_FALSE), -1);
  EXPECT_EQ(FindMethod(OLESTR("Выполнить"), S_OK), 28);
  EXPECT_EQ(FindMethod(OLESTR("Состояние"), S_OK), 0);
  EXPECT_EQ(FindProp(OLESTR("_ж"), S_FALSE), -1);
  TBstr name;
  EXPECT_EQ(extender_->GetMethodName(28, 1, name.Out()), S_OK);
  EXPECT_EQ(name.View(), OLESTR("Выполнить"));
}

TEST_F(Bridge, NamesCountsAndFlags) {
  EXPECT_EQ(PropName(0, 0, S_OK), "Host");
  EXPECT_EQ(PropName(0, 1, S_OK), Ansi(OLESTR("Сервер")));
  EXPECT_EQ(PropName(0, 2, S_OK), Ansi(OLESTR("Сервер")));
  EXPECT_EQ(PropName(kProperties, 0, S_OK), "_x");
  EXPECT_EQ(PropName(kProperties + 1, 0, S_FALSE), "");
  EXPECT_EQ(PropName(-1, 0, S_FALSE), "");

  TBstr method = TBstr::FromAnsi("x");
  EXPECT_EQ(extender_->GetMethodName(44, 1, method.Out()), S_OK);
  EXPECT_EQ(method.ToAnsi(), Ansi(OLESTR("Клонировать")));
  EXPECT_EQ(extender_->GetMethodName(kMethods, 0, method.Out()), S_FALSE);
  EXPECT_EQ(method.ToAnsi(), "");

  LONG count = 0;
  EXPECT_EQ(extender_->GetNProps(&count), S_OK);
  EXPECT_EQ(count, kProperties);
  EXPECT_EQ(extender_->GetNMethods(&count), S_OK);
  EXPECT_EQ(count, kMethods);

  struct {
    LONG Number;
    BOOL Readable;
    BOOL Writable;
  } const flags[] = {
      {0, 1, 1}, {12, 1, 0}, {17, 1, 1}, {kProperties, 1, 0}, {kProperties + 1, 0, 0}};
  for (const auto& f : flags) {
    BOOL readable = 7, writable = 7;
    EXPECT_EQ(extender_->IsPropReadable(f.Number, &readable), S_OK);
    EXPECT_EQ(extender_->IsPropWritable(f.Number, &writable), S_OK);
    EXPECT_EQ(readable, f.Readable) << f.Number;
    EXPECT_EQ(writable, f.Writable) << f.Number;
  }
}

TEST_F(Bridge, PropertiesGetAndSet) {
  EXPECT_EQ(PropVal(0, S_OK).ToString(), "Host");
  TOleVariant value(3307);
  EXPECT_EQ(extender_->SetPropVal(5, value.Get()), S_OK);
  EXPECT_EQ(PropVal(5, S_OK).ToInt32(), 3307);
  EXPECT_EQ(PropVal(kProperties, S_OK).ToString(), "field");
  EXPECT_TRUE(connection_.Errors.empty());
}

TEST_F(Bridge, FailuresGoToTheErrorLog) {
  // The value is what the handler stored before failing.
  EXPECT_EQ(PropVal(2, S_FALSE).ToString(), "partial");
  EXPECT_EQ(LastError(), "1006 AddIn.Dalvora: Password is secret");

  EXPECT_TRUE(PropVal(kProperties + 1, S_FALSE).IsEmpty());
  EXPECT_EQ(LastError(), "1006 AddIn.Dalvora: Getting property Dalvora. not handled!");

  TOleVariant value(1);
  EXPECT_EQ(extender_->SetPropVal(kProperties, value.Get()), S_FALSE);
  EXPECT_EQ(LastError(), "1006 AddIn.Dalvora: Setting property Dalvora._x not handled!");

  LONG params = 7;
  EXPECT_EQ(extender_->GetNParams(kMethods, &params), S_FALSE);
  EXPECT_EQ(params, 0);
  EXPECT_EQ(LastError(), "1006 AddIn.Dalvora: Method Dalvora. not handled!");

  BOOL hasValue = 7;
  EXPECT_EQ(extender_->HasRetVal(-1, &hasValue), S_FALSE);
  EXPECT_EQ(hasValue, 0);
  EXPECT_EQ(connection_.Errors.size(), 5u);
}

TEST_F(Bridge, MethodShape) {
  LONG params = 0;
  EXPECT_EQ(extender_->GetNParams(27, &params), S_OK);
  EXPECT_EQ(params, 3);
  BOOL hasValue = 7;
  EXPECT_EQ(extender_->HasRetVal(17, &hasValue), S_OK);  // Close
  EXPECT_EQ(hasValue, 0);
  EXPECT_EQ(extender_->HasRetVal(42, &hasValue), S_OK);  // FillAll
  EXPECT_EQ(hasValue, 0);
  EXPECT_EQ(extender_->HasRetVal(0, &hasValue), S_OK);
  EXPECT_EQ(hasValue, 1);

  TOleVariant fallback("stale");
  EXPECT_EQ(extender_->GetParamDefValue(27, 2, fallback.Get()), S_OK);
  EXPECT_EQ(fallback.ToInt32(), 20);
  EXPECT_EQ(extender_->GetParamDefValue(18, 0, fallback.Get()), S_OK);  // no default handler
  EXPECT_TRUE(fallback.IsEmpty());
}

TEST_F(Bridge, ProcedureParametersWithLowerBoundOne) {
  TArray params(1, {TOleVariant("a"), TOleVariant(2), TOleVariant::Omitted()});
  EXPECT_EQ(extender_->CallAsProc(21, params.Out()), S_OK);  // ChangeUser
  ASSERT_EQ(Object().Calls.size(), 1u);
  EXPECT_EQ(Object().Calls[0], "ChangeUser a;2;omitted;");
  EXPECT_EQ(params.Describe(), "3:100 3:200 3:300 ");
}

TEST_F(Bridge, FunctionWritesBackConvertedParameters) {
  TArray params(0, {TOleVariant("a"), TOleVariant("b"), TOleVariant("c")});
  TOleVariant result;
  EXPECT_EQ(extender_->CallAsFunc(27, result.Get(), params.Out()), S_OK);  // Query
  EXPECT_EQ(result.ToInt32(), 1);
  // 64-bit integers come back as 32-bit ones when they fit, else as doubles.
  EXPECT_EQ(params.Describe(), "8:changed 3:5 5:1099511627776 ");
}

TEST_F(Bridge, FailedCallWritesNothingBack) {
  TArray params(1, {TOleVariant("original")});
  TOleVariant result(77);
  EXPECT_EQ(extender_->CallAsFunc(18, result.Get(), params.Out()), S_FALSE);  // SelectDb
  EXPECT_EQ(LastError(), "1006 AddIn.Dalvora: SelectDb failed");
  EXPECT_EQ(params.Describe(), "8:original ");
  EXPECT_EQ(result.ToInt32(), 77);
}

TEST_F(Bridge, CallsWithoutTheirHandlerDoNothing) {
  TArray none(0, {});
  TOleVariant result(77);
  EXPECT_EQ(extender_->CallAsFunc(17, result.Get(), none.Out()), S_OK);  // Close: no function
  EXPECT_EQ(result.ToInt32(), 77);
  EXPECT_EQ(extender_->CallAsProc(0, none.Out()), S_OK);  // Status: no procedure
  EXPECT_EQ(extender_->CallAsProc(17, none.Out()), S_OK);
  EXPECT_EQ(Object().Calls, std::vector<std::string>{"Close/0"});
}

TEST_F(Bridge, ExpressionHostKeepsOneProbeReference) {
  EXPECT_TRUE(Object().ExpressionDialect());
  EXPECT_EQ(app_.Evaluated, std::vector<std::string>{"1-1"});
  EXPECT_EQ(app_.Refs, 2);
  // Every GetAppDispatch takes one more reference that stays with the host.
  TOleVariant app = Object().GetAppDispatch();
  EXPECT_EQ(app.ToDispatch(), static_cast<IDispatch*>(&app_));
  app.Clear();
  EXPECT_EQ(app_.Refs, 3);
}

class ObjectHostBridge : public Bridge {
 protected:
  ObjectHostBridge() : Bridge(false) {}
};

TEST_F(ObjectHostBridge, RefusedProbeLeavesNoReference) {
  EXPECT_FALSE(Object().ExpressionDialect());
  EXPECT_EQ(app_.Evaluated, std::vector<std::string>{"1-1"});
  EXPECT_EQ(app_.Refs, 1);
  EXPECT_TRUE(connection_.Errors.empty());  // the probe's failure is not reported
  TOleVariant app = Object().GetAppDispatch();
  app.Clear();
  EXPECT_EQ(app_.Refs, 1);
}

TEST_F(Bridge, DoneReleasesEachHostInterfaceOnce) {
  // The test's own, the connection, the error log and the status line.
  EXPECT_EQ(connection_.Refs, 4);
  EXPECT_EQ(initDone_->Done(), S_OK);
  EXPECT_EQ(connection_.Refs, 2);
  EXPECT_EQ(initDone_->Done(), S_OK);
  EXPECT_EQ(connection_.Refs, 2);
  extender_.Reset();
  initDone_.Reset();
  object_.Reset();
  EXPECT_EQ(connection_.Refs, 1);
}

class QuietHostBridge : public Bridge {
 protected:
  QuietHostBridge() : Bridge(true, false, false) {}
};

TEST_F(QuietHostBridge, FailsWithoutAnErrorLog) {
  EXPECT_EQ(connection_.Refs, 2);  // only the connection is held
  EXPECT_EQ(Object().StatusLine(), nullptr);
  PropVal(2, S_FALSE);
  EXPECT_TRUE(connection_.Errors.empty());
}

TEST(BridgeBeforeInit, RefusesWithoutTouchingAnything) {
  TComPtr<IUnknown> object =
      TComPtr<IUnknown>::Attach(static_cast<ILanguageExtender*>(fake::TTestDalvora::New()));
  TComPtr<ILanguageExtender> extender;
  ASSERT_EQ(object->QueryInterface(IID_ILanguageExtender, extender.Out()), S_OK);
  LONG count = 7;
  EXPECT_EQ(extender->GetNProps(&count), S_FALSE);
  EXPECT_EQ(count, 0);
  TOleVariant value("x");
  EXPECT_EQ(extender->GetPropVal(0, value.Get()), S_FALSE);
  EXPECT_TRUE(value.IsEmpty());
}

TEST(AddinIsOmitted, OnlyEmptyNullAndTheOmittedMarker) {
  TOleVariant empty;
  struct {
    const char* Name;
    TOleVariant Value;
    bool Omitted;
  } const cases[] = {
      {"empty", TOleVariant(), true},
      {"null", TOleVariant::Null(), true},
      {"omitted marker", TOleVariant::Omitted(), true},
      {"reference to empty", TOleVariant::ReferenceTo(empty), true},
      {"other error", TOleVariant::Error(DISP_E_TYPEMISMATCH), false},
      {"zero", TOleVariant(0), false},
      {"empty text", TOleVariant(""), false},
      {"no object", TOleVariant(static_cast<IDispatch*>(nullptr)), false},
  };
  for (const auto& c : cases) EXPECT_EQ(addin::TAddin::IsOmitted(c.Value), c.Omitted) << c.Name;
}

}  // namespace

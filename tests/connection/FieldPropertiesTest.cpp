// The "_" field properties through the host's property requests, against
// the MariaDB fixture: numbering after the table's own, names, flags, values,
// and the failing set.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "addin/AddInLib.h"
#include "addin/AddinClassId.h"
#include "addin/ComPtr.h"
#include "connection/com/DalvoraMembers.h"
#include "connection/com/DalvoraServer.h"
#include "host/Host.h"
#include "platform/com/Bstr.h"
#include "platform/com/OleVariant.h"
#include "support/MariaDbFixture.h"

namespace connection {
namespace {

using addin::TComPtr;
using platform::TOleVariant;

class ServerFieldProperties : public testing::Test {
 protected:
  void SetUp() override {
    const auto server = SharedMariaDb();
    ASSERT_TRUE(server) << "no MariaDB server";
    TComPtr<IClassFactory> factory;
    ASSERT_EQ(GetClassObject(addin::CLSID_Dalvora, IID_IClassFactory, factory.Out()), S_OK);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IInitDone, object_.Out()), S_OK);
    ASSERT_EQ(object_->Init(host_.Connection()), S_OK);
    ASSERT_EQ(object_->QueryInterface(IID_ILanguageExtender, extender_.Out()), S_OK);
    Set("Host", TOleVariant(server->Host));
    Set("Port", TOleVariant(server->Port));
    Set("User", TOleVariant(server->Native.User));
    Set("Password", TOleVariant(server->Native.Password));
    ASSERT_EQ(Call("Connect", {}).ToInt32(), 1);
  }

  void TearDown() override {
    if (object_) object_->Done();
  }

  LONG FindProp(const char* name) {
    const platform::TBstr text = platform::TBstr::FromAnsi(name);
    LONG number = -2;
    extender_->FindProp(text.Get(), &number);
    return number;
  }

  std::string PropName(LONG number, LONG alias) {
    platform::TBstr name;
    extender_->GetPropName(number, alias, name.Out());
    return name.ToAnsi();
  }

  LONG PropCount() {
    LONG count = 0;
    extender_->GetNProps(&count);
    return count;
  }

  void Set(const char* name, TOleVariant value) {
    EXPECT_EQ(extender_->SetPropVal(FindProp(name), value.Get()), S_OK) << name;
  }

  TOleVariant Call(const char* name, std::vector<TOleVariant> args) {
    const platform::TBstr text = platform::TBstr::FromAnsi(name);
    LONG number = -1;
    extender_->FindMethod(text.Get(), &number);
    SAFEARRAY* params = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(args.size()));
    for (LONG i = 0; i < static_cast<LONG>(args.size()); ++i) {
      SafeArrayPutElement(params, &i, args[static_cast<std::size_t>(i)].Get());
    }
    TOleVariant result;
    EXPECT_EQ(extender_->CallAsFunc(number, result.Get(), &params), S_OK) << name;
    SafeArrayDestroy(params);
    return result;
  }

  std::vector<std::string> log_;
  host::THost host_{host::TDialect::Expression, false,
                    [this](const std::string& line) { log_.push_back(line); }};
  TComPtr<IInitDone> object_;
  TComPtr<ILanguageExtender> extender_;
};

TEST_F(ServerFieldProperties, ColumnsAreReadOnlyPropertiesAfterTheTable) {
  const LONG first = static_cast<LONG>(kDalvoraProperties.size());
  EXPECT_EQ(PropCount(), first);
  EXPECT_EQ(FindProp("_id"), -1);
  ASSERT_EQ(Call("Query", {TOleVariant("select 7 as id, 'x' as Name, 8 as ID"), TOleVariant::Null(),
                           TOleVariant(1)})
                .ToInt32(),
            1);

  EXPECT_EQ(PropCount(), first + 3);
  // The first character is dropped whatever it is; case does not matter.
  EXPECT_EQ(FindProp("_id"), first);
  EXPECT_EQ(FindProp("_ID"), first);
  EXPECT_EQ(FindProp("xId"), first);
  EXPECT_EQ(FindProp("_name"), first + 1);
  EXPECT_EQ(FindProp("_nosuch"), -1);
  EXPECT_EQ(FindProp("Host"), 0);
  EXPECT_EQ(PropName(first, 0), "_id");
  EXPECT_EQ(PropName(first + 1, 1), "_Name");
  EXPECT_EQ(PropName(first + 2, 2), "_ID");
  EXPECT_EQ(PropName(first + 3, 0), "");

  BOOL flag = -1;
  extender_->IsPropReadable(first + 1, &flag);
  EXPECT_EQ(flag, TRUE);
  extender_->IsPropWritable(first + 1, &flag);
  EXPECT_EQ(flag, FALSE);

  TOleVariant value;
  EXPECT_EQ(extender_->GetPropVal(first + 1, value.Get()), S_OK);
  EXPECT_EQ(value.ToString(), "x");
  // Found again by name: the later ID column shows the first one's value.
  EXPECT_EQ(extender_->GetPropVal(first + 2, value.Get()), S_OK);
  EXPECT_EQ(value.ToString(), "7");

  log_.clear();
  TOleVariant five(5);
  EXPECT_EQ(extender_->SetPropVal(first, five.Get()), S_FALSE);
  ASSERT_EQ(log_.size(), 1u);
  EXPECT_EQ(log_[0], "! 1006 AddIn.Dalvora: Setting property Dalvora._id not handled!");

  // A statement without rows leaves no result and no field properties; a
  // number past the table then names nothing and its get fails.
  ASSERT_EQ(Call("Query", {TOleVariant("do 1"), TOleVariant::Null(), TOleVariant(1)}).ToInt32(), 1);
  EXPECT_EQ(PropCount(), first);
  EXPECT_EQ(FindProp("_id"), -1);
  log_.clear();
  EXPECT_EQ(extender_->GetPropVal(first, value.Get()), S_FALSE);
  ASSERT_EQ(log_.size(), 1u);
  EXPECT_EQ(log_[0], "! 1006 AddIn.Dalvora: Getting property Dalvora. not handled!");
}

}  // namespace
}  // namespace connection

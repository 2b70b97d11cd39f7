// CreateDb and DropDb pick the dedicated command or the SQL statement by the
// server's version number, and quote the name in the statement; checked on
// the wire against a scripted server.
#include <gtest/gtest.h>

#include <string>

#include "addin/AddInLib.h"
#include "addin/AddinClassId.h"
#include "addin/ComPtr.h"
#include "connection/com/DalvoraServer.h"
#include "host/Host.h"
#include "platform/com/Bstr.h"
#include "platform/com/OleVariant.h"
#include "support/FakeServer.h"

namespace connection {
namespace {

using addin::TComPtr;

// A 4.1 greeting without compression: protocol 10, the version, thread 1,
// the two seed parts, capabilities 0xE200, language 8, status 2.
Bytes Greeting(const std::string& version) {
  Bytes payload = Concat({{10}, Text(version), {0}, {1, 0, 0, 0}, Text("abcdefgh"), {0}});
  payload.insert(payload.end(), {0x00, 0xE2, 8, 2, 0});
  payload.insert(payload.end(), 13, 0);
  payload = Concat({payload, Text("ijklmnopqrst"), {0}});
  return payload;
}

const Bytes kOk = {0, 0, 0, 2, 0, 0, 0};

struct Case {
  const char* version;
  const char* method;
  const char* database;
  Bytes command;  // the payload the client must send
};

class DbCommandChoice : public testing::TestWithParam<Case> {};

TEST_P(DbCommandChoice, SendsTheCommandTheVersionCallsFor) {
  const Case& c = GetParam();
  FakeServer server;
  server.Send(Packet(0, Greeting(c.version)))
      .ReceivePacket()
      .Send(Packet(2, kOk))
      .Expect(Packet(0, c.command))
      .Send(Packet(1, kOk))
      .DrainUntilClosed();
  server.Start();

  host::THost host(host::TDialect::Expression, false, [](const std::string&) {});
  TComPtr<IClassFactory> factory;
  ASSERT_EQ(GetClassObject(addin::CLSID_Dalvora, IID_IClassFactory, factory.Out()), S_OK);
  TComPtr<IInitDone> object;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IInitDone, object.Out()), S_OK);
  ASSERT_EQ(object->Init(host.Connection()), S_OK);
  TComPtr<ILanguageExtender> extender;
  ASSERT_EQ(object->QueryInterface(IID_ILanguageExtender, extender.Out()), S_OK);

  auto set = [&](LONG property, platform::TOleVariant value) {
    EXPECT_EQ(extender->SetPropVal(property, value.Get()), S_OK);
  };
  set(0, platform::TOleVariant("127.0.0.1"));
  set(1, platform::TOleVariant("u"));
  set(5, platform::TOleVariant(static_cast<std::int32_t>(server.Port())));
  set(7, platform::TOleVariant(0));  // no ping before statements
  set(11, platform::TOleVariant(0));

  auto call = [&](const char* name, platform::TOleVariant argument) {
    const platform::TBstr text = platform::TBstr::FromAnsi(name);
    LONG number = -1;
    extender->FindMethod(text.Get(), &number);
    SAFEARRAY* params = SafeArrayCreateVector(VT_VARIANT, 0, 1);
    LONG index = 0;
    SafeArrayPutElement(params, &index, argument.Get());
    platform::TOleVariant result;
    EXPECT_EQ(extender->CallAsFunc(number, result.Get(), &params), S_OK);
    SafeArrayDestroy(params);
    return result;
  };
  EXPECT_EQ(call("Connect", platform::TOleVariant()).ToInt32(), 1);
  EXPECT_EQ(call(c.method, platform::TOleVariant(c.database)).ToInt32(), 1);

  EXPECT_EQ(object->Done(), S_OK);
  server.Wait();
  EXPECT_TRUE(server.Failures().empty()) << server.Failures().front();
}

const Bytes kCreateCommand = {5, 'x'};
const Bytes kDropCommand = {6, 'x'};
const Bytes kCreateStatement = Concat({{3}, Text("create database `x`;")});
const Bytes kDropStatement = Concat({{3}, Text("drop database `x`;")});

INSTANTIATE_TEST_SUITE_P(
    Versions, DbCommandChoice,
    testing::Values(Case{"4.1.22", "CreateDb", "x", kCreateCommand},
                    Case{"5.0.83-log", "DropDb", "x", kDropCommand},
                    Case{"5.0.84", "CreateDb", "x", kCreateStatement},
                    Case{"5.1.30", "DropDb", "x", kDropStatement},
                    // Below 5.0.84 as text, far above it as a version.
                    Case{"10.1.2", "CreateDb", "x", kCreateStatement},
                    Case{"11.4.2-MariaDB", "DropDb", "x", kDropStatement},
                    // A backquote in the name is doubled in the statement, so
                    // the name cannot close the quoting; the command takes it raw.
                    Case{"10.11.6", "CreateDb", "a`b; x",
                         Concat({{3}, Text("create database `a``b; x`;")})},
                    Case{"10.11.6", "DropDb", "`", Concat({{3}, Text("drop database ````;")})},
                    Case{"4.1.22", "DropDb", "a`b", Concat({{6}, Text("a`b")})}));

}  // namespace
}  // namespace connection

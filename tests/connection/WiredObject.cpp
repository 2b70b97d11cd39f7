#include "WiredObject.h"

#include <gtest/gtest.h>

#include <vector>

#include "addin/AddinClassId.h"
#include "connection/com/DalvoraServer.h"
#include "platform/com/Bstr.h"

namespace connection {

using platform::TOleVariant;

Bytes Greeting(const std::string& version) {
  Bytes payload = Concat({{10}, Text(version), {0}, {1, 0, 0, 0}, Text("abcdefgh"), {0}});
  payload.insert(payload.end(), {0x00, 0xE2, 8, 2, 0});
  payload.insert(payload.end(), 13, 0);
  payload = Concat({payload, Text("ijklmnopqrst"), {0}});
  return payload;
}

Bytes OkPayload(std::uint8_t affectedRows, std::uint16_t status) {
  return {0,
          affectedRows,
          0,
          static_cast<std::uint8_t>(status),
          static_cast<std::uint8_t>(status >> 8),
          0,
          0};
}

WiredObject::WiredObject(host::TDialect dialect)
    : host_(dialect, false, [](const std::string& line) { ADD_FAILURE() << line; }) {
  addin::TComPtr<IClassFactory> factory;
  EXPECT_EQ(GetClassObject(addin::CLSID_Dalvora, IID_IClassFactory, factory.Out()), S_OK);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IInitDone, object_.Out()), S_OK);
  EXPECT_EQ(object_->Init(host_.Connection()), S_OK);
  EXPECT_EQ(object_->QueryInterface(IID_ILanguageExtender, extender_.Out()), S_OK);
}

WiredObject::~WiredObject() {
  EXPECT_EQ(object_->Done(), S_OK);
}

void WiredObject::PointAt(std::uint16_t port) {
  Set("Host", TOleVariant("127.0.0.1"));
  Set("User", TOleVariant("u"));
  Set("Port", TOleVariant(static_cast<std::int32_t>(port)));
  Set("ShouldReconnect", TOleVariant(0));
  Set("Compress", TOleVariant(0));
}

void WiredObject::Set(const char* property, const TOleVariant& value) {
  const platform::TBstr name = platform::TBstr::FromAnsi(property);
  LONG number = -1;
  EXPECT_EQ(extender_->FindProp(name.Get(), &number), S_OK) << property;
  EXPECT_EQ(extender_->SetPropVal(number, const_cast<VARIANT*>(value.Get())), S_OK) << property;
}

TOleVariant WiredObject::Call(const char* method, std::initializer_list<TOleVariant> args) {
  const platform::TBstr name = platform::TBstr::FromAnsi(method);
  LONG number = -1;
  EXPECT_EQ(extender_->FindMethod(name.Get(), &number), S_OK) << method;
  const std::vector<TOleVariant> values(args);
  SAFEARRAY* params = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(values.size()));
  for (std::size_t i = 0; i < values.size(); ++i) {
    LONG index = static_cast<LONG>(i);
    SafeArrayPutElement(params, &index, const_cast<VARIANT*>(values[i].Get()));
  }
  TOleVariant result;
  EXPECT_EQ(extender_->CallAsFunc(number, result.Get(), &params), S_OK) << method;
  SafeArrayDestroy(params);
  return result;
}

}  // namespace connection

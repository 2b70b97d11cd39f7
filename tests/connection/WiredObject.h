#pragma once
// A connection object made through the COM entry points, as the host makes
// it, for tests that check what it sends to a scripted server (FakeServer).

#include <cstdint>
#include <initializer_list>
#include <string>

#include "addin/AddInLib.h"
#include "addin/ComPtr.h"
#include "host/Host.h"
#include "platform/com/OleVariant.h"
#include "support/Wire.h"

namespace connection {

// A 4.1 greeting without compression: protocol 10, the version, thread 1,
// the two seed parts, capabilities 0xE200, language 8, status 2.
Bytes Greeting(const std::string& version);

// An OK packet's payload: affected rows (below 251), no insert id, the
// status word, no warnings.
Bytes OkPayload(std::uint8_t affectedRows = 0, std::uint16_t status = 2);

class WiredObject {
 public:
  // In the host dialect given; the object is released (Done) by the destructor.
  explicit WiredObject(host::TDialect dialect = host::TDialect::Expression);
  ~WiredObject();
  WiredObject(const WiredObject&) = delete;
  WiredObject& operator=(const WiredObject&) = delete;

  // Host, user and port set, no ping before statements, no compression.
  void PointAt(std::uint16_t port);
  void Set(const char* property, const platform::TOleVariant& value);
  // A method called for its result; fails the test when the call does.
  platform::TOleVariant Call(const char* method,
                             std::initializer_list<platform::TOleVariant> args = {});

  host::THost& Host() { return host_; }

 private:
  host::THost host_;
  addin::TComPtr<IInitDone> object_;
  addin::TComPtr<ILanguageExtender> extender_;
};

}  // namespace connection

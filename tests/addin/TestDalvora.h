// An add-in object on the connection object's member list, with test
// handlers: properties keep what is set (a fresh one reads as its own name),
// methods answer their name, and a few members behave specially (see
// TestDalvora.cpp) so failures and parameter write-back can be observed.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "addin/AddinComObjectUnit.h"

namespace fake {

class TTestDalvora final : public addin::TAddin {
 public:
  // A new object holding one reference, the caller's.
  static TTestDalvora* New() { return new TTestDalvora(); }
  static TTestDalvora& Of(addin::TAddin& sender) { return static_cast<TTestDalvora&>(sender); }

  std::map<std::string, platform::TOleVariant> Values;
  std::vector<std::string> Calls;

 protected:
  HRESULT DoInit() override;

 private:
  TTestDalvora() = default;
  ~TTestDalvora() override = default;
};

}  // namespace fake

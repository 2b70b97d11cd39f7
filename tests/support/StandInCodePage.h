#pragma once
// Runs a test with the platform stand-in converting in another ANSI code
// page, as on a Windows set up for another language; the default (1251)
// comes back when the object goes, also when the test fails.
#include <gtest/gtest.h>

#include "platform/os/CodePage.h"

class StandInCodePage {
 public:
  explicit StandInCodePage(unsigned codePage) {
    EXPECT_TRUE(platform::SetStandInCodePage(codePage));
  }
  ~StandInCodePage() { platform::SetStandInCodePage(1251); }
  StandInCodePage(const StandInCodePage&) = delete;
  StandInCodePage& operator=(const StandInCodePage&) = delete;
};

// The host session in-process: the add-in's dialect probe against the
// emulator's application object, counted by the references it keeps.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/Host.h"
#include "host/Utf8.h"

namespace {

TEST(HostSession, ProbeKeepsAnApplicationReferenceInTheExpressionDialectOnly) {
  for (const host::TDialect dialect : {host::TDialect::Expression, host::TDialect::Object}) {
    const bool expression = dialect == host::TDialect::Expression;
    std::vector<std::string> output;
    host::THost session(dialect, true, [&](const std::string& line) { output.push_back(line); });
    EXPECT_EQ(session.LoadAddin(SAMPLE_ADDIN_PATH), "AddIn.Sample");
    // The instance made on loading probed once and is gone again.
    EXPECT_EQ(session.ApplicationReferences(), expression ? 1 : 0);
    {
      const platform::TOleVariant sample =
          session.CreateObject(host::Utf16FromUtf8("addin.sample"));
      EXPECT_TRUE(sample.IsDispatch());
    }
    EXPECT_EQ(session.ApplicationReferences(), expression ? 2 : 0);
    EXPECT_TRUE(output.empty());  // a refused probe is not reported
  }
}

}  // namespace

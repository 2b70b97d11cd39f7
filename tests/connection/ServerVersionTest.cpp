#include "connection/values/ServerVersion.h"

#include <gtest/gtest.h>

namespace connection {
namespace {

TEST(CompareVersions, ComparesNumericPartsNotText) {
  struct Case {
    const char* version;
    int sign;  // of CompareVersions(version, "5.0.84")
  };
  const Case cases[] = {
      {"4.1.22", -1},        {"5.0.83-log", -1},
      {"5.0.84", 0},         {"5.0.84-community", 0},
      {"5.0", -1},           {"5.1.30", 1},
      {"5.0.100", 1},        {"10.1.2", 1},  // below 5.0.84 as text, far above as a version
      {"11.4.2-MariaDB", 1}, {"10.11.6-MariaDB-0+deb12u1", 1},
      {"3.23.58", -1},
  };
  for (const auto& c : cases) {
    const int result = CompareVersions(c.version, "5.0.84");
    EXPECT_EQ((result > 0) - (result < 0), c.sign) << c.version;
  }
}

TEST(CompareVersions, RecognisesTextsWithoutANumber) {
  EXPECT_TRUE(HasVersionNumber("5.0.84"));
  EXPECT_FALSE(HasVersionNumber(""));
  EXPECT_FALSE(HasVersionNumber("MariaDB"));
  EXPECT_EQ(CompareVersions("99999999999999999999999.1", "5"), 1);
}

}  // namespace
}  // namespace connection

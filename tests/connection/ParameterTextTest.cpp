#include "connection/values/ParameterText.h"

#include <gtest/gtest.h>

namespace connection {
namespace {

TEST(ReplaceParameter, FillsMarkersLeftToRight) {
  struct Case {
    const char* statement;
    const char* name;
    const char* value;
    const char* expected;
  };
  const Case cases[] = {
      {"select * from t where id=%id%", "id", "5", "select * from t where id=5"},
      {"select * from t where id=%ID%", "id", "5", "select * from t where id=%ID%"},
      {"%a%+%a%", "a", "1", "1+1"},
      {"%a%a%", "a", "x", "xa%"},  // no overlapping matches
      {"100%% of %%", "", "all", "100all of all"},
      {"% %", "", "x", "% %"},
      {"%id%", "id", "%id%", "%id%"},  // a value is never scanned again
      {"no markers", "id", "5", "no markers"},
      {"%n%", "n", "", ""},
  };
  for (const auto& c : cases) {
    std::string statement = c.statement;
    ReplaceParameter(statement, c.name, c.value);
    EXPECT_EQ(statement, c.expected) << c.statement << " / " << c.name;
  }
}

TEST(ReplaceParameter, EachItemWorksOnTheTextTheEarlierLeft) {
  std::string statement = "select %a%, %b%";
  ReplaceParameter(statement, "a", "%b%");
  ReplaceParameter(statement, "b", "2");
  EXPECT_EQ(statement, "select 2, 2");
}

}  // namespace
}  // namespace connection

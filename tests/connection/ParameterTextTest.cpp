#include "connection/values/ParameterText.h"

#include <gtest/gtest.h>

#include <new>
#include <random>

#include "support/AllocFailure.h"

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

// Each item in turn, on the whole text: what FillParameters must match.
std::string OneByOne(std::string statement, const std::vector<TParameter>& parameters) {
  for (const TParameter& p : parameters) ReplaceParameter(statement, p.Name, p.Value);
  return statement;
}

TEST(FillParameters, MeansWhatFillingOneItemAfterAnotherMeans) {
  struct Case {
    const char* statement;
    std::vector<TParameter> parameters;
  };
  const Case cases[] = {
      {"select %a%, %b%", {{"a", "1"}, {"b", "2"}}},
      {"%a%b%", {{"a", "x"}, {"b", "y"}}},  // the first item takes the shared sign
      {"%a%b%", {{"b", "y"}, {"a", "x"}}},
      {"%x%a%y%", {{"a", "Q"}, {"xQy", "joined"}}},  // a marker across a value
      {"%%%", {{"", "e"}}},
      {"%a%%a%", {{"a", ""}, {"", "e"}}},
      {"%a% %a% %A%", {{"a", "1"}, {"a", "2"}, {"A", "3"}}},
      {"50% of %n%", {{"n", "10"}}},
      {"select %a%, %b%", {{"a", "%b%"}, {"b", "2"}}},  // a value with a marker of its own
      {"no signs at all", {{"a", "1"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.statement);
    EXPECT_EQ(FillParameters(c.statement, c.parameters), OneByOne(c.statement, c.parameters));
  }
}

TEST(FillParameters, RandomTextsAgreeWithFillingOneByOne) {
  // Short names and texts over a small alphabet, so markers meet, share
  // signs and form across values.
  std::mt19937 random(20261209);
  const auto pick = [&](std::string_view alphabet, std::size_t longest) {
    std::string text(random() % (longest + 1), ' ');
    for (char& c : text) c = alphabet[random() % alphabet.size()];
    return text;
  };
  for (int round = 0; round < 20000; ++round) {
    const std::string statement = pick("%%ab", 14);
    std::vector<TParameter> parameters(random() % 4 + 1);
    for (TParameter& p : parameters) {
      p.Name = pick("ab", 2);
      p.Value = pick("ab", 3);
    }
    std::string items;
    for (const TParameter& p : parameters) items += " " + p.Name + "=" + p.Value;
    ASSERT_EQ(FillParameters(statement, parameters), OneByOne(statement, parameters))
        << "\"" << statement << "\"" << items;
  }
}

TEST(FillParameters, OutOfMemoryNeverGivesAPartlyFilledStatement) {
  const std::string statement = "insert into t values ('%a%', '%b%', '%b%', '50%')";
  for (const bool plain : {true, false}) {
    const std::vector<TParameter> parameters = {{"a", plain ? "1" : "1%"},
                                                {"b", std::string(1000, 'b')}};
    const std::string whole = OneByOne(statement, parameters);
    for (long nth = 1;; ++nth) {
      SCOPED_TRACE(nth);
      std::string filled;
      bool failed = false;
      {
        const FailAllocation failing(nth);
        try {
          filled = FillParameters(statement, parameters);
        } catch (const std::bad_alloc&) {
          failed = true;
        }
        if (!failing.Fired()) break;
      }
      EXPECT_TRUE(failed || filled == whole) << "the whole statement, or none";
    }
  }
}

}  // namespace
}  // namespace connection

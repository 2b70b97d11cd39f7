// The member table's own rules: lookup order, numbering beyond the table and
// the resolution of members that only table-level events know.
#include <gtest/gtest.h>

#include "AddinFailure.h"
#include "TestDalvora.h"
#include "addin/AddinHelper.h"
#include "addin/ComPtr.h"
#include "support/StandInCodePage.h"

namespace {

using addin::TAddinHelper;
using platform::TOleVariant;

class Helper : public testing::Test {
 protected:
  Helper() {
    table_.ExtensionName = "Ext";
    table_.Properties.push_back({OLESTR("b"), "a", true, false, nullptr, nullptr});
    table_.Properties.push_back({OLESTR("c"), "b", false, true, nullptr, nullptr});
    table_.Methods.push_back({OLESTR("m"), "M", 2, true, nullptr, nullptr, nullptr});
  }

  // Methods beyond the table: "Extra" is number 1 (index 0).
  void AddMethodEvents() {
    table_.OnFindMethod = [](addin::TAddin&, const std::string& name, std::int32_t& index) {
      if (name == "Extra") index = 0;
    };
    table_.OnGetMethodName = [](addin::TAddin&, addin::TOleString& name, std::int32_t index,
                                std::int32_t alias) {
      if (index == 0) name = alias == 0 ? OLESTR("Extra") : OLESTR("Доп");
    };
  }

  // The calling object the operations hand to events; not initialised.
  fake::TTestDalvora* object_ = fake::TTestDalvora::New();
  addin::TComPtr<ILanguageExtender> holder_ = addin::TComPtr<ILanguageExtender>::Attach(object_);
  addin::TAddin& sender_ = *object_;
  TAddinHelper table_;
};

TEST_F(Helper, EarlierEntryWinsAndNamesAreExact) {
  // "b" is the English name of entry 1 and the local name of entry 0.
  EXPECT_EQ(table_.FindProperty(sender_, OLESTR("b")), 0);
  EXPECT_EQ(table_.FindProperty(sender_, OLESTR("a")), 0);
  EXPECT_EQ(table_.FindProperty(sender_, OLESTR("c")), 1);
  EXPECT_EQ(table_.FindProperty(sender_, OLESTR("A")), -1);
  EXPECT_EQ(table_.FindMethod(sender_, OLESTR("Extra")), -1);
}

// A name is handed to a find event in the ANSI code page, and only when the
// code page can hold it: a '?' spelling could be another member's name.
TEST_F(Helper, NamesTheCodePageCannotHoldReachNoFindEvent) {
  std::vector<std::string> asked;
  auto find = [&asked](addin::TAddin&, const std::string& name, std::int32_t& index) {
    asked.push_back(name);
    index = 0;
  };
  table_.OnFindProperty.Attach(find);
  EXPECT_EQ(table_.FindProperty(sender_, OLESTR("_Цена")), 2);
  {
    StandInCodePage western(1252);
    EXPECT_EQ(table_.FindProperty(sender_, OLESTR("_Цена")), -1);
    EXPECT_EQ(table_.FindProperty(sender_, OLESTR("_café")), 2);
  }
  EXPECT_EQ(asked, (std::vector<std::string>{"_\xD6\xE5\xED\xE0", "_caf\xE9"}));
}

TEST_F(Helper, UnsetHandlersSucceedAndLeaveTheValue) {
  TOleVariant value(5);
  table_.GetProperty(sender_, 0, value);
  table_.SetProperty(sender_, 1, value);
  addin::TParams params;
  table_.CallAsFunc(sender_, 0, params, value);
  table_.GetDefaultParam(sender_, 0, 1, value);
  EXPECT_EQ(value.ToInt32(), 5);
  // The dispatcher checks neither flags nor parameter counts.
  EXPECT_FALSE(table_.IsPropertyReadable(sender_, 1));
  EXPECT_FALSE(table_.IsPropertyWriteable(sender_, 0));
}

TEST_F(Helper, BeyondTheTableWithoutEventsFails) {
  TOleVariant value;
  addin::TParams params;
  EXPECT_EQ(AddinFailure([&] { table_.GetProperty(sender_, 2, value); }),
            "Getting property Ext. not handled!");
  EXPECT_EQ(AddinFailure([&] { table_.SetProperty(sender_, -1, value); }),
            "Setting property Ext. not handled!");
  EXPECT_EQ(AddinFailure([&] { table_.CallAsProc(sender_, 1, params); }),
            "Method Ext. not handled!");
  EXPECT_EQ(AddinFailure([&] { table_.GetParamsCount(sender_, 1); }), "Method Ext. not handled!");
  EXPECT_FALSE(table_.IsPropertyReadable(sender_, 2));
  EXPECT_TRUE(table_.GetPropertyName(sender_, 2, 0).empty());
}

TEST_F(Helper, OperationEventWithoutNameEventStillFails) {
  bool called = false;
  auto call = [&](addin::TAddin&, const std::string&, addin::TParams&, TOleVariant&,
                  bool& handled) { called = handled = true; };
  table_.OnCallAsFunc.Attach(call);
  addin::TParams params;
  TOleVariant value;
  EXPECT_EQ(AddinFailure([&] { table_.CallAsFunc(sender_, 1, params, value); }),
            "Method Ext. not handled!");
  EXPECT_FALSE(called);
}

TEST_F(Helper, MembersBeyondTheTableThroughEvents) {
  AddMethodEvents();
  std::vector<std::string> seen;
  auto paramsCount = [&](addin::TAddin&, const std::string& name, std::int32_t& count,
                         bool& handled) {
    seen.push_back("count " + name);
    count = 4;
    handled = true;
  };
  auto hasReturnValue = [&](addin::TAddin&, const std::string& name, bool& has, bool& handled) {
    seen.push_back("value " + name);
    has = true;
    handled = true;
  };
  auto callAsProc = [&](addin::TAddin&, const std::string& name, addin::TParams& params,
                        bool& handled) {
    seen.push_back("proc " + name + " " + std::to_string(params.size()));
    handled = name == "Extra";
  };
  table_.OnGetParamsCount.Attach(paramsCount);
  table_.OnHasReturnValue.Attach(hasReturnValue);
  table_.OnCallAsProc.Attach(callAsProc);
  table_.OnGetMethodCount = [](addin::TAddin&, std::int32_t& count) { ++count; };

  EXPECT_EQ(table_.FindMethod(sender_, OLESTR("Extra")), 1);
  EXPECT_EQ(table_.GetMethodCount(sender_), 2);
  EXPECT_EQ(platform::ToAnsi(table_.GetMethodName(sender_, 1, 1)), platform::ToAnsi(OLESTR("Доп")));
  EXPECT_EQ(table_.GetParamsCount(sender_, 1), 4);
  EXPECT_TRUE(table_.HasReturnValue(sender_, 1));
  addin::TParams params(3);
  table_.CallAsProc(sender_, 1, params);
  // Number 2 has no name: the event runs with an empty name and declines.
  EXPECT_EQ(AddinFailure([&] { table_.CallAsProc(sender_, 2, params); }),
            "Method Ext. not handled!");
  EXPECT_EQ(seen,
            (std::vector<std::string>{"count Extra", "value Extra", "proc Extra 3", "proc  3"}));
}

// The host may pass any 32-bit number; the index the events see wraps
// around instead of overflowing, and an event's index that has no number
// is "not found".
TEST_F(Helper, ExtremeNumbersBeyondTheTable) {
  std::vector<std::int32_t> seen;
  auto nameOf = [&](addin::TAddin&, addin::TOleString&, std::int32_t index, std::int32_t) {
    seen.push_back(index);
  };
  table_.OnGetPropertyName.Attach(nameOf);
  table_.OnGetMethodName = table_.OnGetPropertyName;
  table_.OnFindProperty = [](addin::TAddin&, const std::string&, std::int32_t& index) {
    index = INT32_MAX;
  };
  TOleVariant value;
  EXPECT_EQ(AddinFailure([&] { table_.GetProperty(sender_, INT32_MIN, value); }),
            "Getting property Ext. not handled!");
  EXPECT_TRUE(table_.GetMethodName(sender_, INT32_MIN, 0).empty());
  EXPECT_FALSE(table_.IsPropertyWriteable(sender_, INT32_MIN + 1));
  EXPECT_EQ(seen, (std::vector<std::int32_t>{INT32_MAX - 1, INT32_MAX, INT32_MAX}));
  EXPECT_EQ(table_.FindProperty(sender_, OLESTR("far")), -1);
}

}  // namespace

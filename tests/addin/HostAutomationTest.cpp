// Late-bound calls on host objects, against the host emulator's own objects.
#include <gtest/gtest.h>

#include "AddinFailure.h"
#include "addin/AddinHelper.h"
#include "addin/HostAutomation.h"
#include "host/ValueList.h"
#include "host/ValueTable.h"

namespace {

using platform::TOleVariant;

TEST(HostAutomation, CallsWithResultsAndReferences) {
  TOleVariant list = host::Adopt(new host::TValueList(host::TDialect::Expression));
  addin::HostProcedure(list, "AddValue", {TOleVariant(5), TOleVariant("id")});
  EXPECT_EQ(addin::HostFunction(list, "GetListSize", {addin::OmittedArg()}).ToInt32(), 1);
  TOleVariant presentation;
  const TOleVariant value =
      addin::HostFunction(list, "GetValue", {TOleVariant(1), addin::ByRef(presentation)});
  EXPECT_EQ(value.ToInt32(), 5);
  EXPECT_EQ(presentation.ToString(), "id");
}

TEST(HostAutomation, PropertyPutAndObjectsFromCalls) {
  TOleVariant table = host::Adopt(new host::TValueTable(host::TDialect::Object));
  TOleVariant columns = addin::HostFunction(table, "Columns");
  addin::HostProcedure(columns, "Add", {TOleVariant("a")});
  TOleVariant column = addin::HostFunction(columns, "Get", {TOleVariant(0)});
  addin::HostPut(column, "Name", TOleVariant("b"));
  EXPECT_EQ(addin::HostFunction(column, "Name").ToString(), "b");
}

TEST(HostAutomation, FailuresNameTheMemberAndTheCause) {
  TOleVariant list = host::Adopt(new host::TValueList(host::TDialect::Object));
  EXPECT_EQ(AddinFailure([&] { addin::HostProcedure(list, "AddValue"); }),
            "Host object has no member AddValue (0x80020006)");
  EXPECT_EQ(AddinFailure([&] { addin::HostFunction(list, "GetValue", {TOleVariant(3)}); }),
            "Host call GetValue failed (0x80020009): GetValue: no item 3");
  EXPECT_EQ(AddinFailure([&] { addin::HostFunction(TOleVariant(1), "Count"); }),
            "Host call Count on a value that is not an object");
  EXPECT_EQ(AddinFailure([&] { addin::HostProcedure(static_cast<IDispatch*>(nullptr), "Count"); }),
            "Host call Count on no object");
}

}  // namespace

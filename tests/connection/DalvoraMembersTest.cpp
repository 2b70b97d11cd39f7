// The module's member table, checked for what any sound table must be rather
// than against a copy of it: what the host sees of each entry is what its
// flags in the member list say, and every name finds its own entry. The
// script suites show the members themselves at work.
#include <gtest/gtest.h>

#include "connection/OrbelinModule.h"
#include "platform/os/CodePage.h"

namespace connection {
namespace {

const addin::TAddinHelper& Table() {
  return Module().AddinHelper();
}

TEST(DalvoraMembers, EntriesHaveTheHandlersTheirFlagsCallFor) {
  const addin::TAddinHelper& table = Table();
  EXPECT_EQ(table.ExtensionName, "Dalvora");
  ASSERT_EQ(table.Properties.size(), kDalvoraProperties.size());
  ASSERT_EQ(table.Methods.size(), kDalvoraMethods.size());

  for (std::size_t i = 0; i < table.Properties.size(); ++i) {
    const addin::TPropertiesItem& item = table.Properties[i];
    const bool writeable = kDalvoraProperties[i].Access == TAccess::ReadWrite;
    EXPECT_TRUE(item.IsReadable && item.OnGet) << item.Name;
    EXPECT_EQ(item.IsWriteable, writeable) << item.Name;
    EXPECT_EQ(static_cast<bool>(item.OnSet), writeable) << item.Name;
  }
  for (std::size_t i = 0; i < table.Methods.size(); ++i) {
    const addin::TMethodsItem& item = table.Methods[i];
    const TMethodDefinition& definition = kDalvoraMethods[i];
    EXPECT_EQ(static_cast<bool>(item.OnGetDefaultParam),
              definition.DefaultParam == TDefaultParam::Def)
        << item.Name;
    EXPECT_EQ(static_cast<bool>(item.OnCallAsProc), definition.Procedure != TProcedure::NoProc)
        << item.Name;
    EXPECT_EQ(static_cast<bool>(item.OnCallAsFunc), definition.Function == TFunction::Func)
        << item.Name;

    // Whatever the list says, a method can be called, one that yields a
    // value has a function, and defaults exist only for parameters.
    EXPECT_TRUE(item.OnCallAsProc || item.OnCallAsFunc) << item.Name;
    EXPECT_TRUE(!item.ReturnValue || item.OnCallAsFunc) << item.Name;
    EXPECT_TRUE(!item.OnGetDefaultParam || item.ParamsCount > 0) << item.Name;
    EXPECT_GE(item.ParamsCount, 0) << item.Name;
  }

  // Only the field properties live beyond the table, and they are read-only.
  EXPECT_TRUE(table.OnGetProperty && table.OnFindProperty && table.OnGetPropertyName &&
              table.OnGetPropertyCount && table.OnIsPropertyReadable &&
              table.OnIsPropertyWriteable);
  EXPECT_FALSE(table.OnSetProperty || table.OnFindMethod || table.OnGetMethodName ||
               table.OnGetMethodCount || table.OnCallAsProc || table.OnCallAsFunc ||
               table.OnGetDefaultParam || table.OnGetParamsCount || table.OnHasReturnValue);
}

// Each name, English or Russian, finds its own entry: no name is taken twice,
// in one language or across the two.
TEST(DalvoraMembers, EveryNameIsUnique) {
  const addin::TAddinHelper& table = Table();
  for (std::size_t i = 0; i < table.Properties.size(); ++i) {
    EXPECT_FALSE(table.Properties[i].AlternativeName.empty()) << table.Properties[i].Name;
    EXPECT_EQ(table.IndexOfProperty(platform::FromAnsi(table.Properties[i].Name)),
              static_cast<std::int32_t>(i));
    EXPECT_EQ(table.IndexOfProperty(table.Properties[i].AlternativeName),
              static_cast<std::int32_t>(i));
  }
  for (std::size_t i = 0; i < table.Methods.size(); ++i) {
    EXPECT_FALSE(table.Methods[i].AlternativeName.empty()) << table.Methods[i].Name;
    EXPECT_EQ(table.IndexOfMethod(platform::FromAnsi(table.Methods[i].Name)),
              static_cast<std::int32_t>(i));
    EXPECT_EQ(table.IndexOfMethod(table.Methods[i].AlternativeName), static_cast<std::int32_t>(i));
  }
}

}  // namespace
}  // namespace connection

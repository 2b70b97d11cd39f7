// The connection object's member table as data and the handler attachment.
#include <gtest/gtest.h>

#include "addin/TestDalvora.h"
#include "connection/com/DalvoraMembers.h"
#include "platform/os/CodePage.h"

namespace {

using connection::BuildDalvoraMemberTable;

TEST(DalvoraMembers, TableShape) {
  const addin::TAddinHelper table = BuildDalvoraMemberTable(fake::TestHandlers());
  EXPECT_EQ(table.ExtensionName, "Dalvora");
  ASSERT_EQ(table.Properties.size(), 18u);
  ASSERT_EQ(table.Methods.size(), 45u);
  // Russian names are held in UTF-16, whatever the ANSI code page.
  EXPECT_EQ(table.Properties[0].AlternativeName, OLESTR("Сервер"));
  EXPECT_EQ(table.IndexOfProperty(OLESTR("ГнездоUnix")), 3);
  EXPECT_EQ(table.IndexOfProperty(OLESTR("UseNewPassword")), 17);
  EXPECT_EQ(table.IndexOfMethod(OLESTR("ПолучитьПараметрыПоля")), 32);
  EXPECT_EQ(table.IndexOfMethod(OLESTR("FetchAll")), 41);

  struct {
    const char* Name;
    std::int32_t Params;
    bool Value, Def, Proc, Func;
  } const methods[] = {
      {"Status", 0, true, false, false, true},  {"Connect", 0, true, false, true, true},
      {"Close", 0, false, false, true, false},  {"ChangeUser", 3, true, true, true, true},
      {"Query", 3, true, true, true, true},     {"Execute", 2, true, true, true, true},
      {"FieldDef", 2, true, true, false, true}, {"Locate", 1, false, false, true, false},
      {"FillAll", 1, false, false, true, true}, {"Clone", 0, true, false, false, true},
  };
  for (const auto& m : methods) {
    const std::int32_t index = table.IndexOfMethod(platform::FromAnsi(m.Name));
    ASSERT_GE(index, 0) << m.Name;
    const addin::TMethodsItem& item = table.Methods[static_cast<std::size_t>(index)];
    EXPECT_EQ(item.ParamsCount, m.Params) << m.Name;
    EXPECT_EQ(item.ReturnValue, m.Value) << m.Name;
    EXPECT_EQ(static_cast<bool>(item.OnGetDefaultParam), m.Def) << m.Name;
    EXPECT_EQ(static_cast<bool>(item.OnCallAsProc), m.Proc) << m.Name;
    EXPECT_EQ(static_cast<bool>(item.OnCallAsFunc), m.Func) << m.Name;
  }
  for (const addin::TPropertiesItem& p : table.Properties) {
    EXPECT_TRUE(p.IsReadable && p.OnGet) << p.Name;
    EXPECT_EQ(static_cast<bool>(p.OnSet), p.IsWriteable) << p.Name;
  }
  EXPECT_FALSE(table.Properties[12].IsWriteable);  // RecNo
  EXPECT_TRUE(table.Properties[16].IsWriteable);   // AutoType
  EXPECT_TRUE(table.OnFindProperty && table.OnGetPropertyName && table.OnGetProperty);
  EXPECT_FALSE(table.OnSetProperty || table.OnFindMethod || table.OnCallAsFunc);
}

TEST(DalvoraMembers, EveryNameIsUnique) {
  const addin::TAddinHelper table = BuildDalvoraMemberTable(fake::TestHandlers());
  for (std::size_t i = 0; i < table.Properties.size(); ++i) {
    EXPECT_EQ(table.IndexOfProperty(platform::FromAnsi(table.Properties[i].Name)),
              static_cast<std::int32_t>(i));
    EXPECT_EQ(table.IndexOfProperty(table.Properties[i].AlternativeName),
              static_cast<std::int32_t>(i));
  }
  for (std::size_t i = 0; i < table.Methods.size(); ++i) {
    EXPECT_EQ(table.IndexOfMethod(platform::FromAnsi(table.Methods[i].Name)),
              static_cast<std::int32_t>(i));
    EXPECT_EQ(table.IndexOfMethod(table.Methods[i].AlternativeName), static_cast<std::int32_t>(i));
  }
}

std::string BuildError(const connection::TDalvoraHandlers& handlers) {
  try {
    BuildDalvoraMemberTable(handlers);
  } catch (const addin::TAddinError& error) {
    return error.what();
  }
  return "(built)";
}

TEST(DalvoraMembers, HandlerNamesMustMatchTheTable) {
  auto missingGetter = fake::TestHandlers();
  missingGetter.Properties.erase("AddinHelperPropertiesRecNoGet");
  EXPECT_EQ(BuildError(missingGetter),
            "Member table handler AddinHelperPropertiesRecNoGet is missing");

  auto missingDefault = fake::TestHandlers();
  missingDefault.DefaultParams.erase("AddinHelperMethodsChangeUserGetDefaultParam");
  EXPECT_EQ(BuildError(missingDefault),
            "Member table handler AddinHelperMethodsChangeUserGetDefaultParam is missing");

  auto misspelt = fake::TestHandlers();
  misspelt.Functions["AddinHelperMethodsQeuryCallAsFunc"] =
      misspelt.Functions["AddinHelperMethodsQueryCallAsFunc"];
  EXPECT_EQ(BuildError(misspelt),
            "Handler AddinHelperMethodsQeuryCallAsFunc belongs to no member of the table");

  // A read-only property has no setter, a procedure-only method no function.
  auto setterOfReadOnly = fake::TestHandlers();
  setterOfReadOnly.Properties["AddinHelperPropertiesRecNoSet"] = [](addin::TAddin&,
                                                                    platform::TOleVariant&) {};
  EXPECT_EQ(BuildError(setterOfReadOnly),
            "Handler AddinHelperPropertiesRecNoSet belongs to no member of the table");

  auto missingEvent = fake::TestHandlers();
  missingEvent.AddinHelperFindProperty = nullptr;
  EXPECT_EQ(BuildError(missingEvent), "Member table handler AddinHelperFindProperty is missing");

  EXPECT_EQ(BuildError(fake::TestHandlers()), "(built)");
}

}  // namespace

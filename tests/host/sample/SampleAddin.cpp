// A small add-in for the runner tests: its own member table on the shared
// bridge, the shared class factory and the DLL's class-object export.
#include <string>

#include "addin/AddinClassId.h"
#include "addin/AddinComObjectUnit.h"
#include "addin/ClassFactory.h"
#include "addin/ComServer.h"
#include "addin/HostAutomation.h"
#include "platform/os/CodePage.h"

namespace {

using addin::TAddin;
using addin::TParams;
using platform::TOleVariant;

class TSample final : public TAddin {
 public:
  static IUnknown* Create() { return static_cast<ILanguageExtender*>(new TSample()); }
  static TSample& Of(TAddin& sender) { return static_cast<TSample&>(sender); }

  std::string Name;
  std::int32_t Counter = 0;

 protected:
  HRESULT DoInit() override;

 private:
  ~TSample() override = default;
};

TOleVariant NewHostObject(TAddin& sender, const char* kind) {
  TOleVariant app = sender.GetAppDispatch();
  if (sender.ExpressionDialect())
    return addin::HostFunction(app, "EvalExpr",
                               {TOleVariant(std::string("CreateObject(\"") + kind + "\")")});
  return addin::HostFunction(app, "NewObject", {TOleVariant(kind)});
}

TOleVariant MakeTable(TAddin& sender) {
  TOleVariant table = NewHostObject(sender, "ValueTable");
  const char* names[] = {"id", "name"};
  const TOleVariant rows[2][2] = {{TOleVariant(1), TOleVariant("one")},
                                  {TOleVariant(2), TOleVariant("two")}};
  if (sender.ExpressionDialect()) {
    for (const char* name : names) addin::HostProcedure(table, "NewColumn", {name, ""});
    for (std::int32_t line = 1; line <= 2; ++line) {
      TOleVariant lineNumber(line);
      addin::HostProcedure(table, "NewLine", {addin::ByRef(lineNumber)});
      for (std::int32_t column = 0; column < 2; ++column)
        addin::HostProcedure(table, "SetValue",
                             {addin::ByRef(lineNumber), column + 1, rows[line - 1][column]});
    }
  } else {
    TOleVariant columns = addin::HostFunction(table, "Columns");
    for (const char* name : names) addin::HostProcedure(columns, "Add", {name});
    for (const auto& cells : rows) {
      TOleVariant row = addin::HostFunction(table, "Add", {addin::OmittedArg()});
      for (std::int32_t column = 0; column < 2; ++column)
        addin::HostProcedure(row, "Set", {column, cells[column]});
    }
  }
  return table;
}

TOleVariant MakeList(TAddin& sender) {
  TOleVariant list = NewHostObject(sender, "ValueList");
  const char* add = sender.ExpressionDialect() ? "AddValue" : "Add";
  addin::HostProcedure(list, add, {5, "id"});
  addin::HostProcedure(list, add, {"Ivan", "name"});
  return list;
}

TOleVariant Kind(const std::string& kind) {
  if (kind == "date") return TOleVariant::Date(45351.5);  // 2024-02-29 12:00
  if (kind == "day") return TOleVariant::Date(45351);
  if (kind == "bool") return TOleVariant::Boolean(true);
  if (kind == "error") return TOleVariant::Error(DISP_E_PARAMNOTFOUND);
  if (kind == "i8") return TOleVariant(std::int64_t{1} << 40);
  if (kind == "r8") return TOleVariant(0.4375);
  if (kind == "null") return TOleVariant::Null();
  if (kind == "text") return TOleVariant("say \"hi\"");
  return TOleVariant();
}

void Swap(TAddin&, TParams& p) {
  std::swap(p[0], p[1]);
}

addin::TAddinHelper BuildTable() {
  addin::TAddinHelper table;
  table.ExtensionName = "Sample";

  table.Properties.push_back(
      {OLESTR("Имя"), "Name", true, true,
       [](TAddin& s, TOleVariant& v) { v = TOleVariant(TSample::Of(s).Name); },
       [](TAddin& s, TOleVariant& v) { TSample::Of(s).Name = v.ToString(); }});
  table.Properties.push_back({OLESTR("Счетчик"), "Counter", true, false,
                              [](TAddin& s, TOleVariant& v) { v = TSample::Of(s).Counter; },
                              nullptr});
  table.Properties.push_back(
      {OLESTR("Сломано"), "Broken", true, false,
       [](TAddin&, TOleVariant&) { throw addin::TAddinError("Broken property"); }, nullptr});
  table.Properties.push_back({OLESTR("Диалект"), "Dialect", true, false,
                              [](TAddin& s, TOleVariant& v) {
                                v = TOleVariant(s.ExpressionDialect() ? "expression" : "object");
                              },
                              nullptr});

  table.Methods.push_back(
      {OLESTR("Сумма"), "Sum", 2, true, nullptr, nullptr,
       [](TAddin&, TParams& p, TOleVariant& r) { r = p[0].ToInt32() + p[1].ToInt32(); }});
  table.Methods.push_back({OLESTR("Обменять"), "Swap", 2, false, nullptr, Swap,
                           [](TAddin& s, TParams& p, TOleVariant& r) {
                             Swap(s, p);
                             r = 1;
                           }});
  table.Methods.push_back({OLESTR("Выбрать"), "Pick", 3, true,
                           [](TAddin&, std::int32_t index, TOleVariant& v) {
                             if (index == 2) v = TOleVariant("two");
                           },
                           nullptr,
                           [](TAddin&, TParams& p, TOleVariant& r) {
                             r = p.at(static_cast<std::size_t>(p[0].ToInt32()));
                           }});
  table.Methods.push_back({OLESTR("Испортить"), "Spoil", 1, false, nullptr,
                           [](TAddin&, TParams& p) {
                             p[0] = TOleVariant("spoiled");
                             throw addin::TAddinError("Spoil failed");
                           },
                           nullptr});
  table.Methods.push_back({OLESTR("Вид"), "Kind", 1, true, nullptr, nullptr,
                           [](TAddin&, TParams& p, TOleVariant& r) { r = Kind(p[0].ToString()); }});
  table.Methods.push_back({OLESTR("Расширить"), "Widen", 2, false, nullptr,
                           [](TAddin&, TParams& p) {
                             p[0] = TOleVariant(std::int64_t{7});
                             p[1] = TOleVariant(std::int64_t{1} << 40);
                           },
                           nullptr});
  table.Methods.push_back({OLESTR("Состояние"), "Status", 1, false, nullptr,
                           [](TAddin& s, TParams& p) {
                             const platform::TOleString text = p[0].ToWide();
                             BSTR line =
                                 SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
                             s.StatusLine()->SetStatusLine(line);
                             SysFreeString(line);
                             s.StatusLine()->ResetStatusLine();
                           },
                           nullptr});
  table.Methods.push_back({OLESTR("Таблица"), "MakeTable", 0, true, nullptr, nullptr,
                           [](TAddin& s, TParams&, TOleVariant& r) { r = MakeTable(s); }});
  table.Methods.push_back({OLESTR("Список"), "MakeList", 0, true, nullptr, nullptr,
                           [](TAddin& s, TParams&, TOleVariant& r) { r = MakeList(s); }});
  table.Methods.push_back({OLESTR("Двойник"), "Twin", 0, true, nullptr, nullptr,
                           [](TAddin& s, TParams&, TOleVariant& r) {
                             TOleVariant app = s.GetAppDispatch();
                             const char* create =
                                 s.ExpressionDialect() ? "CreateObject" : "NewObject";
                             TOleVariant twin = addin::HostFunction(app, create, {"AddIn.Sample"});
                             addin::HostPut(twin, "Name", TOleVariant(TSample::Of(s).Name + "2"));
                             addin::HostProcedure(twin, "Bump");
                             r = twin;
                           }});
  table.Methods.push_back({OLESTR("Прибавить"), "Bump", 0, false, nullptr,
                           [](TAddin& s, TParams&) { ++TSample::Of(s).Counter; }, nullptr});
  // Members beyond the table, like field properties: "_1" to "_<Counter>",
  // numbered backwards, so a name's number changes with every Bump.
  table.OnFindProperty = [](TAddin& s, const std::string& name, std::int32_t& index) {
    const std::int32_t count = TSample::Of(s).Counter;
    for (std::int32_t n = 1; n <= count; ++n)
      if (name == "_" + std::to_string(n)) index = count - n;
  };
  table.OnGetPropertyName = [](TAddin& s, addin::TOleString& name, std::int32_t index,
                               std::int32_t) {
    const std::int32_t count = TSample::Of(s).Counter;
    if (index >= 0 && index < count) name = platform::FromAnsi("_" + std::to_string(count - index));
  };
  table.OnGetProperty = [](TAddin&, const std::string& name, TOleVariant& value, bool& handled) {
    value = TOleVariant(name);
    handled = true;
  };
  return table;
}

const addin::TAddinHelper& SampleTable() {
  static const addin::TAddinHelper table = BuildTable();
  return table;
}

HRESULT TSample::DoInit() {
  SetMemberTable(SampleTable());
  return TAddin::DoInit();
}

addin::TClassFactory Factory(addin::CLSID_Dalvora, &TSample::Create);

}  // namespace

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID rclsid,
                                                                            REFIID riid,
                                                                            void** ppv) {
  return Factory.GetClassObject(rclsid, riid, ppv);
}

extern "C" __attribute__((visibility("default"))) HRESULT DllCanUnloadNow() {
  return addin::CanUnloadModule();
}

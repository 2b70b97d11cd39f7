// A small add-in for the runner tests: its own member table on the shared
// bridge, the shared class factory and the DLL's class-object export.
#include <string>

#include "addin/AddinClassId.h"
#include "addin/AddinComObjectUnit.h"
#include "addin/ClassFactory.h"
#include "addin/ComServer.h"
#include "addin/HostAutomation.h"
#include "platform/codepage.h"

namespace {

using addin::TAddin;
using addin::TParams;
using platform::OleVariant;

class TSample final : public TAddin {
 public:
  static IUnknown* Create() { return static_cast<ILanguageExtender*>(new TSample()); }
  static TSample& Of(TAddin& sender) { return static_cast<TSample&>(sender); }

  std::string Name;
  int32_t Counter = 0;

 protected:
  HRESULT DoInit() override;

 private:
  ~TSample() override = default;
};

OleVariant NewHostObject(TAddin& sender, const char* kind) {
  OleVariant app = sender.GetAppDispatch();
  if (sender.ExpressionDialect())
    return addin::HostFunction(app, "EvalExpr",
                               {OleVariant(std::string("CreateObject(\"") + kind + "\")")});
  return addin::HostFunction(app, "NewObject", {OleVariant(kind)});
}

OleVariant MakeTable(TAddin& sender) {
  OleVariant table = NewHostObject(sender, "ValueTable");
  const char* names[] = {"id", "name"};
  const OleVariant rows[2][2] = {{OleVariant(1), OleVariant("one")},
                                 {OleVariant(2), OleVariant("two")}};
  if (sender.ExpressionDialect()) {
    for (const char* name : names) addin::HostProcedure(table, "NewColumn", {name, ""});
    for (int32_t line = 1; line <= 2; ++line) {
      OleVariant lineNumber(line);
      addin::HostProcedure(table, "NewLine", {addin::ByRef(lineNumber)});
      for (int32_t column = 0; column < 2; ++column)
        addin::HostProcedure(table, "SetValue",
                             {addin::ByRef(lineNumber), column + 1, rows[line - 1][column]});
    }
  } else {
    OleVariant columns = addin::HostFunction(table, "Columns");
    for (const char* name : names) addin::HostProcedure(columns, "Add", {name});
    for (const auto& cells : rows) {
      OleVariant row = addin::HostFunction(table, "Add", {addin::OmittedArg()});
      for (int32_t column = 0; column < 2; ++column)
        addin::HostProcedure(row, "Set", {column, cells[column]});
    }
  }
  return table;
}

OleVariant MakeList(TAddin& sender) {
  OleVariant list = NewHostObject(sender, "ValueList");
  const char* add = sender.ExpressionDialect() ? "AddValue" : "Add";
  addin::HostProcedure(list, add, {5, "id"});
  addin::HostProcedure(list, add, {"Ivan", "name"});
  return list;
}

OleVariant Kind(const std::string& kind) {
  if (kind == "date") return OleVariant::Date(45351.5);  // 2024-02-29 12:00
  if (kind == "day") return OleVariant::Date(45351);
  if (kind == "bool") return OleVariant::Boolean(true);
  if (kind == "error") return OleVariant::Error(DISP_E_PARAMNOTFOUND);
  if (kind == "i8") return OleVariant(int64_t{1} << 40);
  if (kind == "r8") return OleVariant(0.4375);
  if (kind == "null") return OleVariant::Null();
  if (kind == "text") return OleVariant("say \"hi\"");
  return OleVariant();
}

addin::TAddinHelper BuildTable() {
  addin::TAddinHelper table;
  table.ExtensionName = "Sample";

  table.Properties.push_back(
      {OLESTR("Имя"), "Name", true, true,
       [](TAddin& s, OleVariant& v) { v = OleVariant(TSample::Of(s).Name); },
       [](TAddin& s, OleVariant& v) { TSample::Of(s).Name = v.ToString(); }});
  table.Properties.push_back({OLESTR("Счетчик"), "Counter", true, false,
                              [](TAddin& s, OleVariant& v) { v = TSample::Of(s).Counter; },
                              nullptr});
  table.Properties.push_back(
      {OLESTR("Сломано"), "Broken", true, false,
       [](TAddin&, OleVariant&) { throw addin::TAddinError("Broken property"); }, nullptr});
  table.Properties.push_back({OLESTR("Диалект"), "Dialect", true, false,
                              [](TAddin& s, OleVariant& v) {
                                v = OleVariant(s.ExpressionDialect() ? "expression" : "object");
                              },
                              nullptr});

  const auto swap = [](TAddin&, TParams& p) { std::swap(p[0], p[1]); };
  table.Methods.push_back(
      {OLESTR("Сумма"), "Sum", 2, true, nullptr, nullptr,
       [](TAddin&, TParams& p, OleVariant& r) { r = p[0].ToInt32() + p[1].ToInt32(); }});
  table.Methods.push_back({OLESTR("Обменять"), "Swap", 2, false, nullptr, swap,
                           [swap](TAddin& s, TParams& p, OleVariant& r) {
                             swap(s, p);
                             r = 1;
                           }});
  table.Methods.push_back(
      {OLESTR("Выбрать"), "Pick", 3, true,
       [](TAddin&, int32_t index, OleVariant& v) {
         if (index == 2) v = OleVariant("two");
       },
       nullptr,
       [](TAddin&, TParams& p, OleVariant& r) { r = p.at(static_cast<size_t>(p[0].ToInt32())); }});
  table.Methods.push_back({OLESTR("Испортить"), "Spoil", 1, false, nullptr,
                           [](TAddin&, TParams& p) {
                             p[0] = OleVariant("spoiled");
                             throw addin::TAddinError("Spoil failed");
                           },
                           nullptr});
  table.Methods.push_back({OLESTR("Вид"), "Kind", 1, true, nullptr, nullptr,
                           [](TAddin&, TParams& p, OleVariant& r) { r = Kind(p[0].ToString()); }});
  table.Methods.push_back({OLESTR("Расширить"), "Widen", 2, false, nullptr,
                           [](TAddin&, TParams& p) {
                             p[0] = OleVariant(int64_t{7});
                             p[1] = OleVariant(int64_t{1} << 40);
                           },
                           nullptr});
  table.Methods.push_back({OLESTR("Состояние"), "Status", 1, false, nullptr,
                           [](TAddin& s, TParams& p) {
                             const platform::OleString text = p[0].ToWide();
                             BSTR line =
                                 SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
                             s.StatusLine()->SetStatusLine(line);
                             SysFreeString(line);
                             s.StatusLine()->ResetStatusLine();
                           },
                           nullptr});
  table.Methods.push_back({OLESTR("Таблица"), "MakeTable", 0, true, nullptr, nullptr,
                           [](TAddin& s, TParams&, OleVariant& r) { r = MakeTable(s); }});
  table.Methods.push_back({OLESTR("Список"), "MakeList", 0, true, nullptr, nullptr,
                           [](TAddin& s, TParams&, OleVariant& r) { r = MakeList(s); }});
  table.Methods.push_back({OLESTR("Двойник"), "Twin", 0, true, nullptr, nullptr,
                           [](TAddin& s, TParams&, OleVariant& r) {
                             OleVariant app = s.GetAppDispatch();
                             const char* create =
                                 s.ExpressionDialect() ? "CreateObject" : "NewObject";
                             OleVariant twin = addin::HostFunction(app, create, {"AddIn.Sample"});
                             addin::HostPut(twin, "Name", OleVariant(TSample::Of(s).Name + "2"));
                             addin::HostProcedure(twin, "Bump");
                             r = twin;
                           }});
  table.Methods.push_back({OLESTR("Прибавить"), "Bump", 0, false, nullptr,
                           [](TAddin& s, TParams&) { ++TSample::Of(s).Counter; }, nullptr});
  // Members beyond the table, like field properties: "_1" to "_<Counter>",
  // numbered backwards, so a name's number changes with every Bump.
  table.OnFindProperty = [](TAddin& s, const std::string& name, int32_t& index) {
    const int32_t count = TSample::Of(s).Counter;
    for (int32_t n = 1; n <= count; ++n)
      if (name == "_" + std::to_string(n)) index = count - n;
  };
  table.OnGetPropertyName = [](TAddin& s, addin::TOleString& name, int32_t index, int32_t) {
    const int32_t count = TSample::Of(s).Counter;
    if (index >= 0 && index < count) name = platform::FromAnsi("_" + std::to_string(count - index));
  };
  table.OnGetProperty = [](TAddin&, const std::string& name, OleVariant& value, bool& handled) {
    value = OleVariant(name);
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

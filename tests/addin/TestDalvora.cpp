#include "TestDalvora.h"

#include <deque>

#include "connection/com/DalvoraMembers.h"

namespace fake {

namespace {

using addin::TAddin;
using addin::TParams;
using platform::TOleVariant;

// Stands in for every handler of one member.
struct TTestMember {
  std::string Name;

  void Get(TAddin& sender, TOleVariant& value) {
    auto& values = TTestDalvora::Of(sender).Values;
    value = values.count(Name) ? values[Name] : TOleVariant(Name);
  }
  void Set(TAddin& sender, TOleVariant& value) { TTestDalvora::Of(sender).Values[Name] = value; }
  void DefaultParam(TAddin&, std::int32_t index, TOleVariant& value) { value = index * 10; }
  void Proc(TAddin& sender, TParams& params) {
    TTestDalvora::Of(sender).Calls.push_back(Name + "/" + std::to_string(params.size()));
  }
  void Func(TAddin&, TParams&, TOleVariant& result) { result = TOleVariant(Name); }
};

addin::TAddinHelper TestMemberTable() {
  static std::deque<TTestMember> members;
  addin::TAddinHelper t = connection::DalvoraMemberTable();
  for (addin::TPropertiesItem& item : t.Properties) {
    TTestMember& member = members.emplace_back(TTestMember{item.Name});
    item.OnGet.Attach<&TTestMember::Get>(member);
    if (item.IsWriteable) item.OnSet.Attach<&TTestMember::Set>(member);
  }
  // The table holds the methods in the list's order.
  for (std::size_t i = 0; i < t.Methods.size(); ++i) {
    const connection::TMethodDefinition& definition = connection::kDalvoraMethods[i];
    addin::TMethodsItem& item = t.Methods[i];
    TTestMember& member = members.emplace_back(TTestMember{item.Name});
    if (definition.DefaultParam == connection::TDefaultParam::Def)
      item.OnGetDefaultParam.Attach<&TTestMember::DefaultParam>(member);
    if (definition.Procedure != connection::TProcedure::NoProc)
      item.OnCallAsProc.Attach<&TTestMember::Proc>(member);
    if (definition.Function == connection::TFunction::Func)
      item.OnCallAsFunc.Attach<&TTestMember::Func>(member);
  }
  const auto property = [&t](const OLECHAR* name) -> addin::TPropertiesItem& {
    return t.Properties.at(static_cast<std::size_t>(t.IndexOfProperty(name)));
  };
  const auto method = [&t](const OLECHAR* name) -> addin::TMethodsItem& {
    return t.Methods.at(static_cast<std::size_t>(t.IndexOfMethod(name)));
  };

  // Stores a value, then fails.
  property(OLESTR("Password")).OnGet = [](TAddin&, TOleVariant& v) {
    v = TOleVariant("partial");
    throw addin::TAddinError("Password is secret");
  };
  // Rewrites every parameter with kinds the host must have converted.
  method(OLESTR("Query")).OnCallAsFunc = [](TAddin&, TParams& p, TOleVariant& r) {
    p.at(0) = TOleVariant("changed");
    p.at(1) = TOleVariant(std::int64_t{5});
    p.at(2) = TOleVariant(std::int64_t{1} << 40);
    r = 1;
  };
  // Changes its parameter and the result, then fails.
  method(OLESTR("SelectDb")).OnCallAsFunc = [](TAddin&, TParams& p, TOleVariant& r) {
    p.at(0) = TOleVariant("spoiled");
    r = 9;
    throw addin::TAddinError("SelectDb failed");
  };
  // Records what arrived, and answers through the parameters.
  method(OLESTR("ChangeUser")).OnCallAsProc = [](TAddin& s, TParams& p) {
    std::string seen;
    for (const TOleVariant& v : p) seen += (v.IsError() ? "omitted" : v.ToString()) + ";";
    TTestDalvora::Of(s).Calls.push_back("ChangeUser " + seen);
    for (std::size_t i = 0; i < p.size(); ++i) p[i] = static_cast<std::int32_t>(100 * (i + 1));
  };

  // One member beyond the table: the read-only field property "_x".
  t.OnFindProperty = [](TAddin&, const std::string& name, std::int32_t& index) {
    if (name == "_x") index = 0;
  };
  t.OnGetPropertyName = [](TAddin&, addin::TOleString& name, std::int32_t index, std::int32_t) {
    if (index == 0) name = OLESTR("_x");
  };
  t.OnGetPropertyCount = [](TAddin&, std::int32_t&) {};
  t.OnGetProperty = [](TAddin&, const std::string& name, TOleVariant& v, bool& handled) {
    if (name != "_x") return;
    v = TOleVariant("field");
    handled = true;
  };
  t.OnIsPropertyReadable = [](TAddin&, const std::string& name, bool& readable) {
    readable = name == "_x";
  };
  t.OnIsPropertyWriteable = [](TAddin&, const std::string&, bool&) {};
  return t;
}

}  // namespace

HRESULT TTestDalvora::DoInit() {
  static const addin::TAddinHelper table = TestMemberTable();
  SetMemberTable(table);
  return TAddin::DoInit();
}

}  // namespace fake

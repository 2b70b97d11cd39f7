#include "TestDalvora.h"

namespace fake {

using addin::TAddin;
using addin::TParams;
using platform::TOleVariant;

connection::TDalvoraHandlers TestHandlers() {
  connection::TDalvoraHandlers h;
  for (const auto& p : connection::kDalvoraProperties) {
    const std::string name = p.Name;
    h.Properties["AddinHelperProperties" + name + "Get"] = [name](TAddin& s, TOleVariant& v) {
      auto& values = TTestDalvora::Of(s).Values;
      v = values.count(name) ? values[name] : TOleVariant(name);
    };
    if (p.IsWriteable)
      h.Properties["AddinHelperProperties" + name + "Set"] = [name](TAddin& s, TOleVariant& v) {
        TTestDalvora::Of(s).Values[name] = v;
      };
  }
  for (const auto& m : connection::kDalvoraMethods) {
    const std::string name = m.Name;
    const std::string prefix = "AddinHelperMethods" + name;
    if (m.HasDefaultParam)
      h.DefaultParams[prefix + "GetDefaultParam"] = [](TAddin&, std::int32_t index,
                                                       TOleVariant& v) { v = index * 10; };
    if (m.HasProc)
      h.Procedures[prefix + "CallAsProc"] = [name](TAddin& s, TParams& p) {
        TTestDalvora::Of(s).Calls.push_back(name + "/" + std::to_string(p.size()));
      };
    if (m.HasFunc)
      h.Functions[prefix + "CallAsFunc"] = [name](TAddin&, TParams&, TOleVariant& r) {
        r = TOleVariant(name);
      };
  }

  // Stores a value, then fails.
  h.Properties["AddinHelperPropertiesPasswordGet"] = [](TAddin&, TOleVariant& v) {
    v = TOleVariant("partial");
    throw addin::TAddinError("Password is secret");
  };
  // Rewrites every parameter with kinds the host must have converted.
  h.Functions["AddinHelperMethodsQueryCallAsFunc"] = [](TAddin&, TParams& p, TOleVariant& r) {
    p.at(0) = TOleVariant("changed");
    p.at(1) = TOleVariant(std::int64_t{5});
    p.at(2) = TOleVariant(std::int64_t{1} << 40);
    r = 1;
  };
  // Changes its parameter and the result, then fails.
  h.Functions["AddinHelperMethodsSelectDbCallAsFunc"] = [](TAddin&, TParams& p, TOleVariant& r) {
    p.at(0) = TOleVariant("spoiled");
    r = 9;
    throw addin::TAddinError("SelectDb failed");
  };
  // Records what arrived, and answers through the parameters.
  h.Procedures["AddinHelperMethodsChangeUserCallAsProc"] = [](TAddin& s, TParams& p) {
    std::string seen;
    for (const TOleVariant& v : p) seen += (v.IsError() ? "omitted" : v.ToString()) + ";";
    TTestDalvora::Of(s).Calls.push_back("ChangeUser " + seen);
    for (std::size_t i = 0; i < p.size(); ++i) p[i] = static_cast<std::int32_t>(100 * (i + 1));
  };

  // One member beyond the table: the read-only field property "_x".
  h.AddinHelperFindProperty = [](TAddin&, const std::string& name, std::int32_t& index) {
    if (name == "_x") index = 0;
  };
  h.AddinHelperGetPropertyName = [](TAddin&, addin::TOleString& name, std::int32_t index,
                                    std::int32_t) {
    if (index == 0) name = OLESTR("_x");
  };
  h.AddinHelperGetPropertyCount = [](TAddin&, std::int32_t&) {};
  h.AddinHelperGetProperty = [](TAddin&, const std::string& name, TOleVariant& v, bool& handled) {
    if (name != "_x") return;
    v = TOleVariant("field");
    handled = true;
  };
  h.AddinHelperIsPropertyReadable = [](TAddin&, const std::string& name, bool& readable) {
    readable = name == "_x";
  };
  h.AddinHelperIsPropertyWriteable = [](TAddin&, const std::string&, bool&) {};
  return h;
}

HRESULT TTestDalvora::DoInit() {
  static const addin::TAddinHelper table = connection::BuildDalvoraMemberTable(TestHandlers());
  SetMemberTable(table);
  return TAddin::DoInit();
}

}  // namespace fake

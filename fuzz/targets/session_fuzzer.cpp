// A whole session through the connection object, as a script drives it:
// the object is made and called through the host emulator's own wrapper
// (late-bound, both dialects), and every connection it opens reads fuzzed
// server bytes instead of a socket.
//
// Input parts: the script, then the bytes the server sends on each
// connection in turn (a reconnect takes the next part; when none is left
// the server refuses). The script is an options byte and one byte per step
// (support/FuzzScripts.h).

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "addin/AddinClassId.h"
#include "addin/AddinComObjectUnit.h"
#include "connection/TDalvora.h"
#include "connection/com/DalvoraServer.h"
#include "host/AddinClass.h"
#include "host/AddinObject.h"
#include "host/Host.h"
#include "platform/com/DispatchCall.h"
#include "platform/os/CodePage.h"
#include "support/FuzzInput.h"
#include "support/FuzzScripts.h"
#include "support/ScriptedStream.h"

namespace {

using platform::TOleVariant;

constexpr std::size_t kMaxSteps = 48;
// A result walk stops here even if the rows do not end.
constexpr int kMaxWalk = 2000;

// ORBELIN_FUZZ_TRACE=1 prints every call, to see what a reproduced input does.
bool Tracing() {
  static const bool tracing = std::getenv("ORBELIN_FUZZ_TRACE") != nullptr;
  return tracing;
}

std::string Shown(const TOleVariant& value) {
  try {
    return value.IsDispatch() ? "<object>" : value.ToString();
  } catch (...) {
    return "<" + TOleVariant::KindName(value.ValueType()) + ">";
  }
}

void Trace(const char* name, const std::vector<TOleVariant>& args, HRESULT hr,
           const TOleVariant* result) {
  std::string line = name;
  for (const TOleVariant& arg : args) line += " " + Shown(arg);
  if (result) line += " -> " + Shown(*result);
  std::fprintf(stderr, "%s%s\n", line.c_str(), FAILED(hr) ? " (failed)" : "");
}

std::int32_t AsInt(const TOleVariant& value) {
  try {
    return value.ToInt32();
  } catch (...) {
    return -1;
  }
}

class TFuzzSession {
 public:
  TFuzzSession(std::uint8_t options, std::span<const TFuzzBytes> connections)
      : host_(options & kObjectDialect ? host::TDialect::Object : host::TDialect::Expression, false,
              [](const std::string&) {}),
        connections_(connections.begin(), connections.end()) {
    addin::TComPtr<IClassFactory> factory;
    FuzzCheck(
        connection::GetClassObject(addin::CLSID_Dalvora, IID_IClassFactory, factory.Out()) == S_OK,
        "the class factory is there");
    object_ = host::TAddinClass(std::move(factory)).Create(host_.Connection());
    auto* wrapper =
        dynamic_cast<host::TAddinObject*>(host::THostObject::From(object_.ToDispatch()));
    FuzzCheck(wrapper != nullptr, "the host wraps the add-in object");
    auto& dalvora = connection::TDalvora::Of(static_cast<addin::TAddin&>(wrapper->Extender()));
    dalvora.Client().SetConnector([this]() -> std::unique_ptr<platform::TByteStream> {
      if (Tracing()) std::fprintf(stderr, "(connection %zu opens)\n", nextConnection_ + 1);
      if (nextConnection_ == connections_.size()) return nullptr;
      auto made = ScriptedStream::Make();
      const TFuzzBytes bytes = connections_[nextConnection_++];
      made.second->Reply(Bytes(bytes.begin(), bytes.end()));
      return std::move(made.first);
    });

    Set("Host", "fuzz");
    Set("User", "user");
    Set("Password", "secret");
    Set("ConnectTimeout", 1);
    Set("Compress", options & kCompressionOff ? 0 : 1);
    Set("ShouldReconnect", options & kNoReconnect ? 0 : 1);
    Set("AutoType", options & kAutoType ? 1 : 0);
  }

  void Step(std::uint8_t step) {
    const std::uint8_t variant = step >> 4;
    switch (static_cast<TSessionStep>(step & 0xF)) {
      case kConnect:
        if (AsInt(Call("Connect")) == 1)
          FuzzCheck(AsInt(Call("Connected")) == 1, "a successful Connect leaves it connected");
        break;
      case kQueryBuffered:
        Call("Query", {kStatements[variant % kStatements.size()], TOleVariant::Null(), 1});
        break;
      case kQueryRowByRow:
        Call("Query", {kStatements[variant % kStatements.size()], TOleVariant::Null(), 0});
        break;
      case kExecute:
        Call("Execute", {kStatements[variant % kStatements.size()]});
        break;
      case kNext:
        if (variant & 1)
          Call("NextResult");
        else
          Do("Next");
        break;
      case kWalk:
        Walk();
        break;
      case kFetchAll:
        table_ = Call("FetchAll");
        break;
      case kFillAll:
        Call("FillAll", {table_.IsDispatch() ? table_ : NewTable()});
        break;
      case kMove:
        Move(variant);
        break;
      case kPing:
        Call("Ping");
        break;
      case kReconnect:
        Call("Reconnect");
        break;
      case kClose:
        Do("Close");
        FuzzCheck(AsInt(Call("Connected")) == 0, "Close leaves it disconnected");
        break;
      case kChangeSetting:
        ChangeSetting(variant);
        break;
      case kServerCommand:
        ServerCommand(variant);
        break;
      case kFetchRow:
        Call("FetchRow");
        break;
      case kReadState:
        ReadState();
        break;
    }
  }

 private:
  // The host's way: a call whose result is used is CallAsFunc, one whose
  // result is dropped (`result` null) CallAsProc.
  void Invoke(const char* name, WORD flags, const std::vector<TOleVariant>& args,
              TOleVariant* result) {
    IDispatch* dispatch = object_.ToDispatch();
    DISPID id = DISPID_UNKNOWN;
    FuzzCheck(SUCCEEDED(platform::DispatchIdOf(dispatch, platform::FromAnsi(name), id)),
              "every member used is known");
    platform::TOleString description;
    // A failure the add-in reports goes to the host's error log, as it should.
    const HRESULT hr = platform::InvokeDispatch(dispatch, id, flags, args, result, description);
    if (Tracing()) Trace(name, args, hr, result);
  }

  TOleVariant Call(const char* name, const std::vector<TOleVariant>& args = {}) {
    TOleVariant result;
    Invoke(name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args, &result);
    return result;
  }
  void Do(const char* name, const std::vector<TOleVariant>& args = {}) {
    Invoke(name, DISPATCH_METHOD, args, nullptr);
  }
  TOleVariant Get(const char* name) {
    TOleVariant result;
    Invoke(name, DISPATCH_PROPERTYGET, {}, &result);
    return result;
  }
  void Set(const char* name, const TOleVariant& value) {
    Invoke(name, DISPATCH_PROPERTYPUT, {value}, nullptr);
  }

  TOleVariant NewTable() { return host_.CreateObject(platform::FromAnsi("ValueTable")); }

  // Every row to the end, each field read as a value, the first row's
  // fields also described.
  void Walk() {
    const std::int32_t fields = AsInt(Get("FieldsCount"));
    for (int row = 0; row < kMaxWalk && AsInt(Call("EOF")) == 0; ++row) {
      for (std::int32_t field = 0; field < fields; ++field) {
        Call("FetchValue", {field});
        if (row == 0) {
          Call("FieldType", {field});
          Call("FieldDef", {field});
        }
      }
      Do("Next");
    }
  }

  void Move(std::uint8_t variant) {
    switch (variant % 4) {
      case 0:
        Do("First");
        break;
      case 1:
        Do("Last");
        break;
      case 2:
        Do("Prior");
        break;
      default:
        Do("Locate", {static_cast<std::int32_t>(variant / 4)});
        break;
    }
  }

  void ChangeSetting(std::uint8_t variant) {
    switch (variant % 5) {
      case 0:
        Set("Compress", 1 - AsInt(Get("Compress")));
        break;
      case 1:
        Set("ShouldReconnect", 1 - AsInt(Get("ShouldReconnect")));
        break;
      case 2:
        Set("Db", "shop");
        break;
      case 3:
        Set("Host", Get("Host").ToString() == "fuzz" ? "fuzz2" : "fuzz");
        break;
      default:
        // A name the handshake carries, one set by statement, none.
        Set("Charset", variant < 5 ? "cp1251" : variant < 10 ? "klingon" : "");
        break;
    }
  }

  void ServerCommand(std::uint8_t variant) {
    switch (variant % 8) {
      case 0:
        Call("SelectDb", {"shop"});
        break;
      case 1:
        Call("Stat");
        break;
      case 2:
        table_ = Call("ListProcesses");
        break;
      case 3:
        Call("ChangeUser", {"other", "pass", "shop"});
        break;
      case 4:
        Call("Kill", {5});
        break;
      case 5:
        Call("Refresh", {1});
        break;
      case 6:
        Call("CreateDb", {"shop"});
        break;
      default:
        Call("Shutdown");
        break;
    }
  }

  void ReadState() {
    for (const char* method :
         {"LastErrorNo", "LastError", "Connected", "AffectedRows", "LastInsertId", "ServerStatus",
          "Info", "ServerVersion", "ThreadId", "LastRowRead", "BOF", "Status"})
      Call(method);
    for (const char* property : {"RowsCount", "RecNo", "ResultType", "Charset"}) Get(property);
    const std::string escaped = Shown(Call("Escape", {"it's"}));
    FuzzCheck(escaped == "it\\'s" || escaped == "it''s",
              "a quote is escaped by one of the session's two rules");
  }

  host::THost host_;
  std::vector<TFuzzBytes> connections_;
  std::size_t nextConnection_ = 0;
  // Released before the host and the connections: releasing it ends the
  // session, which may still talk to the last connection.
  TOleVariant object_;
  TOleVariant table_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto parts = SplitParts({data, size});
  if (parts.size() < 2 || parts[0].empty()) return 0;
  const TFuzzBytes script = parts[0];
  TFuzzSession session(script[0], std::span(parts).subspan(1));
  for (const std::uint8_t step : script.subspan(1).first(std::min(script.size() - 1, kMaxSteps)))
    session.Step(step);
  return 0;
}

// The add-in loaded by the host emulator and driven by late-bound calls, as a
// 1C script drives it.
#include <iostream>
#include <stdexcept>

#include "bench/Cases.h"
#include "bench/LateBound.h"
#include "host/Host.h"
#include "host/ValueTable.h"
#include "platform/os/CodePage.h"

namespace bench {

namespace {

using platform::TOleVariant;

constexpr int kBuffered = 1;
constexpr int kRowByRow = 0;

host::THost MakeHost() {
  return host::THost(host::TDialect::Expression, false,
                     [](const std::string& line) { std::cerr << line << '\n'; });
}

// A host session with one connected add-in object.
class HostSession {
 public:
  explicit HostSession(const CaseArgs& args)
      : host_(MakeHost()),
        progId_(host_.LoadAddin(args.AddinPath)),
        connection_(host_.CreateObject(platform::FromAnsi(progId_))) {
    connection_.Put(connection_.Id("Host"), TOleVariant("127.0.0.1"));
    connection_.Put(connection_.Id("Port"), TOleVariant(static_cast<int>(args.Port)));
    connection_.Put(connection_.Id("User"), TOleVariant(kBenchUser));
    connection_.Put(connection_.Id("Compress"), TOleVariant(args.Compress ? 1 : 0));
    if (connection_.Function(connection_.Id("Connect")).ToInt32() != 1)
      throw std::runtime_error("host: Connect failed: " + Text("LastError"));
  }

  const LateBound& Connection() const { return connection_; }
  host::THost& Host() { return host_; }

  void Query(const std::string& statement, int buffered) const {
    const TOleVariant ok = connection_.Function(
        connection_.Id("Query"), {TOleVariant(statement), TOleVariant::Null(), buffered});
    if (ok.ToInt32() != 1) throw std::runtime_error("host: Query failed: " + Text("LastError"));
  }

  std::uint64_t RowsCount() const {
    return static_cast<std::uint64_t>(connection_.Get(connection_.Id("RowsCount")).ToInt64());
  }

 private:
  std::string Text(std::string_view property) const {
    return connection_.Get(connection_.Id(property)).ToString();
  }

  // The host goes last: every object made through it is released before.
  host::THost host_;
  std::string progId_;
  LateBound connection_;
};

std::size_t TextLength(const TOleVariant& value) {
  return value.IsString() ? SysStringLen(value.Get()->bstrVal) : 0;
}

Digest FetchAll(const CaseArgs& args, bool autoType) {
  HostSession session(args);
  const LateBound& connection = session.Connection();
  connection.Put(connection.Id("AutoType"), TOleVariant(autoType ? 1 : 0));
  session.Query(args.Statement, kBuffered);
  const TOleVariant table = connection.Function(connection.Id("FetchAll"));
  const auto* filled =
      dynamic_cast<const host::TValueTable*>(host::THostObject::From(table.ToDispatch()));
  if (filled == nullptr) throw std::runtime_error("host: FetchAll gave no value table");
  Digest digest;
  digest.Rows = filled->Data().Lines.size();
  return digest;
}

}  // namespace

Digest HostQueryRowsCount(const CaseArgs& args) {
  HostSession session(args);
  session.Query(args.Statement, kBuffered);
  Digest digest;
  digest.Rows = session.RowsCount();
  return digest;
}

Digest HostQueryLast(const CaseArgs& args) {
  HostSession session(args);
  session.Query(args.Statement, kRowByRow);
  session.Connection().Procedure(session.Connection().Id("Last"));
  Digest digest;
  digest.Rows = session.RowsCount();
  return digest;
}

Digest HostFetchValueLoop(const CaseArgs& args) {
  HostSession session(args);
  const LateBound& connection = session.Connection();
  session.Query(args.Statement, kRowByRow);
  const int fields = connection.Get(connection.Id("FieldsCount")).ToInt32();
  const DISPID eof = connection.Id("EOF");
  const DISPID next = connection.Id("Next");
  const DISPID fetchValue = connection.Id("FetchValue");
  Digest digest;
  while (connection.Function(eof).ToInt32() == 0) {
    ++digest.Rows;
    for (int i = 0; i < fields; ++i) digest.Add(TextLength(connection.Function(fetchValue, {i})));
    connection.Procedure(next);
  }
  return digest;
}

Digest HostFetchAll(const CaseArgs& args) {
  return FetchAll(args, false);
}

Digest HostFetchAllAutoType(const CaseArgs& args) {
  return FetchAll(args, true);
}

Digest HostFillBaseline(const CaseArgs& args) {
  // Texts of the lengths the result's columns have on average.
  const TOleVariant cells[] = {TOleVariant("100000"),
                               TOleVariant("554401"),
                               TOleVariant("c4ca4238a0b923820dcc5"),
                               TOleVariant("49988.11"),
                               TOleVariant("2020-01-02 03:04:05"),
                               TOleVariant("14285.7142857")};
  host::THost host = MakeHost();
  Digest digest;
  {
    const LateBound table(host.CreateObject(platform::FromAnsi("ValueTable")));
    const DISPID newColumn = table.Id("NewColumn");
    const DISPID newLine = table.Id("NewLine");
    const DISPID setValue = table.Id("SetValue");
    for (const char* name : {"id", "a", "s", "d", "dt", "f"})
      table.Procedure(newColumn, {TOleVariant(name), TOleVariant("")});
    // The arguments are laid out once and only their numbers change, so the
    // figure is the host's work for each call and next to nothing else.
    TOleVariant line(0);
    TOleVariant lineRef = TOleVariant::ReferenceTo(line);
    TOleVariant column(0);
    VARIANT setArgs[3] = {*cells[0].Get(), *column.Get(), *line.Get()};
    for (int number = 1; number <= args.Repeat; ++number) {
      line = TOleVariant(number);
      table.RawProcedure(newLine, lineRef.Get(), 1);
      setArgs[2] = *line.Get();
      for (int i = 0; i < 6; ++i) {
        setArgs[1].lVal = i + 1;
        setArgs[0] = *cells[i].Get();
        table.RawProcedure(setValue, setArgs, 3);
      }
      ++digest.Rows;
    }
  }
  return digest;
}

}  // namespace bench

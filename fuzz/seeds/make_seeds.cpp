// Writes the seed corpora of the fuzz targets: make-fuzz-seeds DIR fills
// DIR/<target>/ with inputs built from the byte vectors of the client and
// packet-layer tests (the same builders: greetings, OK, end-of-data, error,
// field and row packets, compressed blocks) and with whole scripted sessions.
// Same output on every run, so the corpora need not be committed.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "mysql/FakeReplies.h"
#include "mysql/uMysqlGreeting.h"
#include "support/FuzzInput.h"
#include "support/FuzzScripts.h"
#include "support/Wire.h"

using namespace mysql;

namespace {

namespace fs = std::filesystem;
using TParts = std::vector<Bytes>;

fs::path gRoot;

void Write(const std::string& target, const std::string& name, const Bytes& input) {
  const fs::path folder = gRoot / target;
  fs::create_directories(folder);
  std::ofstream(folder / name, std::ios::binary)
      .write(reinterpret_cast<const char*>(input.data()),
             static_cast<std::streamsize>(input.size()));
}

void WriteParts(const std::string& target, const std::string& name, const TParts& parts) {
  Write(target, name, JoinParts(parts));
}

// --- Packets --------------------------------------------------------------------

const std::uint16_t kCompressing41 = kServer41 | CLIENT_COMPRESS;

Bytes FullGreeting(std::uint16_t caps = kServer41) {
  return GreetingPayload(10, "5.0.96", caps);
}

Bytes OldGreeting() {
  return GreetingPayload(10, "4.0.27", kServer40, GreetingLength::NoSecondSeed);
}

// An older-layout field: table, name, 3-byte length, type, flags (2 bytes with
// the server's long flags) and decimals.
Bytes OldField(std::string_view name, std::uint8_t type) {
  return Concat({{1, 't', static_cast<std::uint8_t>(name.size())},
                 Text(name),
                 {3, 11, 0, 0},
                 {1, type},
                 {3, 0x23, 0x00, 0x02}});
}

Bytes AuthSwitch(std::string_view method) {
  return Concat({{254}, Text(method), {0}, Text("ABCDEFGHIJKLMNOPQRST"), {0}});
}

Bytes SecondStep(std::uint8_t first) {
  return Concat({{first, 1, 2, 3}, Bytes(20, 0x5A)});
}

const Bytes kServerError = ErrorPayload(1064, "42000", "You have an error in your SQL syntax");

// --- Replies of a session ----------------------------------------------------------

// A result set of one text column "v" and these rows.
TParts ResultSet(const std::vector<std::optional<std::string>>& rows) {
  TParts packets{{1}, Field41Payload("v", 253, 20), EofPayload()};
  for (const auto& row : rows) packets.push_back(RowPayload({row}));
  packets.push_back(EofPayload());
  return packets;
}

// The reply to a CALL: two results, each ending with "more results exist",
// then the procedure's status.
TParts CallResults() {
  constexpr std::uint16_t kMore = SERVER_STATUS_AUTOCOMMIT | SERVER_MORE_RESULTS_EXISTS;
  return {{1},
          Field41Payload("v", 253, 20),
          EofPayload(0, kMore),
          RowPayload({"first"}),
          EofPayload(0, kMore),
          {1},
          Field41Payload("w", 253, 20),
          EofPayload(0, kMore),
          RowPayload({"second"}),
          EofPayload(0, kMore),
          OkPayload(3)};
}

// Two columns: an integer and a date, the second row with a NULL.
TParts TypedResultSet() {
  return {{2},          Field41Payload("id", 3, 11),     Field41Payload("day", 10, 10),
          EofPayload(), RowPayload({"1", "2024-02-29"}), RowPayload({"2", std::nullopt}),
          EofPayload()};
}

TParts OldResultSet() {
  return {{2},  OldField("n", 3), OldField("s", 254), {254}, RowPayload({"42", std::nullopt}),
          {254}};
}

// The server's side of one connection, reply after reply.
class TServerBytes {
 public:
  explicit TServerBytes(bool compressed, bool deflate = true)
      : compressed_(compressed), deflate_(deflate) {}

  // Greeting (sequence 0) and the OK to the authentication packet (2),
  // always plain: compression starts after them.
  TServerBytes& Login(const Bytes& greeting) {
    Append(Packet(0, greeting));
    Append(Packet(2, OkPayload()));
    return *this;
  }
  // The reply to one command: packets from sequence `first`, in one block
  // when compressed.
  TServerBytes& Reply(const TParts& packets, std::uint8_t first = 1) {
    Bytes plain;
    std::uint8_t sequence = first;
    for (const Bytes& payload : packets) plain = Concat({plain, Packet(sequence++, payload)});
    Append(compressed_ ? CompressedBlock(first, plain, deflate_) : plain);
    return *this;
  }
  TServerBytes& Ok(std::uint16_t status = 2) { return Reply({OkPayload(1, 0, status)}); }
  // With automatic reconnection on, every statement is preceded by a ping.
  TServerBytes& PingThen(const TParts& packets) { return Ok().Reply(packets); }

  const Bytes& Wire() const { return bytes_; }

 private:
  void Append(const Bytes& more) { bytes_.insert(bytes_.end(), more.begin(), more.end()); }

  bool compressed_;
  bool deflate_;
  Bytes bytes_;
};

// --- Targets ---------------------------------------------------------------------

void CodecSeeds() {
  const Bytes values = Concat({{5},
                               {251},
                               {252, 0x34, 0x12},
                               {253, 1, 2, 3},
                               {254, 0, 0, 0, 1, 0, 0, 0, 0},
                               {3},
                               Text("abc"),
                               Text("text"),
                               {0}});
  Write("codec", "length-coded-strings", values);
  WriteParts("codec", "every-read", {{7, 7, 7, 7, 7, 8, 5, 3, 0, 11, 21, 31, 2, 6, 9}, values});
  WriteParts("codec", "nine-byte-length", {{8, 8}, {254, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 1, 'x'}});
}

void GreetingSeeds() {
  Write("greeting", "full", FullGreeting());
  Write("greeting", "compressing", FullGreeting(kCompressing41));
  Write("greeting", "no-second-seed", OldGreeting());
  Write("greeting", "seed-only", GreetingPayload(9, "3.20.32", 0, GreetingLength::SeedOnly));
  Write("greeting", "two-step", GreetingPayload(10, "4.1.0-alpha", kServer41));
  Write("greeting", "no-version-end",
        Text("\x0a"
             "5.0"));
}

void ReplySeeds() {
  Write("reply", "ok", OkPayload());
  Write("reply", "ok-info", OkPayload(5, 7, 3, 1, "Records: 5  Duplicates: 0  Warnings: 1"));
  Write("reply", "ok-large", OkPayload(1ull << 40, 0xFFFFFFFFFFull));
  Write("reply", "ok-old", Bytes{0, 1, 0, 0x03, 0x00});
  Write("reply", "ok-session-changes",
        TrackedOkPayload(
            1, 2, 2, {SchemaChange("shop"), VariableChange("sql_mode", "ANSI"), StateChange()}));
  Write("reply", "end-of-data", EofPayload(1, 0x22));
  Write("reply", "end-of-data-short", Bytes{254});
  Write("reply", "error-sql-state", ErrorPayload(1045, "28000", "Access denied"));
  Write("reply", "error-plain", ErrorPayload(1064, "", "syntax"));
  Write("reply", "error-three-bytes", Bytes{0xFF, 0x15, 0x04});
  Write("reply", "error-cut-state", Bytes{0xFF, 0x15, 0x04, '#', '2', '8'});
  Write("reply", "error-long", ErrorPayload(1105, "", std::string(300, 'e')));
}

void FieldSeeds() {
  Write("field", "text-41", Field41Payload("v", 253, 20));
  Write("field", "int-41", Field41Payload("id", 3, 11));
  Write("field", "timestamp-41", Field41Payload("ts", 7, 14));
  Write("field", "old-number", OldField("n", 3));
  Write("field", "old-text", OldField("s", 254));
  Write("field", "old-short-flags",
        Concat({{1, 't', 1, 's'}, {3, 8, 0, 0}, {1, 254}, {2, 0x23, 2}}));
}

void RowSeeds() {
  Write("row", "one-value", Concat({{1, 0}, RowPayload({"hello"})}));
  Write("row", "with-null", Concat({{3, 0}, RowPayload({"1", std::nullopt, "x"})}));
  Write("row", "long-value", Concat({{1, 0}, {252, 0x2C, 0x01}, Bytes(300, 'r')}));
  Write("row", "no-columns", Bytes{0, 0});
}

void NetSeeds() {
  const Bytes first = Packet(0, Text("hello"));
  const Bytes second = Packet(1, OkPayload());
  WriteParts("net", "plain", {{0}, Concat({first, second, Packet(2, EofPayload())})});
  WriteParts("net", "plain-split",
             {{0},
              Bytes(first.begin(), first.begin() + 2),
              Bytes(first.begin() + 2, first.end()),
              second});
  WriteParts("net", "plain-error", {{0}, Packet(0, kServerError)});
  const Bytes twoPackets = Concat({Packet(0, Text("first")), Packet(0, Text("second"))});
  WriteParts("net", "stored-block", {{1}, CompressedBlock(0, twoPackets, false)});
  WriteParts("net", "deflated-block", {{1}, CompressedBlock(0, Packet(0, Bytes(5000, 'z')), true)});
  const Bytes spanning = Packet(0, Bytes(300, 's'));
  const Bytes head(spanning.begin(), spanning.begin() + 100);
  const Bytes tail(spanning.begin() + 100, spanning.end());
  WriteParts("net", "packet-across-blocks",
             {{1}, Concat({CompressedBlock(0, head, false), CompressedBlock(1, tail, true)})});
  WriteParts(
      "net", "read-write-shrink",
      {{1, 0, 3, 0, 2, 0},
       CompressedBlock(0, Concat({Packet(0, Bytes(20000, 'p')), Packet(0, Text("after"))}), true),
       CompressedBlock(1, Packet(0, kServerError), false)});
}

void AuthSeeds() {
  const Bytes ok = OkPayload();
  const std::uint8_t one = AuthConnectAnswers(1), two = AuthConnectAnswers(2);
  const std::uint8_t changeUser = one | kAuthChangeUser;
  WriteParts("auth", "ok", {{one}, FullGreeting(), ok});
  WriteParts("auth", "refused",
             {{one}, FullGreeting(), ErrorPayload(1045, "28000", "Access denied")});
  WriteParts("auth", "old-scramble", {{two}, FullGreeting(), {254}, ok});
  WriteParts("auth", "old-scramble-empty-password",
             {{two | kAuthEmptyPassword}, FullGreeting(), {254}, ok});
  WriteParts("auth", "old-server", {{one}, OldGreeting(), ok});
  const Bytes twoStep = GreetingPayload(10, "4.1.0-alpha", kServer41);
  WriteParts("auth", "second-step-old-hash", {{two}, twoStep, SecondStep('*'), ok});
  WriteParts("auth", "second-step-sha1", {{two}, twoStep, SecondStep('A'), ok});
  WriteParts("auth", "switch-native",
             {{two}, FullGreeting(), AuthSwitch("mysql_native_password"), ok});
  WriteParts("auth", "switch-old", {{two}, FullGreeting(), AuthSwitch("mysql_old_password"), ok});
  WriteParts("auth", "switch-unknown",
             {{one}, FullGreeting(), AuthSwitch("caching_sha2_password")});
  WriteParts("auth", "change-user",
             {{changeUser}, FullGreeting(), ok, AuthSwitch("mysql_native_password"), ok});
  WriteParts("auth", "change-user-compressed",
             {{changeUser | kAuthCompress}, FullGreeting(kCompressing41), ok, ok});
  const Bytes sha2 = PluginGreetingPayload("8.4.3", "caching_sha2_password");
  const Bytes key =
      Concat({{1}, Text("-----BEGIN PUBLIC KEY-----\nAAAA\n-----END PUBLIC KEY-----\n")});
  WriteParts("auth", "full-authentication-refused", {{two}, sha2, {1, 4}, ok});
  WriteParts("auth", "full-authentication-key-asked",
             {{static_cast<std::uint8_t>(AuthConnectAnswers(3) | kAuthKeyRetrieval)},
              sha2,
              {1, 4},
              key,
              ok});
  WriteParts("auth", "change-user-refused",
             {{changeUser}, FullGreeting(), ok, ErrorPayload(1045, "28000", "Access denied")});
}

// A TLS record of `type` (22 handshake, 21 alert) around `body`.
Bytes TlsRecord(std::uint8_t type, const Bytes& body) {
  return Concat({{type, 3, 3, static_cast<std::uint8_t>(body.size() >> 8),
                  static_cast<std::uint8_t>(body.size())},
                 body});
}

// A TLS 1.3 ServerHello as a server sends it (fixed random and key share):
// it parses, and the handshake fails later, on keys that do not match.
Bytes ServerHello() {
  const Bytes extensions = Concat({{0x00, 0x2B, 0x00, 0x02, 0x03, 0x04},
                                   {0x00, 0x33, 0x00, 0x24, 0x00, 0x1D, 0x00, 0x20},
                                   Bytes(32, 0x42)});
  const Bytes hello = Concat({{0x03, 0x03},
                              Bytes(32, 0x17),
                              {32},
                              Bytes(32, 0x21),
                              {0x13, 0x02, 0x00},
                              {0x00, static_cast<std::uint8_t>(extensions.size())},
                              extensions});
  return TlsRecord(22, Concat({{2, 0, 0, static_cast<std::uint8_t>(hello.size())}, hello}));
}

void TlsSeeds() {
  const Bytes offering = FullGreeting(kServer41 | CLIENT_SSL);
  const Bytes hello = ServerHello();
  for (const std::uint8_t mode : {std::uint8_t{0}, std::uint8_t{kTlsRequired}}) {
    const std::string suffix = mode ? "-required" : "-preferred";
    WriteParts("tls", "server-hello" + suffix, {{mode}, offering, hello});
    WriteParts("tls", "server-hello-split" + suffix,
               {{mode},
                offering,
                Bytes(hello.begin(), hello.begin() + 7),
                Bytes(hello.begin() + 7, hello.end())});
    WriteParts("tls", "alert" + suffix, {{mode}, offering, TlsRecord(21, {2, 70})});
    WriteParts("tls", "mysql-error" + suffix,
               {{mode}, offering, Packet(2, ErrorPayload(1045, "28000", "Access denied"))});
    WriteParts("tls", "not-offered" + suffix, {{mode}, FullGreeting(), Packet(2, OkPayload())});
  }
  WriteParts("tls", "compressing",
             {{kTlsRequired | kTlsCompress}, FullGreeting(kCompressing41 | CLIENT_SSL), hello});
}

void SessionSeeds() {
  const Bytes walkBoth{kConnect,       kQueryBuffered, kWalk,      kFetchAll,
                       kQueryRowByRow, kWalk,          kReadState, kClose};
  for (const std::uint8_t dialect : {std::uint8_t{0}, std::uint8_t{kObjectDialect}}) {
    const std::string suffix = dialect ? "-object" : "-expression";
    WriteParts("session", "plain" + suffix,
               {Concat({{static_cast<std::uint8_t>(dialect | kCompressionOff)}, walkBoth}),
                TServerBytes(false)
                    .Login(FullGreeting())
                    .PingThen(TypedResultSet())
                    .PingThen(ResultSet({"a", std::nullopt, "c"}))
                    .Wire()});
    WriteParts("session", "compressed" + suffix,
               {Concat({{dialect}, walkBoth}), TServerBytes(true)
                                                   .Login(FullGreeting(kCompressing41))
                                                   .PingThen(TypedResultSet())
                                                   .PingThen(ResultSet({"a", "b"}))
                                                   .Wire()});
  }
  WriteParts(
      "session", "stored-blocks",
      {{0, kConnect, kQueryRowByRow, kFetchAll, kFillAll, kMove, WithVariant(kMove, 1), kClose},
       TServerBytes(true, false)
           .Login(FullGreeting(kCompressing41))
           .PingThen(ResultSet({"x", "y", "z"}))
           .Wire()});
  WriteParts(
      "session", "row-by-row-left-unread",
      {{kCompressionOff, kConnect, kQueryRowByRow, kNext, kReadState},
       TServerBytes(false).Login(FullGreeting()).PingThen(ResultSet({"1", "2", "3", "4"})).Wire()});
  // The first connection ends inside a result; the next statement reconnects.
  const Bytes cut =
      TServerBytes(false).Login(FullGreeting()).PingThen(ResultSet({"1", "2"})).Wire();
  WriteParts("session", "reconnect-after-loss",
             {{kCompressionOff, kConnect, kQueryBuffered, kQueryBuffered, kWalk, kReadState},
              Bytes(cut.begin(), cut.end() - 12),
              TServerBytes(false).Login(FullGreeting()).PingThen(ResultSet({"again"})).Wire()});
  // The character set chosen comes back on the new connection before the statement.
  WriteParts(
      "session", "charset-restored",
      {{kCompressionOff, kConnect, WithVariant(kExecute, kSetNames), kQueryBuffered, kFetchAll},
       TServerBytes(false).Login(FullGreeting()).PingThen({OkPayload()}).Wire(),
       TServerBytes(false)
           .Login(FullGreeting())
           .Reply({OkPayload()})
           .PingThen(ResultSet({"текст"}))
           .Wire()});
  // A transaction is open when the connection goes: no silent reconnect.
  WriteParts(
      "session", "transaction-lost",
      {{kCompressionOff, kConnect, WithVariant(kExecute, kStartTransaction),
        WithVariant(kExecute, kInsert), kReadState, kReconnect, WithVariant(kExecute, kInsert)},
       TServerBytes(false).Login(FullGreeting()).Ok().Ok(3).Wire(),
       TServerBytes(false).Login(FullGreeting()).Ok().Ok().Wire()});
  WriteParts("session", "local-file-refused",
             {{kCompressionOff, kConnect, WithVariant(kExecute, kLoadData), kReadState},
              TServerBytes(false)
                  .Login(FullGreeting())
                  .Ok()
                  .Reply({Concat({{251}, Text("/nonexistent/orbelin-fuzz")})})
                  .Reply({ErrorPayload(1148, "42000", "The used command is not allowed")}, 3)
                  .Wire()});
  WriteParts("session", "old-server",
             {{kCompressionOff | kNoReconnect | kAutoType, kConnect, kQueryBuffered, kFetchAll,
               kFetchRow, WithVariant(kQueryRowByRow, 0), kWalk},
              TServerBytes(false)
                  .Login(OldGreeting())
                  .Reply(OldResultSet())
                  .Reply(OldResultSet())
                  .Wire()});
  WriteParts("session", "server-commands",
             {{kCompressionOff | kNoReconnect, kConnect, WithVariant(kServerCommand, 0),
               WithVariant(kServerCommand, 1), WithVariant(kServerCommand, 2),
               WithVariant(kServerCommand, 3), WithVariant(kServerCommand, 4),
               WithVariant(kServerCommand, 5), kPing, WithVariant(kServerCommand, 7)},
              TServerBytes(false)
                  .Login(FullGreeting())
                  .Ok()
                  .Reply({Text("Uptime: 5  Threads: 1  Questions: 9")})
                  .Reply(ResultSet({"1", "2"}))
                  .Reply({AuthSwitch("mysql_native_password")})
                  .Reply({OkPayload()}, 3)
                  .Ok()
                  .Ok()
                  .Ok()
                  .Reply({EofPayload()})
                  .Wire()});
  // A procedure's results one after another, then left unread for the next
  // statement; the character set by name.
  const std::uint8_t nextResult = WithVariant(kNext, 1);
  WriteParts("session", "procedure-results",
             {{kCompressionOff, WithVariant(kChangeSetting, 4), kConnect,
               WithVariant(kQueryBuffered, kCall), kFetchAll, nextResult, kWalk, nextResult,
               kReadState, WithVariant(kQueryRowByRow, kCall), kNext, kWalk,
               WithVariant(kExecute, kCall), WithVariant(kExecute, kInsert)},
              TServerBytes(false)
                  .Login(FullGreeting())
                  .PingThen(CallResults())
                  .PingThen(CallResults())
                  .PingThen(CallResults())
                  .Ok()
                  .Reply({kServerError})
                  .Wire()});
  WriteParts("session", "statement-error",
             {{kCompressionOff, kConnect, kQueryBuffered, kReadState,
               WithVariant(kChangeSetting, 3), kPing},
              TServerBytes(false).Login(FullGreeting()).PingThen({kServerError}).Wire(),
              TServerBytes(false).Login(FullGreeting()).Ok().Wire()});
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
    return 2;
  }
  gRoot = argv[1];
  CodecSeeds();
  GreetingSeeds();
  ReplySeeds();
  FieldSeeds();
  RowSeeds();
  NetSeeds();
  AuthSeeds();
  TlsSeeds();
  SessionSeeds();
  return 0;
}

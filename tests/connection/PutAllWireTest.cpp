// PutAll on the wire, against a scripted server: the rows uploaded from
// memory by LOAD DATA LOCAL inside a transaction of its own; INSERT
// statements, sized by max_allowed_packet, once the server refuses local
// files; a row refused inside the script's transaction taken back to a
// savepoint; the count of rows written, or -1 with it in the message.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "WiredObject.h"
#include "addin/HostAutomation.h"
#include "support/FakeServer.h"

namespace connection {
namespace {

using platform::TOleVariant;

constexpr std::uint8_t kLong = 3;
constexpr std::uint8_t kVarString = 253;
constexpr std::uint16_t kInTransaction = 3;  // autocommit, in a transaction

Bytes LengthCoded(std::string_view text) {
  return Concat({{static_cast<std::uint8_t>(text.size())}, Text(text)});
}

// A 4.1 column definition.
Bytes Column(std::string_view name, std::uint8_t type, std::uint16_t flags) {
  return Concat({LengthCoded("def"),
                 LengthCoded(""),
                 LengthCoded("t"),
                 LengthCoded("t"),
                 LengthCoded(name),
                 LengthCoded(name),
                 {0x0C, 0x21, 0, 20, 0, 0, 0, type, static_cast<std::uint8_t>(flags),
                  static_cast<std::uint8_t>(flags >> 8), 0, 0, 0}});
}

const Bytes kEof = {0xFE, 0, 0, 2, 0};

// The answer to a statement: its columns, then rows of text values.
void AnswerRows(FakeServer& server, const std::vector<Bytes>& columns,
                const std::vector<std::vector<std::string>>& rows) {
  std::uint8_t sequence = 1;
  server.Send(Packet(sequence++, {static_cast<std::uint8_t>(columns.size())}));
  for (const Bytes& column : columns) server.Send(Packet(sequence++, column));
  server.Send(Packet(sequence++, kEof));
  for (const auto& row : rows) {
    Bytes payload;
    for (const std::string& value : row) payload = Concat({payload, LengthCoded(value)});
    server.Send(Packet(sequence++, payload));
  }
  server.Send(Packet(sequence, kEof));
}

Bytes Statement(std::string_view text) {
  return Packet(0, Concat({{3}, Text(text)}));
}

// Expects a statement and answers it with an OK packet.
void ExpectOk(FakeServer& server, std::string_view text, std::uint8_t affected = 0,
              std::uint16_t status = 2) {
  server.Expect(Statement(text)).Send(Packet(1, OkPayload(affected, status)));
}

void Login(FakeServer& server) {
  server.Send(Packet(0, Greeting("10.11.6"))).ReceivePacket().Send(Packet(2, OkPayload()));
}

// What PutAll asks of target `t` (id INT NOT NULL, s VARCHAR) before its
// first row: the columns, then (once per connection) max_allowed_packet and
// the session's character set and sql_mode.
void Prologue(FakeServer& server, const std::string& maxPacket, bool firstCall = true) {
  server.Expect(Statement("SELECT `id`, `s` FROM `t` LIMIT 0"));
  AnswerRows(server, {Column("id", kLong, 0x1), Column("s", kVarString, 0)}, {});
  if (!firstCall) return;
  server.Expect(Statement("SELECT @@max_allowed_packet"));
  AnswerRows(server, {Column("@@max_allowed_packet", 8, 0)}, {{maxPacket}});
  server.Expect(Statement("SELECT @@character_set_client, @@sql_mode"));
  AnswerRows(server, {Column("a", kVarString, 0), Column("b", kVarString, 0)},
             {{"cp1251", "STRICT_TRANS_TABLES"}});
}

const std::string kLoadData =
    "LOAD DATA LOCAL INFILE 'orbelin-put-all' INTO TABLE `t` CHARACTER SET cp1251 FIELDS "
    "TERMINATED BY 0x09 ENCLOSED BY '' ESCAPED BY 0x5C LINES STARTING BY '' TERMINATED BY 0x0A "
    "(`id`, `s`)";

// A host value table with columns id and s.
class Table {
 public:
  explicit Table(host::THost& host) : table_(host.CreateObject(platform::FromAnsi("ValueTable"))) {
    addin::HostProcedure(table_, "NewColumn", {TOleVariant("id")});
    addin::HostProcedure(table_, "NewColumn", {TOleVariant("s")});
  }
  void Add(const TOleVariant& id, const TOleVariant& s) {
    addin::HostProcedure(table_, "NewLine");
    ++lines_;
    addin::HostProcedure(table_, "SetValue", {TOleVariant(lines_), TOleVariant(1), id});
    addin::HostProcedure(table_, "SetValue", {TOleVariant(lines_), TOleVariant(2), s});
  }
  const TOleVariant& Value() const { return table_; }

 private:
  TOleVariant table_;
  std::int32_t lines_ = 0;
};

// Expects the LOAD DATA statement, asks for its upload and expects `rows`
// as one packet, then the empty packet that ends it; the answer is the
// caller's.
void ExpectUpload(FakeServer& server, std::string_view rows) {
  server.Expect(Statement(kLoadData))
      .Send(Packet(1, Concat({{251}, Text("orbelin-put-all")})))
      .Expect(Packet(2, Text(rows)))
      .Expect(Packet(3, {}));
}

// The scripted server started, an object connected to it, and a table with
// columns id and s to write.
class Session {
 public:
  explicit Session(FakeServer& server) {
    server.Start();
    object_.PointAt(server.Port());
    EXPECT_EQ(object_.Call("Connect").ToInt32(), 1);
  }

  WiredObject& Object() { return object_; }
  Table& Lines() { return table_; }
  TOleVariant PutAll(const char* duplicates = "") {
    return object_.Call(
        "PutAll", {table_.Value(), TOleVariant("t"), TOleVariant(""), TOleVariant(duplicates)});
  }
  std::int32_t LastErrorNo() { return object_.Call("LastErrorNo").ToInt32(); }
  std::string LastError() { return object_.Call("LastError").ToString(); }

 private:
  WiredObject object_;
  Table table_{object_.Host()};
};

void Finish(FakeServer& server) {
  server.Wait();
  for (const std::string& failure : server.Failures()) ADD_FAILURE() << failure;
}

TEST(PutAllWire, RowsUploadedFromMemoryInATransactionOfTheirOwn) {
  FakeServer server;
  Login(server);
  Prologue(server, "16777216");
  ExpectOk(server, "START TRANSACTION", 0, kInTransaction);
  // Tabs, backslashes and line ends escaped, NULL as \N.
  ExpectUpload(server, "1\ta\\tb\\\\c\\nd\n2\t\\N\n3\t'x'\n");
  server.Send(Packet(4, OkPayload(3, kInTransaction)));
  ExpectOk(server, "COMMIT");
  server.DrainUntilClosed();
  {
    Session session(server);
    session.Lines().Add(TOleVariant(1), TOleVariant("a\tb\\c\nd"));
    session.Lines().Add(TOleVariant(2), TOleVariant::Null());
    session.Lines().Add(TOleVariant(3), TOleVariant("'x'"));
    const TOleVariant written = session.PutAll();
    EXPECT_EQ(written.ValueType(), VT_I8);
    EXPECT_EQ(written.ToInt64(), 3);
    EXPECT_EQ(session.LastErrorNo(), 0);
  }
  Finish(server);
}

// max_allowed_packet 1024: a row is ('nn','96 x') and a statement of 9 rows
// would be 988 bytes; 8 rows leave the room a packet needs below the limit.
TEST(PutAllWire, LocalFilesRefusedRowsGoByInsertsSizedByMaxAllowedPacket) {
  const std::string text(96, 'x');
  auto inserts = [&](std::string_view head, int from, int to) {
    std::string statement(head);
    for (int id = from; id < to; ++id)
      statement += (id > from ? ",('" : "('") + std::to_string(id) + "','" + text + "')";
    return statement;
  };
  const std::string head = "INSERT INTO `t` (`id`, `s`) VALUES ";
  const std::string ignoreHead = "INSERT IGNORE INTO `t` (`id`, `s`) VALUES ";
  FakeServer server;
  Login(server);
  Prologue(server, "1024");
  ExpectOk(server, "START TRANSACTION", 0, kInTransaction);
  server.Expect(Statement(kLoadData))
      .Send(Packet(1, ErrorPayload(1148, "42000", "The used command is not allowed")));
  ExpectOk(server, "ROLLBACK");
  ExpectOk(server, inserts(head, 10, 18), 8);
  ExpectOk(server, inserts(head, 18, 26), 8);
  server.Expect(Statement(inserts(head, 26, 30)))
      .Send(Packet(1, ErrorPayload(1062, "23000", "Duplicate entry '26' for key 'PRIMARY'")));
  // The second call knows the connection: INSERT at once.
  Prologue(server, "1024", false);
  ExpectOk(server, inserts(ignoreHead, 10, 18), 0);
  ExpectOk(server, inserts(ignoreHead, 18, 26), 0);
  ExpectOk(server, inserts(ignoreHead, 26, 30), 3);
  server.DrainUntilClosed();
  {
    Session session(server);
    for (int id = 10; id < 30; ++id) session.Lines().Add(TOleVariant(id), TOleVariant(text));
    EXPECT_EQ(session.PutAll().ToInt32(), -1);
    EXPECT_EQ(session.LastErrorNo(), 1062);
    EXPECT_EQ(session.LastError(), "After 16 rows written: Duplicate entry '26' for key 'PRIMARY'");
    EXPECT_EQ(session.PutAll("ignore").ToInt64(), 3)
        << "the rows the server inserted, not those sent";
  }
  Finish(server);
}

// A row skipped by LOAD DATA (which cannot stop half-way) fails the call as
// INSERT would: the batch goes back to the savepoint, the script's
// transaction keeps what it had.
TEST(PutAllWire, ARowRefusedInsideTheScriptsTransactionTakesBackTheBatch) {
  FakeServer server;
  Login(server);
  ExpectOk(server, "START TRANSACTION", 0, kInTransaction);  // the script's
  Prologue(server, "16777216");
  ExpectOk(server, "SAVEPOINT orbelin_put_all", 0, kInTransaction);
  ExpectUpload(server, "1\ta\n1\tb\n");
  server.Send(Packet(4, {0, 1, 0, kInTransaction, 0, 1, 0}));  // 1 row, 1 warning
  server.Expect(Statement("SHOW WARNINGS"));
  AnswerRows(
      server,
      {Column("Level", kVarString, 0), Column("Code", kLong, 0), Column("Message", kVarString, 0)},
      {{"Note", "1000", "a note"}, {"Warning", "1062", "Duplicate entry '1'"}});
  ExpectOk(server, "ROLLBACK TO SAVEPOINT orbelin_put_all", 0, kInTransaction);
  ExpectOk(server, "RELEASE SAVEPOINT orbelin_put_all", 0, kInTransaction);
  server.DrainUntilClosed();
  {
    Session session(server);
    ASSERT_EQ(session.Object().Call("Execute", {TOleVariant("START TRANSACTION")}).ToInt32(), 0);
    session.Lines().Add(TOleVariant(1), TOleVariant("a"));
    session.Lines().Add(TOleVariant(1), TOleVariant("b"));
    EXPECT_EQ(session.PutAll().ToInt32(), -1);
    EXPECT_EQ(session.LastErrorNo(), 1062);
    EXPECT_EQ(session.LastError(), "After 0 rows written: Duplicate entry '1'");
  }
  Finish(server);
}

// The connection lost while the rows go out: nothing is claimed, the
// message says why.
TEST(PutAllWire, ConnectionLostDuringTheUploadClaimsNoRows) {
  FakeServer server;
  Login(server);
  Prologue(server, "16777216");
  ExpectOk(server, "START TRANSACTION", 0, kInTransaction);
  ExpectUpload(server, "1\ta\n");
  server.CloseConnection();
  {
    Session session(server);
    session.Lines().Add(TOleVariant(1), TOleVariant("a"));
    EXPECT_EQ(session.PutAll().ToInt32(), -1);
    EXPECT_EQ(session.LastErrorNo(), 2013);
    EXPECT_EQ(session.LastError(),
              "After 0 rows written: Lost connection to MySQL server during query");
  }
  Finish(server);
}

}  // namespace
}  // namespace connection

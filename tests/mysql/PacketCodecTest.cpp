// Decoders of the session's packets over byte vectors: every valid packet
// decodes, and every truncated copy of it fails cleanly.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "mysql/uMysqlCodec.h"
#include "mysql/uMysqlFieldPacket.h"
#include "mysql/uMysqlGreeting.h"
#include "mysql/uMysqlReplies.h"
#include "mysql/uMysqlRowStore.h"
#include "support/Wire.h"

using namespace mysql;

namespace {

// A length-coded string of a short text.
Bytes Lc(std::string_view text) {
  return Concat({{static_cast<std::uint8_t>(text.size())}, Text(text)});
}

struct LengthCodedCase {
  const char* name;
  Bytes bytes;
  bool ok;
  std::optional<std::uint64_t> value64;
  std::optional<std::uint32_t> value32;
  std::size_t consumed;
};

TEST(LengthCoded, ReadersTakeEachFormAndFailWhenTruncated) {
  const LengthCodedCase cases[] = {
      {"one byte", {250}, true, 250, 250, 1},
      {"null", {251}, true, std::nullopt, std::nullopt, 1},
      {"two bytes", {252, 0x34, 0x12}, true, 0x1234, 0x1234, 3},
      {"three bytes", {253, 0x56, 0x34, 0x12}, true, 0x123456, 0x123456, 4},
      {"eight bytes 16 MiB", {254, 0, 0, 0, 1, 0, 0, 0, 0}, true, 16777216, 16777216, 9},
      {"eight bytes high half dropped by the 32-bit reader",
       {254, 1, 0, 0, 0, 2, 0, 0, 0},
       true,
       0x200000001ull,
       1,
       9},
      {"255 reads like 254", {255, 7, 0, 0, 0, 0, 0, 0, 0}, true, 7, 7, 9},
      {"empty", {}, false, std::nullopt, std::nullopt, 0},
      {"two bytes truncated", {252, 0x34}, false, std::nullopt, std::nullopt, 0},
      {"three bytes truncated", {253, 1, 2}, false, std::nullopt, std::nullopt, 0},
      {"eight bytes truncated", {254, 0, 0, 0, 1, 0, 0, 0}, false, std::nullopt, std::nullopt, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TPacketReader reader64(c.bytes);
    EXPECT_EQ(reader64.ReadLengthCoded(), c.value64);
    EXPECT_EQ(reader64.Ok(), c.ok);
    if (c.ok) {
      EXPECT_EQ(reader64.Pos(), c.consumed);
    }
    TPacketReader reader32(c.bytes);
    EXPECT_EQ(reader32.ReadLengthCoded32(), c.value32);
    EXPECT_EQ(reader32.Ok(), c.ok);
  }
}

TEST(LengthCoded, StringLongerThanThePacketFailsAndLaterReadsStayFailed) {
  const Bytes packet = {7, 'a', 'b', 3, 'x', 'y', 'z'};
  TPacketReader reader(packet);
  EXPECT_FALSE(reader.ReadLengthCodedString());
  EXPECT_FALSE(reader.Ok());
  EXPECT_EQ(reader.ReadByte(), 0);
  EXPECT_FALSE(reader.ReadLengthCodedString());
}

TEST(LengthCoded, HugeLengthIsRejectedNotAllocated) {
  const Bytes packet = {254, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 'a'};
  TPacketReader reader(packet);
  EXPECT_FALSE(reader.ReadLengthCodedString());
  EXPECT_FALSE(reader.Ok());
}

// --- OK and end-of-data packets -------------------------------------------

struct OkCase {
  const char* name;
  Bytes bytes;
  bool layout41;
  bool serverTransactions;
  std::optional<TOkPacket> expected;
};

TEST(OkPacket, LayoutsAndMalformedPackets) {
  const Bytes full41 =
      Concat({{0, 3, 252, 0x10, 0x27, 0x22, 0x00, 0x02, 0x00}, Lc("Rows matched: 3")});
  const OkCase cases[] = {
      {"4.1 with info", full41, true, true,
       TOkPacket{3, 10000, std::uint16_t{0x22}, 2, "Rows matched: 3", {}}},
      {"4.1 without info",
       {0, 1, 0, 2, 0, 0, 0},
       true,
       true,
       TOkPacket{1, 0, std::uint16_t{2}, 0, "", {}}},
      {"old with transactions has a status word",
       {0, 4, 5, 3, 0},
       false,
       true,
       TOkPacket{4, 5, std::uint16_t{3}, 0, "", {}}},
      {"old without transactions keeps the status",
       {0, 4, 5},
       false,
       false,
       TOkPacket{4, 5, std::nullopt, 0, "", {}}},
      {"info length 0 gives no info",
       {0, 0, 0, 2, 0, 0, 0, 0, 'x'},
       true,
       true,
       TOkPacket{0, 0, std::uint16_t{2}, 0, "", {}}},
      {"null counts read as all ones",
       {0, 251, 251, 2, 0, 0, 0},
       true,
       true,
       TOkPacket{~0ull, ~0ull, std::uint16_t{2}, 0, "", {}}},
      {"4.1 without warnings", {0, 1, 0, 2, 0}, true, true, std::nullopt},
      {"truncated affected rows", {0, 252, 1}, true, true, std::nullopt},
      {"not an OK packet", {1, 0, 0, 2, 0, 0, 0}, true, true, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto ok = ParseOkPacket(c.bytes, c.layout41, c.serverTransactions);
    ASSERT_EQ(ok.has_value(), c.expected.has_value());
    if (!ok) continue;
    EXPECT_EQ(ok->AffectedRows, c.expected->AffectedRows);
    EXPECT_EQ(ok->LastInsertId, c.expected->LastInsertId);
    EXPECT_EQ(ok->ServerStatus, c.expected->ServerStatus);
    EXPECT_EQ(ok->WarningCount, c.expected->WarningCount);
    EXPECT_EQ(ok->Info, c.expected->Info);
  }
  for (std::size_t length = 0; length < 9; ++length)
    EXPECT_FALSE(ParseOkPacket(TBytes(full41).first(length), true, true)) << length;
}

TEST(OkPacket, SessionChangesAreReadWhereTheClientAskedForThem) {
  // "Rows matched: 1", then the changes: schema, a variable, other state.
  const Bytes changes =
      Concat({{1, 5, 4}, Text("shop"), {0, 11, 8}, Text("sql_mode"), {1, 'A'}, {2, 1, '1'}});
  const Bytes packet = Concat({{0, 1, 0, 0x02, 0x40, 0, 0, 15},
                               Text("Rows matched: 1"),
                               {static_cast<std::uint8_t>(changes.size())},
                               changes});
  const auto ok = ParseOkPacket(packet, true, true, true);
  ASSERT_TRUE(ok);
  EXPECT_EQ(ok->Info, "Rows matched: 1");
  EXPECT_EQ(ok->Changes.Database, "shop");
  ASSERT_EQ(ok->Changes.Variables.size(), 1u);
  EXPECT_EQ(ok->Changes.Variables[0].first, "sql_mode");
  EXPECT_EQ(ok->Changes.Variables[0].second, "A");
  EXPECT_TRUE(ok->Changes.StateChanged);
  // Not asked for: the message runs to the end, as it always did.
  EXPECT_TRUE(ParseOkPacket(packet, true, true, false)->Changes.Empty());
  // Without the status bit the block is not there; a packet may end after
  // the warnings.
  EXPECT_TRUE(ParseOkPacket(Bytes{0, 0, 0, 2, 0, 0, 0, 0}, true, true, true)->Changes.Empty());
  EXPECT_TRUE(ParseOkPacket(Bytes{0, 0, 0, 2, 0, 0, 0}, true, true, true));
  // An entry whose data runs past the block, a block past the packet, a
  // variable without its value: malformed.
  for (const Bytes& bad :
       {Bytes{0, 0, 0, 2, 0x40, 0, 0, 0, 3, 1, 9, 1}, Bytes{0, 0, 0, 2, 0x40, 0, 0, 0, 9, 2, 1},
        Bytes{0, 0, 0, 2, 0x40, 0, 0, 0, 4, 0, 2, 1, 'x'}})
    EXPECT_FALSE(ParseOkPacket(bad, true, true, true));
  // Cut anywhere in the message or the block: malformed. (Cut right after
  // the message, the packet simply has no block.)
  const std::size_t blockStart = 8 + 15;
  for (std::size_t length = 8; length < packet.size(); ++length) {
    if (length == blockStart) continue;
    EXPECT_FALSE(ParseOkPacket(TBytes(packet).first(length), true, true, true)) << length;
  }
}

TEST(EndOfData, ShortPacketsEndAListLongerOnesAreRows) {
  EXPECT_TRUE(IsEndOfData(Bytes{254}));
  EXPECT_TRUE(IsEndOfData(Bytes{254, 1, 0, 2, 0}));
  EXPECT_TRUE(IsEndOfData(Bytes{254, 0, 0, 0, 0, 0, 0}));
  EXPECT_FALSE(IsEndOfData(Bytes{254, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_FALSE(IsEndOfData(Bytes{}));
  EXPECT_FALSE(IsEndOfData(Bytes{253, 0}));

  const auto end = ParseEndOfData(Bytes{254, 3, 0, 0x22, 0});
  ASSERT_TRUE(end);
  EXPECT_EQ(end->WarningCount, 3);
  EXPECT_EQ(end->ServerStatus, 0x22);
  EXPECT_FALSE(ParseEndOfData(Bytes{254}));
  EXPECT_FALSE(ParseEndOfData(Bytes{254, 3, 0, 0x22}));
}

// --- Greeting ------------------------------------------------------------------

Bytes Greeting10(std::string_view version, std::uint16_t caps) {
  return Concat({{10},
                 Text(version),
                 {0},
                 {0x39, 0x30, 0, 0},  // thread id 12345
                 Text("abcdefgh"),    // first seed part
                 {0},                 // filler
                 {static_cast<std::uint8_t>(caps), static_cast<std::uint8_t>(caps >> 8)},
                 {8, 2, 0},             // language 8, status 2
                 Bytes(13, 0),          // filler
                 Text("ijklmnopqrst"),  // second seed part
                 {0}});
}

TEST(Greeting, FullShortAndMalformedGreetings) {
  const Bytes full = Greeting10("5.5.5-10.11.6-MariaDB", 0xA28D);
  const auto greeting = ParseGreeting(full);
  ASSERT_TRUE(greeting);
  EXPECT_EQ(greeting->ProtocolVersion, 10);
  EXPECT_EQ(greeting->ServerVersion, "5.5.5-10.11.6-MariaDB");
  EXPECT_EQ(greeting->ThreadId, 12345u);
  EXPECT_EQ(greeting->ScrambleSeed, "abcdefghijklmnopqrst");
  EXPECT_EQ(greeting->Capabilities, 0xA28Du);
  EXPECT_EQ(greeting->Language, 8u);
  EXPECT_EQ(greeting->Status, 2u);
  EXPECT_TRUE(greeting->HasSecondSeedPart);

  const std::size_t v = std::string_view("5.5.5-10.11.6-MariaDB").size();
  struct {
    const char* name;
    std::size_t length;
    bool parses;
    std::optional<std::uint32_t> caps;
    bool status;
    bool secondSeed;
  } const cuts[] = {
      {"no version terminator", 5, false, std::nullopt, false, false},
      {"seed cut short", v + 13, false, std::nullopt, false, false},
      {"protocol 9 style: seed only", v + 15, true, std::nullopt, false, false},
      {"one capability byte", v + 16, true, 0x8Du, false, false},
      {"capabilities, no status", v + 17, true, 0xA28Du, false, false},
      {"4.0 style: status block", v + 33, true, 0xA28Du, true, false},
      {"second seed cut", v + 44, true, 0xA28Du, true, false},
      {"second seed complete", v + 45, true, 0xA28Du, true, true},
  };
  for (const auto& cut : cuts) {
    SCOPED_TRACE(cut.name);
    const auto parsed = ParseGreeting(TBytes(full).first(cut.length));
    ASSERT_EQ(parsed.has_value(), cut.parses);
    if (!parsed) continue;
    EXPECT_EQ(parsed->Capabilities, cut.caps);
    EXPECT_EQ(parsed->Status.has_value(), cut.status);
    EXPECT_EQ(parsed->HasSecondSeedPart, cut.secondSeed);
    EXPECT_EQ(parsed->ScrambleSeed.size(), cut.secondSeed ? 20u : 8u);
  }
}

// Plugin authentication: the upper capability word, the length of all seed
// data, and the method's name after it.
TEST(Greeting, NamedMethod) {
  const std::string_view version = "8.4.3";
  const std::size_t upperCaps = 1 + version.size() + 1 + 4 + 8 + 1 + 2 + 3;
  struct {
    const char* name;
    std::uint8_t upperCaps;
    std::uint8_t seedData;
    Bytes after;  // after the second seed part and its NUL
    std::optional<std::string> method;
  } const cases[] = {
      {"MySQL 8.4", 0x08, 21, Concat({Text("caching_sha2_password"), {0}}),
       "caching_sha2_password"},
      {"no plugin authentication", 0x00, 21, Concat({Text("caching_sha2_password"), {0}}),
       std::nullopt},
      {"the name without its NUL", 0x08, 21, Text("mysql_native_password"),
       "mysql_native_password"},
      {"no name", 0x08, 21, {}, ""},
      {"longer seed data", 0x08, 25, Concat({Bytes(4, 'z'), Text("dialog"), {0}}), "dialog"},
      {"seed data shorter than the parts", 0x08, 0, Concat({Text("dialog"), {0}}), "dialog"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes greeting = Concat({Greeting10(version, 0xF7FF), c.after});
    greeting[upperCaps] = c.upperCaps;
    greeting[upperCaps + 2] = c.seedData;
    const auto parsed = ParseGreeting(greeting);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->AuthMethod, c.method);
    EXPECT_EQ(parsed->ScrambleSeed, "abcdefghijklmnopqrst");
    EXPECT_EQ(parsed->Capabilities, 0xF7FFu) << "the script sees the lower word";
  }
}

TEST(Greeting, TwoStepServersAreThe410Ones) {
  EXPECT_TRUE(UsesTwoStepAuthentication("4.1.0-alpha"));
  EXPECT_FALSE(UsesTwoStepAuthentication("4.1.1"));
  EXPECT_FALSE(UsesTwoStepAuthentication("10.11.6-MariaDB"));
}

TEST(ClientFlag, DerivationFollowsTheServerOffer) {
  struct {
    const char* name;
    std::uint32_t configured;
    bool withDb;
    std::uint32_t serverCaps;
    bool compress;
    std::uint32_t expected;
  } const cases[] = {
      {"4.1 server, compression offered", 0, false, 0xA2AD, true, 0xE2A5},
      {"compression switched off", 0xE285, false, 0xA2AD, false, 0xE285},
      {"compression kept from an earlier connect", 0xE2A5, false, 0xA2AD, false, 0xE2A5},
      {"server without compression", 0xE2A5, false, 0xA28D, true, 0xE285},
      {"database requested", 0xE285, true, 0xA28D, true, 0xE28D},
      {"pre-4.1 server", 0xE285, false, 0x202C, false, 0x2085},
      {"pre-4.1 server, db and compression", 0xE285, true, 0x202C, true, 0x20AD},
      {"pass-through bits survive", 0x0402, false, 0xA28D, false, 0xE687},
      {"multi-statements dropped for old servers", 0x30000, false, 0x2000, false, 0x2085},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DeriveClientFlag(c.configured, c.withDb, c.serverCaps, c.compress), c.expected);
  }
}

// --- Field packets -------------------------------------------------------------

Bytes Field41(std::string_view name, std::uint32_t length, std::uint8_t type, std::uint16_t flags,
              std::uint8_t decimals) {
  return Concat({Lc("def"),
                 Lc("db1"),
                 Lc("t"),
                 Lc("orig_t"),
                 Lc(name),
                 Lc("orig"),
                 {12, 33, 0},
                 {static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8),
                  static_cast<std::uint8_t>(length >> 16), static_cast<std::uint8_t>(length >> 24)},
                 {type, static_cast<std::uint8_t>(flags), static_cast<std::uint8_t>(flags >> 8),
                  decimals, 0, 0}});
}

Bytes FieldOld(std::string_view name, std::uint32_t length, std::uint8_t type, Bytes flagsBlock) {
  return Concat({Lc("t"),
                 Lc(name),
                 {3, static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8),
                  static_cast<std::uint8_t>(length >> 16)},
                 {1, type},
                 {static_cast<std::uint8_t>(flagsBlock.size())},
                 flagsBlock});
}

TEST(FieldPacket, LayoutsAndTheNumericFlag) {
  struct {
    const char* name;
    Bytes bytes;
    bool layout41;
    bool longFlags;
    std::uint8_t type;
    std::uint32_t length;
    std::uint32_t flags;
    std::uint32_t decimals;
  } const cases[] = {
      {"4.1 LONG", Field41("id", 11, 3, 0x4203, 0), true, false, 3, 11, 0x4203 | NUM_FLAG, 0},
      {"4.1 VAR_STRING", Field41("s", 60, 253, 0, 0), true, false, 253, 60, 0, 0},
      {"TIMESTAMP 14 is numeric", Field41("ts", 14, 7, 0, 0), true, false, 7, 14, NUM_FLAG, 0},
      {"TIMESTAMP 8 is numeric", Field41("ts", 8, 7, 0, 0), true, false, 7, 8, NUM_FLAG, 0},
      {"TIMESTAMP 19 is not", Field41("ts", 19, 7, 0, 0), true, false, 7, 19, 0, 0},
      {"YEAR is numeric", Field41("y", 4, 13, 0, 0), true, false, 13, 4, NUM_FLAG, 0},
      {"DATE is not", Field41("d", 10, 10, 0, 0), true, false, 10, 10, 0, 0},
      {"DECIMAL keeps decimals", Field41("p", 10, 0, 0, 2), true, false, 0, 10, NUM_FLAG, 2},
      {"old layout short flags", FieldOld("n", 11, 3, {0x23, 0x02}), false, false, 3, 11,
       0x23 | NUM_FLAG, 2},
      {"old layout short flags, string", FieldOld("s", 8, 254, {0x23, 0x02}), false, false, 254, 8,
       0x23, 2},
      {"old layout long flags", FieldOld("n", 11, 3, {0x23, 0x01, 0x02}), false, true, 3, 11,
       0x123 | NUM_FLAG, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto field = DecodeFieldPacket(c.bytes, c.layout41, c.longFlags);
    ASSERT_TRUE(field);
    EXPECT_EQ(field->Type, c.type);
    EXPECT_EQ(field->Length, c.length);
    EXPECT_EQ(field->Flags, c.flags);
    EXPECT_EQ(field->Decimals, c.decimals);
    EXPECT_EQ(field->MaxLength, 0u);
    EXPECT_EQ(field->NameLength, field->Name.size());
    for (std::size_t length = 0; length < c.bytes.size(); ++length)
      EXPECT_FALSE(DecodeFieldPacket(TBytes(c.bytes).first(length), c.layout41, c.longFlags))
          << "truncated to " << length;
  }
}

TEST(FieldPacket, NamesOfBothLayouts) {
  const auto f41 = DecodeFieldPacket(Field41("alias", 11, 3, 0, 0), true, false);
  ASSERT_TRUE(f41);
  EXPECT_EQ(f41->Catalog, "def");
  EXPECT_EQ(f41->Db, "db1");
  EXPECT_EQ(f41->Table, "t");
  EXPECT_EQ(f41->OrgTable, "orig_t");
  EXPECT_EQ(f41->Name, "alias");
  EXPECT_EQ(f41->OrgName, "orig");
  EXPECT_EQ(f41->CharsetNr, 33u);
  EXPECT_EQ(f41->OrgTableLength, 6u);

  const auto old = DecodeFieldPacket(FieldOld("n", 11, 3, {0, 0}), false, false);
  ASSERT_TRUE(old);
  EXPECT_EQ(old->Table, "t");
  EXPECT_EQ(old->Name, "n");
  EXPECT_EQ(old->Db, "");
  EXPECT_EQ(old->CharsetNr, 0u);
}

TEST(FieldPacket, NullColumnsLeaveZerosShortColumnsFail) {
  const Bytes nullFixed = Concat({Lc("def"), Lc(""), Lc(""), Lc(""), Lc("x"), Lc(""), {251}});
  const auto field = DecodeFieldPacket(nullFixed, true, false);
  ASSERT_TRUE(field);
  EXPECT_EQ(field->Length, 0u);
  // Type 0 (DECIMAL) is numeric, so a NULL fixed block still gets NUM_FLAG.
  EXPECT_EQ(field->Flags, NUM_FLAG);

  const Bytes shortFixed =
      Concat({Lc("def"), Lc(""), Lc(""), Lc(""), Lc("x"), Lc(""), Lc("123456789")});
  EXPECT_FALSE(DecodeFieldPacket(shortFixed, true, false));
  const Bytes shortLength = Concat({Lc("t"), Lc("n"), Lc("ab"), {1, 3}, {2, 0, 0}});
  EXPECT_FALSE(DecodeFieldPacket(shortLength, false, false));
  const Bytes shortLongFlags = FieldOld("n", 11, 3, {0x23, 0x02});
  EXPECT_FALSE(DecodeFieldPacket(shortLongFlags, false, true));
}

// --- Rows ---------------------------------------------------------------------------

// A row packet as the packet layer hands it out: writable, with a 0 behind it.
struct PacketCopy {
  explicit PacketCopy(const Bytes& payload) : bytes(payload) { bytes.push_back(0); }
  std::span<std::uint8_t> Payload() { return {bytes.data(), bytes.size() - 1}; }
  Bytes bytes;
};

TEST(RowPacket, NullEmptyAndTruncatedValuesInPlace) {
  const Bytes row = Concat({Lc("1"), {251}, Lc(""), Lc("text")});
  PacketCopy packet(row);
  TCurrentRow current;
  ASSERT_TRUE(current.Assign(packet.Payload(), 4));
  EXPECT_EQ(current.Value(0), "1");
  EXPECT_EQ(current.Value(1), std::nullopt);
  EXPECT_EQ(current.Value(2), "");
  EXPECT_EQ(current.Value(3), "text");
  for (std::size_t column : {0u, 2u, 3u}) {
    const auto value = current.Value(column);
    EXPECT_EQ(value->data()[value->size()], '\0') << "every value is NUL-terminated";
  }
  // Copied out, the row no longer needs the packet.
  current.Keep();
  std::fill(packet.bytes.begin(), packet.bytes.end(), 'x');
  EXPECT_EQ(current.Value(0), "1");
  EXPECT_EQ(current.Value(1), std::nullopt);
  EXPECT_EQ(current.Value(3), "text");
  EXPECT_EQ(current.Value(3)->data()[4], '\0');

  TCurrentRow failing;
  PacketCopy again(row);
  EXPECT_FALSE(failing.Assign(again.Payload(), 5)) << "more columns than values";
  EXPECT_FALSE(failing.Present());
  for (std::size_t length = 0; length < row.size(); ++length) {
    PacketCopy truncated(Bytes(row.begin(), row.begin() + static_cast<std::ptrdiff_t>(length)));
    EXPECT_FALSE(current.Assign(truncated.Payload(), 4)) << "truncated to " << length;
    EXPECT_EQ(current.Value(3), "text") << "a failed row keeps the one before";
  }

  PacketCopy binary(Concat({{3, 'a', 0, 'b'}}));
  ASSERT_TRUE(current.Assign(binary.Payload(), 1));
  EXPECT_EQ(current.Value(0), std::string_view("a\0b", 3));
}

// Every length form, and rows large (32-bit offsets) and small (16-bit)
// side by side in one store, across blocks and index chunks.
TEST(RowPacket, StoreKeepsEveryRowWhole) {
  const std::string large(70000, 'L');
  const Bytes wide = Concat({{252, 0x00, 0x01},
                             Bytes(256, 'w'),
                             {253, 0x70, 0x11, 0x01},
                             Text(large),
                             {254, 3, 0, 0, 0, 0, 0, 0, 0},
                             Text("abc")});
  TRowStore store(3);
  for (int i = 0; i < 70000; ++i) {
    ASSERT_TRUE(store.Append(Concat({Lc(std::to_string(i)), {251}, Lc("x")})));
    if (i % 10000 == 0) {
      ASSERT_TRUE(store.Append(wide));
    }
  }
  EXPECT_FALSE(store.Append(Concat({Lc("1"), {251}}))) << "a value short";
  ASSERT_EQ(store.Count(), 70007u);
  EXPECT_EQ(store.Row(0).Value(0), "0");
  EXPECT_EQ(store.Row(1).Value(0)->size(), 256u);
  EXPECT_TRUE(store.Row(1).Value(1) == large);
  EXPECT_EQ(store.Row(1).Value(2), "abc");
  EXPECT_EQ(store.Row(1).Value(2)->data()[3], '\0');
  EXPECT_EQ(store.Row(70006).Value(0), "69999");
  EXPECT_EQ(store.Row(70006).Value(1), std::nullopt);
  EXPECT_EQ(store.Row(70006).Value(2), "x");
  EXPECT_EQ(store.Row(70006).Value(2)->data()[1], '\0');
  EXPECT_EQ(store.LongestValues(), (std::vector<std::uint32_t>{256, 70000, 3}));
}

}  // namespace

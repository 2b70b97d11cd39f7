// Authentication and change-user packets, and which local files a statement
// allows the server to ask for.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "mysql/uMysqlAuthPacket.h"
#include "mysql/uMysqlCodec.h"
#include "mysql/uMysqlGreeting.h"
#include "mysql/uMysqlLocalInfile.h"
#include "mysql/uMysqlNewPassword.h"
#include "support/Wire.h"

using namespace mysql;

namespace {

const std::string kSeed = "abcdefghijklmnopqrst";

Bytes Scramble41Part(std::string_view password) {
  const TSha1Digest scramble = Scramble41(AsBytes(kSeed), password);
  // Built by assignment: GCC 12 at -O2 misreads insert() after a one-element
  // initializer list as an out-of-bounds copy.
  Bytes part(1 + scramble.size());
  part[0] = 20;
  std::copy(scramble.begin(), scramble.end(), part.begin() + 1);
  return part;
}

Bytes OldScramblePart(std::string_view password) {
  Bytes part = Text(ScrambleOld(std::string_view(kSeed).substr(0, 8), password));
  part.push_back(0);
  return part;
}

TEST(PasswordPart, EachScheme) {
  struct {
    const char* name;
    std::uint32_t caps;
    bool useNewPassword;
    std::string password;
    Bytes expected;
  } const cases[] = {
      {"empty password, 4.1", CLIENT_SECURE_CONNECTION, false, "", {0}},
      {"empty password, old", 0, false, "", {0}},
      {"empty password, two-step", CLIENT_SECURE_CONNECTION, true, "", {0}},
      {"4.1 scramble", CLIENT_SECURE_CONNECTION, false, "secret", Scramble41Part("secret")},
      {"two-step placeholder", CLIENT_SECURE_CONNECTION, true, "secret",
       Text(std::string("xxxxxxxx\0", 9))},
      {"old scramble", 0, false, "secret", OldScramblePart("secret")},
      {"password ends at NUL", CLIENT_SECURE_CONNECTION, false, std::string("secret\0tail", 11),
       Scramble41Part("secret")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(BuildPasswordPart({c.caps, c.useNewPassword, kSeed, c.password}), c.expected);
  }
  EXPECT_EQ(OldScramblePart("secret").size(), 9u);
}

TEST(AuthPacket, Layout41) {
  const Bytes packet = BuildAuthPacket({.ClientFlag = 0xE28D,
                                        .ServerLanguage = 8,
                                        .User = "root",
                                        .Db = "shop",
                                        .Password = {0xA28D, false, kSeed, ""}});
  Bytes expected = {0x8D, 0xE2, 0, 0, 0, 0, 0, 1, 8};
  expected.insert(expected.end(), 23, 0);
  for (const Bytes& part : {Text("root"), Bytes{0}, Bytes{0}, Text("shop"), Bytes{0}})
    expected.insert(expected.end(), part.begin(), part.end());
  EXPECT_EQ(packet, expected);
}

TEST(AuthPacket, OldLayoutLimitsAndDatabaseRule) {
  const std::string user(40, 'u');
  const std::string db(70, 'd');
  // Server offers CLIENT_CONNECT_WITH_DB: the database travels, cut to 64 bytes.
  const Bytes withDb = BuildAuthPacket(
      {.ClientFlag = 0x2085, .User = user, .Db = db, .Password = {0x200C, false, kSeed, "pw"}});
  Bytes expected = {0x85, 0x20, 0, 0, 0};
  const Bytes scramble = OldScramblePart("pw");
  for (const Bytes& part :
       {Text(user.substr(0, 32)), Bytes{0}, scramble, Text(db.substr(0, 64)), Bytes{0}})
    expected.insert(expected.end(), part.begin(), part.end());
  EXPECT_EQ(withDb, expected);

  // Without it the database is left out (it is selected after authentication).
  const Bytes withoutDb = BuildAuthPacket(
      {.ClientFlag = 0x2085, .User = "", .Db = db, .Password = {0x2004, false, kSeed, ""}});
  EXPECT_EQ(withoutDb, (Bytes{0x85, 0x20, 0, 0, 0, 0, 0, 0}));
}

// A named method replaces the password part by its answer and follows the
// database field, which is NUL-terminated whenever the word has
// CLIENT_CONNECT_WITH_DB (the server reads it then, empty or not).
TEST(AuthPacket, NamedMethod) {
  const Bytes answer(32, 0xAB);
  const TNamedAuth named{"caching_sha2_password", answer};
  const TPasswordContext password{0xA28D, false, kSeed, "pw"};
  struct {
    const char* name;
    std::uint32_t flag;
    std::string_view db;
    Bytes database;  // between the answer and the method's name
  } const cases[] = {
      {"with a database", 0x8E28D, "shop", Concat({Text("shop"), {0}})},
      {"the bit without a database", 0x8E28D, "", {0}},
      {"no database", 0x8E285, "", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes packet = BuildAuthPacket(
        {.ClientFlag = c.flag, .User = "root", .Db = c.db, .Password = password, .Named = named});
    const Bytes expected = Concat({Bytes(packet.begin(), packet.begin() + 32),
                                   Text("root"),
                                   {0},
                                   {32},
                                   answer,
                                   c.database,
                                   Text("caching_sha2_password"),
                                   {0}});
    EXPECT_EQ(packet, expected);
    EXPECT_EQ(packet[2], 0x08) << "the method bit is in the word sent";
  }
  // The change of user gives the character set before the method's name.
  EXPECT_EQ(BuildChangeUserArgument("bob", "shop", password, named, 255),
            Concat({Text("bob"),
                    {0},
                    {32},
                    answer,
                    Text("shop"),
                    {0},
                    {255, 0},
                    Text("caching_sha2_password"),
                    {0}}));
}

TEST(ChangeUserArgument, CutsTheDatabaseTo64Bytes) {
  const std::string db(100, 'x');
  const Bytes argument =
      BuildChangeUserArgument("bob", db, {CLIENT_SECURE_CONNECTION, false, kSeed, "pw"});
  Bytes expected = Text("bob");
  expected.push_back(0);
  const Bytes scramble = Scramble41Part("pw");
  expected.insert(expected.end(), scramble.begin(), scramble.end());
  const Bytes cut = Text(db.substr(0, 64));
  expected.insert(expected.end(), cut.begin(), cut.end());
  expected.push_back(0);
  EXPECT_EQ(argument, expected);
}

TEST(LocalInfile, OnlyTheFileTheStatementNames) {
  struct {
    const char* name;
    const char* statement;
    std::string file;
    bool allowed;
  } const cases[] = {
      {"plain", "LOAD DATA LOCAL INFILE '/tmp/a.csv' INTO TABLE t", "/tmp/a.csv", true},
      {"lower case, double quotes", "load data local infile \"/tmp/a.csv\" into table t",
       "/tmp/a.csv", true},
      {"options and comments",
       "  /* x */ LOAD DATA LOW_PRIORITY LOCAL\n INFILE '/tmp/a.csv' INTO TABLE t", "/tmp/a.csv",
       true},
      {"LOAD XML", "LOAD XML LOCAL INFILE 'a.xml' INTO TABLE t", "a.xml", true},
      {"escaped quote", R"(LOAD DATA LOCAL INFILE 'it\'s.csv' INTO TABLE t)", "it's.csv", true},
      {"doubled quote", "LOAD DATA LOCAL INFILE 'it''s.csv' INTO TABLE t", "it's.csv", true},
      {"backslash escapes", R"(LOAD DATA LOCAL INFILE 'C:\\data\\a.csv' INTO TABLE t)",
       R"(C:\data\a.csv)", true},
      {"backslash literal (NO_BACKSLASH_ESCAPES)",
       R"(LOAD DATA LOCAL INFILE 'C:\\data' INTO TABLE t)", R"(C:\\data)", true},
      {"another file", "LOAD DATA LOCAL INFILE '/tmp/a.csv' INTO TABLE t", "/etc/passwd", false},
      {"a prefix of the name", "LOAD DATA LOCAL INFILE '/tmp/a.csv' INTO TABLE t", "/tmp/a", false},
      {"not LOCAL", "LOAD DATA INFILE '/etc/passwd' INTO TABLE t", "/etc/passwd", false},
      {"a SELECT", "SELECT '/etc/passwd'", "/etc/passwd", false},
      {"name in a comment", "SELECT 1 /* LOAD DATA LOCAL INFILE '/etc/passwd' */", "/etc/passwd",
       false},
      {"unterminated literal", "LOAD DATA LOCAL INFILE '/etc/passwd", "/etc/passwd", false},
      {"empty statement", "", "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(StatementNamesLocalFile(c.statement, c.file), c.allowed);
  }
}

}  // namespace

// Payloads of 16 MiB and more against the real server (max_allowed_packet
// 64 MB): values just around the size of one packet and well past it, sent in
// statements and LOAD DATA LOCAL uploads, read back byte for byte in both
// result kinds, plain and compressed.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "ServerHelpers.h"

using namespace mysql;

namespace {

// Letters in a pseudo-random order: nothing to escape in a statement or a
// LOAD DATA line, and not so repetitive that compression makes it trivial.
std::string Pattern(std::size_t length, std::uint32_t seed) {
  std::string text(length, 'a');
  std::uint32_t state = seed;
  for (char& c : text) {
    state = state * 1664525u + 1013904223u;
    c = static_cast<char>('a' + (state >> 24) % 26);
  }
  return text;
}

class ServerPayloads : public ServerTest, public ::testing::WithParamInterface<bool> {
 protected:
  std::unique_ptr<TMysqlClient> Session() { return NativeSession(GetParam()); }
  std::string Table(const char* base) const {
    return std::string(base) + (GetParam() ? "_compressed" : "_plain");
  }

  // Reads column `column` of `statement` both ways and compares it whole.
  void ExpectReadBack(TMysqlClient& client, const std::string& statement, int column,
                      const std::string& expected) {
    for (const bool buffered : {true, false}) {
      SCOPED_TRACE(buffered ? "buffered" : "row by row");
      const TQueryResult query = client.Query(statement, buffered);
      ASSERT_TRUE(query.Ok) << client.LastErrorNo() << " " << client.LastError();
      const auto value = query.Result->Value(column);
      ASSERT_TRUE(value);
      EXPECT_EQ(value->size(), expected.size());
      EXPECT_TRUE(*value == expected) << "the value differs";
      EXPECT_EQ(value->data()[value->size()], '\0');
      if (buffered) {
        EXPECT_EQ(query.Result->Field(column)->MaxLength, expected.size());
      }
    }
  }
};

TEST_P(ServerPayloads, ValuesAroundAndBeyondOnePacketByStatement) {
  auto client = Session();
  const std::string table = Table("payload_statement");
  ASSERT_TRUE(client->Query("CREATE OR REPLACE TABLE " + table + " (id INT, v LONGBLOB)", true).Ok);
  int id = 0;
  for (const std::size_t length :
       {std::size_t{16'777'215}, std::size_t{16'777'216}, std::size_t{40'000'000}}) {
    SCOPED_TRACE(length);
    const std::string value = Pattern(length, static_cast<std::uint32_t>(length));
    ++id;
    ASSERT_TRUE(client
                    ->Query("INSERT INTO " + table + " VALUES (" + std::to_string(id) + ", '" +
                                value + "')",
                            true)
                    .Ok)
        << client->LastErrorNo() << " " << client->LastError();
    EXPECT_EQ(
        QueryValue(*client, "SELECT LENGTH(v) FROM " + table + " WHERE id = " + std::to_string(id)),
        std::to_string(length));
    ExpectReadBack(*client, "SELECT v FROM " + table + " WHERE id = " + std::to_string(id), 0,
                   value);
  }
}

TEST_P(ServerPayloads, LargeValueThroughLoadDataLocal) {
  auto client = Session();
  const std::string table = Table("payload_upload");
  ASSERT_TRUE(client->Query("CREATE OR REPLACE TABLE " + table + " (v LONGBLOB)", true).Ok);
  const std::string value = Pattern(40'000'000, 7);
  const auto path = std::filesystem::temp_directory_path() /
                    ("orbelin-payload-" + std::to_string(GetParam()) + ".txt");
  std::ofstream(path, std::ios::binary) << value << "\n";
  const auto load =
      client->Query("LOAD DATA LOCAL INFILE '" + path.string() + "' INTO TABLE " + table, true);
  std::filesystem::remove(path);
  ASSERT_TRUE(load.Ok) << client->LastErrorNo() << " " << client->LastError();
  EXPECT_EQ(client->AffectedRows(), 1u);
  ExpectReadBack(*client, "SELECT v FROM " + table, 0, value);
}

TEST_P(ServerPayloads, RowOverSixteenMebibytesFromSmallerValues) {
  auto client = Session();
  const std::string first = Pattern(9'000'000, 1);
  const std::string second = Pattern(9'000'000, 2);
  const std::string table = Table("payload_row");
  ASSERT_TRUE(
      client->Query("CREATE OR REPLACE TABLE " + table + " (a LONGBLOB, b LONGBLOB)", true).Ok);
  ASSERT_TRUE(
      client->Query("INSERT INTO " + table + " VALUES ('" + first + "', '" + second + "')", true)
          .Ok)
      << client->LastError();
  ExpectReadBack(*client, "SELECT a, b FROM " + table, 0, first);
  ExpectReadBack(*client, "SELECT a, b FROM " + table, 1, second);
}

TEST_P(ServerPayloads, LargeStatementInsideATransaction) {
  auto client = Session();
  const std::string table = Table("payload_transaction");
  ASSERT_TRUE(
      client->Query("CREATE OR REPLACE TABLE " + table + " (v LONGBLOB) ENGINE=InnoDB", true).Ok);
  ASSERT_TRUE(client->Query("START TRANSACTION", true).Ok);
  const std::string value = Pattern(40'000'000, 3);
  ASSERT_TRUE(client->Query("INSERT INTO " + table + " VALUES ('" + value + "')", true).Ok)
      << client->LastError();
  ASSERT_TRUE(client->Query("COMMIT", true).Ok) << client->LastError();
  EXPECT_EQ(QueryValue(*client, "SELECT LENGTH(v) FROM " + table), "40000000");
}

INSTANTIATE_TEST_SUITE_P(Server, ServerPayloads, ::testing::Bool(),
                         [](const auto& test) { return test.param ? "Compressed" : "Plain"; });

}  // namespace

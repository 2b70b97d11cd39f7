#include <gtest/gtest.h>

#include <string>

#include "mysql/uMysqlErrors.h"
#include "mysql/uMysqlVio.h"

using namespace mysql;

namespace {

TEST(ClientErrors, CatalogueTextsThatAreEasyToGetWrong) {
  EXPECT_EQ(ClientErrorMessage(2014), "Commands out of sync;  You can't run this command now");
  EXPECT_EQ(ClientErrorMessage(2008), "MySQL client run out of memory");
  EXPECT_EQ(ClientErrorMessage(2016),
            "Can't wait for named pipe to host: %-.64s  pipe: %-.32s (%lu)");
  EXPECT_EQ(ClientErrorMessage(2020), "Got packet bigger than 'max_allowed_packet'");
  EXPECT_EQ(ClientErrorMessage(2000), "Unknown MySQL error");
  EXPECT_EQ(ClientErrorMessage(1999), "");
  EXPECT_EQ(ClientErrorMessage(2021), "");
  EXPECT_EQ(ClientErrorMessage(kErrNetPacketTooLarge), "");
}

TEST(ClientErrors, Formatting) {
  const std::string host100(100, 'h');
  struct Case {
    const char* name;
    std::string got;
    std::string expected;
  } cases[] = {
      {"2003 host and error", FormatClientError(2003, {"localhost", 10061}),
       "Can't connect to MySQL server on 'localhost' (10061)"},
      {"2005 cuts the host to 64", FormatClientError(2005, {host100, 11001}),
       "Unknown MySQL Server Host '" + std::string(64, 'h') + "' (11001)"},
      {"2016 system error unsigned", FormatClientError(2016, {".", "MySQL", -1}),
       "Can't wait for named pipe to host: .  pipe: MySQL (4294967295)"},
      {"2018 system error unsigned", FormatClientError(2018, {".", "MySQL", 0x80000000u}),
       "Can't set state of named pipe to host: .  pipe: MySQL (2147483648)"},
      {"2017 file not found", FormatClientError(2017, {".", "MySQL", 2}),
       "Can't open named pipe to host: .  pipe: MySQL (2)"},
      {"%-.32s cuts the pipe", FormatClientError(2017, {".", std::string(40, 'p'), 5}),
       "Can't open named pipe to host: .  pipe: " + std::string(32, 'p') + " (5)"},
      {"2007 signed versions", FormatClientError(2007, {11, 10}),
       "Protocol mismatch. Server Version = 11 Client Version = 10"},
      {"%d is signed", FormatClientError(2004, {-5}), "Can't create TCP/IP socket (-5)"},
      {"no conversions", FormatClientError(2013), "Lost connection to MySQL server during query"},
      {"missing arguments", FormatClientError(2003), "Can't connect to MySQL server on '' (0)"},
      {"literal percent", FormatErrorMessage("100%% of %d", {7}), "100% of 7"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.expected) << c.name;
}

// The errors beyond the classic range, as the session records them: a
// script compares these numbers and may show or match these texts.
TEST(ClientErrors, EveryNumberTheClientRecordsHasItsText) {
  for (const std::int32_t number :
       {2000, 2003, 2004, 2005, 2006, 2007, 2008, 2009, 2013, 2014, 2016, 2017,
        2018, 2020, 2027, 2059, 2061, 2068, 2900, 2901, 2902, 2903, 2,    29})
    EXPECT_NE(ClientErrorMessage(number), "") << number;

  const std::string method(150, 'm');
  TMysqlVio vio;
  vio.SetClientError(ErrAuthMethodUnsupported, {method});
  EXPECT_EQ(vio.ErrorNumber(), 2059);
  EXPECT_EQ(vio.ErrorMessage(), ("The server asked for the authentication method '" + method +
                                 "', which this client does not support")
                                    .substr(0, 200))
      << "the method's name is not cut short; only the slot's 200 characters bound it";

  struct Case {
    std::int32_t number;
    std::int32_t expectedNumber;
    std::string got;
    std::string expected;
  } const cases[] = {
      {ErrMalformedPacket, 2027, FormatClientError(ErrMalformedPacket), "Malformed packet"},
      {ErrAuthMethodFailed, 2061,
       FormatClientError(ErrAuthMethodFailed,
                         {"caching_sha2_password", "this system cannot compute SHA-256"}),
       "The authentication method 'caching_sha2_password' failed: this system cannot compute "
       "SHA-256"},
      {ErrLocalInfileRejected, 2068, FormatClientError(ErrLocalInfileRejected, {"/etc/passwd"}),
       "The server asked for the local file '/etc/passwd', which the statement does not name; it "
       "was not sent"},
      {ErrLocalFileNotFound, 29, FormatClientError(ErrLocalFileNotFound, {"a%d.csv", 2}),
       "File 'a%d.csv' not found (Errcode: 2)"},
      {ErrLocalFileRead, 2, FormatClientError(ErrLocalFileRead, {"b.csv", 21}),
       "Error reading file 'b.csv' (Errcode: 21)"},
      {ErrStatementTooLarge, 2901,
       FormatClientError(ErrStatementTooLarge, {1073741825u, 1073741823u}),
       "The statement of 1073741825 bytes is longer than the 1073741823 bytes this client sends; "
       "nothing was sent"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.number, c.expectedNumber);
    EXPECT_EQ(c.got, c.expected) << c.number;
  }
}

TEST(ClientErrors, RecordedMessageKeepsTwoHundredCharacters) {
  TMysqlVio vio;
  vio.SetError(2000, std::string(300, 'x'));
  EXPECT_EQ(vio.ErrorMessage(), std::string(200, 'x'));
  vio.SetClientError(2005, {std::string(100, 'h'), 1});
  EXPECT_EQ(vio.ErrorNumber(), 2005);
  EXPECT_EQ(vio.ErrorMessage(), "Unknown MySQL Server Host '" + std::string(64, 'h') + "' (1)");
}

}  // namespace

// What a statement leaves in the session, as the client reads it from the
// text, and how the session keeps what a new connection must be given again.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mysql/uMysqlSessionState.h"
#include "mysql/uMysqlStatementEffects.h"

namespace mysql {
namespace {

using Strings = std::vector<std::string>;

struct EffectsCase {
  const char* statement;
  std::uint32_t holdings;
  bool repeatable;
  Strings variables;
};

TEST(StatementEffects, WhatStatementsLeaveBehind) {
  const Strings charset = {"character_set_client", "character_set_connection",
                           "character_set_results", "collation_connection"};
  const EffectsCase cases[] = {
      {"select * from t where a = '@x := 1'", 0, false, {}},
      {"insert into t values (@price)", 0, false, {}},
      {"set @price = 42", HoldsUserVariables, false, {}},
      {"SET @a := 1, @b = 2", HoldsUserVariables, false, {}},
      {"select @n := count(*) from t", HoldsUserVariables, false, {}},
      {"select a, b into @a, @`b` from t", HoldsUserVariables, false, {}},
      {"call p(@out)", HoldsUserVariables, false, {}},
      {"create temporary table t (a int)", HoldsTemporaryTables, false, {}},
      {"CREATE OR REPLACE TEMPORARY TABLE t (a int)", HoldsTemporaryTables, false, {}},
      {"create table t (a int)", 0, false, {}},
      {"lock tables t write", HoldsTableLocks, false, {}},
      {"flush tables with read lock", HoldsTableLocks, false, {}},
      {"do get_lock('x', 0)", HoldsNamedLocks, false, {}},
      {"select get_lock ( 'x', 0 )", HoldsNamedLocks, false, {}},
      {"prepare s from 'select 1'", HoldsPreparedStatements, false, {}},
      {"set transaction isolation level serializable", HoldsNextTransaction, false, {}},
      {"select last_insert_id(42)", HoldsInsertId, false, {}},
      {"set session sql_mode = 'NO_BACKSLASH_ESCAPES'", 0, true, {"sql_mode"}},
      {"SET time_zone = '+03:00', @@session.wait_timeout = 100",
       0,
       true,
       {"time_zone", "wait_timeout"}},
      {"set @@SQL_MODE = concat(@@sql_mode, ',ANSI')", 0, true, {"sql_mode"}},
      {"set names cp1251", 0, true, charset},
      {"set character set cp1251", 0, true, charset},
      {"/*!40101 SET NAMES utf8mb4 */", 0, true, charset},
      {"set sql_mode = '', names cp1251",
       0,
       true,
       {"sql_mode", "character_set_client", "character_set_connection", "character_set_results",
        "collation_connection"}},
      {"set session transaction isolation level read committed", 0, true, {"transaction"}},
      {"set global max_connections = 10", 0, false, {}},
      // The last scope word counts for the items after it.
      {"set global max_connections = 10, wait_timeout = 5", 0, false, {}},
      {"set global max_connections = 10, session wait_timeout = 5", HoldsOtherState, false, {}},
      {"set @@global.wait_timeout = 5, sql_mode = ''", HoldsOtherState, false, {}},
      {"set password = password('x')", 0, false, {}},
      {"set statement max_statement_time = 1 for select 1", 0, false, {}},
      {"set statement max_statement_time = 1 for set @x = 1", HoldsUserVariables, false, {}},
      {"set @x = 1, sql_mode = ''", HoldsUserVariables, true, {"sql_mode"}},
      {"-- set @x = 1\nselect 1", 0, false, {}},
      {"select 'set @x = 1'", 0, false, {}},
  };
  for (const EffectsCase& c : cases) {
    SCOPED_TRACE(c.statement);
    const TStatementEffects effects = ReadStatementEffects(c.statement);
    EXPECT_EQ(effects.Holdings, c.holdings);
    EXPECT_EQ(effects.RepeatableSet, c.repeatable);
    EXPECT_EQ(effects.SetVariables, c.variables);
  }
}

TEST(StatementEffects, DatabaseLocksInsertIdAndTracking) {
  EXPECT_EQ(ReadStatementEffects("use other").UsedDatabase, "other");
  EXPECT_EQ(ReadStatementEffects("USE `we``ird db`").UsedDatabase, "we`ird db");
  EXPECT_FALSE(ReadStatementEffects("select 1").UsedDatabase);

  EXPECT_TRUE(ReadStatementEffects("unlock tables").UnlocksTables);
  EXPECT_FALSE(ReadStatementEffects("unlock instance").UnlocksTables);

  EXPECT_TRUE(ReadStatementEffects("insert into l values (last_insert_id(), 1)").ReadsInsertId);
  EXPECT_TRUE(ReadStatementEffects("select @@identity").ReadsInsertId);
  EXPECT_TRUE(ReadStatementEffects("select @@session.last_insert_id").ReadsInsertId);
  EXPECT_FALSE(ReadStatementEffects("insert into l values (1, 'last_insert_id()')").ReadsInsertId);
  EXPECT_EQ(ReadStatementEffects("insert into l values (last_insert_id(), 1)").Holdings, 0u);

  EXPECT_TRUE(ReadStatementEffects("set session_track_state_change = OFF").ChangesSessionTracking);
  EXPECT_FALSE(ReadStatementEffects("select 1").ExplainsStateChange);
  EXPECT_TRUE(ReadStatementEffects("drop temporary table t").ExplainsStateChange);
  EXPECT_TRUE(ReadStatementEffects("deallocate prepare s").ExplainsStateChange);
}

TEST(StatementEffects, UnterminatedAndOddTextNeverConfusesTheReader) {
  for (const char* text : {"set @x = 'open", "set", "use", "@", "@@", "set @", "call p(@",
                           "select last_insert_id(", "set names", "`", "/*", "set statement"}) {
    SCOPED_TRACE(text);
    static_cast<void>(ReadStatementEffects(text));
  }
  EXPECT_EQ(ReadStatementEffects("set @x = 'a, sql_mode = 1'").SetVariables, Strings{});
}

TEST(StatementEffects, HoldingsAreNamed) {
  EXPECT_EQ(DescribeHoldings(HoldsTemporaryTables | HoldsUserVariables),
            "temporary tables, user variables");
  EXPECT_EQ(DescribeHoldings(HoldsInsertId), "the last insert id");
  EXPECT_EQ(DescribeHoldings(0), "");
}

// Notes a statement of the script the way the session does after its answer.
void Note(TSessionState& state, const std::string& statement, TSessionChanges changes = {},
          std::uint64_t insertId = 0) {
  state.NoteStatement(statement, ReadStatementEffects(statement), changes, insertId);
}

TEST(SessionState, SettingsAreRepeatedInOrderAndLaterOnesReplaceEarlierOnes) {
  TSessionState state;
  Note(state, "set names cp1251");
  Note(state, "set sql_mode = ''");
  Note(state, "set time_zone = '+01:00', sql_mode = 'ANSI'");
  Note(state, "set character_set_results = NULL");
  // sql_mode alone is covered by the later statement setting it with time_zone.
  EXPECT_EQ(state.RestoreStatements(),
            (Strings{"set names cp1251", "set time_zone = '+01:00', sql_mode = 'ANSI'",
                     "set character_set_results = NULL"}));
  Note(state, "set names utf8mb4");
  EXPECT_EQ(state.RestoreStatements(),
            (Strings{"set time_zone = '+01:00', sql_mode = 'ANSI'", "set names utf8mb4"}));
  EXPECT_EQ(state.CharsetStatements(), Strings{"set names utf8mb4"});
  EXPECT_EQ(state.Holdings(), 0u);

  // A change of user keeps only the character set; Close keeps nothing.
  Note(state, "use other");
  state.ResetForNewUser();
  EXPECT_EQ(state.RestoreStatements(), Strings{"set names utf8mb4"});
  EXPECT_FALSE(state.Database());
  state.Clear();
  EXPECT_TRUE(state.RestoreStatements().empty());
}

TEST(SessionState, ValuesTheServerReportsForOtherStatementsAreSetAgain) {
  TSessionState state;
  TSessionChanges changes;
  changes.Variables = {{"sql_mode", "NO_BACKSLASH_ESCAPES"},
                       {"wait_timeout", "100"},
                       {"character_set_results", ""},
                       {"session_track_schema", "ON"}};
  changes.Database = "shop";
  Note(state, "call configure()", changes);
  EXPECT_EQ(
      state.RestoreStatements(),
      (Strings{"SET SESSION `sql_mode` = X'4E4F5F4241434B534C4153485F45534341504553'",
               "SET SESSION `wait_timeout` = 100", "SET SESSION `character_set_results` = NULL"}));
  EXPECT_EQ(state.Database(), "shop");
  // A SET is repeated as written; what the server reports of it adds nothing.
  TSessionChanges reported;
  reported.Variables = {{"sql_mode", ""}};
  Note(state, "set sql_mode = ''", reported);
  EXPECT_EQ(state.RestoreStatements().back(), "set sql_mode = ''");
  EXPECT_EQ(state.RestoreStatements().size(), 3u);
}

TEST(SessionState, HoldingsComeAndGo) {
  TSessionState state;
  Note(state, "lock tables t write");
  Note(state, "set transaction read only");
  EXPECT_EQ(state.Holdings(), HoldsTableLocks | HoldsNextTransaction);
  Note(state, "unlock tables");
  EXPECT_EQ(state.Holdings(), 0u);

  Note(state, "insert into t values ()", {}, 7);
  EXPECT_EQ(state.Holdings(), HoldsInsertId);

  // The server says the session changed, and the text does not say how.
  TSessionChanges changed;
  changed.StateChanged = true;
  Note(state, "call p()", changed);
  EXPECT_EQ(state.Holdings(), HoldsInsertId | HoldsOtherState);
  state.ForgetHoldings();
  Note(state, "create temporary table x (a int)", changed);
  EXPECT_EQ(state.Holdings(), HoldsTemporaryTables);
}

}  // namespace
}  // namespace mysql

// The script's read and write time-outs against a scripted server on a real
// socket: a server that stops reading, one that stops answering in the middle
// of a reply, and a slow one that keeps sending. Each bounds silence only.

#include <gtest/gtest.h>

#include <chrono>

#include "FakeReplies.h"
#include "mysql/uMysqlClient.h"

using namespace mysql;

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct TimedSession {
  TimedSession() { ScriptLogin(server, GreetingPayload(10, "5.0.96", kServer41)); }
  void Connect() {
    server.Start();
    PointAt(client, server);
    client.SetShouldReconnect(false);
    ASSERT_TRUE(client.Connect()) << client.LastError();
  }
  ~TimedSession() {
    server.Stop();
    server.Wait();
  }
  FakeServer server;
  TMysqlClient client;
};

TEST(TimeoutsFake, AServerThatStopsReadingEndsTheSendAfterTheWriteTimeout) {
  TimedSession s;
  s.server.StopReading();
  s.Connect();
  s.client.SetWriteTimeout(1);
  const std::string statement = "insert into t values ('" + std::string(20'000'000, 'v') + "')";
  const auto started = Clock::now();
  EXPECT_FALSE(s.client.Query(statement, true).Ok);
  EXPECT_LT(Clock::now() - started, 15s) << "bounded, not blocked in send";
  EXPECT_TRUE(s.client.LastErrorNo() == ErrServerGone || s.client.LastErrorNo() == ErrServerLost)
      << s.client.LastErrorNo() << " " << s.client.LastError();
  EXPECT_FALSE(s.client.Connected());
}

TEST(TimeoutsFake, AServerThatStopsReadingForLessThanTheWriteTimeoutGetsTheWholeStatement) {
  TimedSession s;
  // 20 MB: more than the socket buffers hold, so the client meets a full
  // buffer, waits for room and goes on when the server reads again; two
  // packets (the first of 0xFFFFFF bytes).
  const std::string statement = "insert into t values ('" + std::string(20'000'000, 'v') + "')";
  s.server.Pause(1500ms).ReceivePacket().ReceivePacket().Send(Packet(2, OkPayload(1)));
  s.Connect();
  const std::size_t loginBytes = s.server.Received().size();
  s.client.SetWriteTimeout(10);
  const auto started = Clock::now();
  ASSERT_TRUE(s.client.Query(statement, true).Ok) << s.client.LastError();
  EXPECT_GE(Clock::now() - started, 1400ms) << "the send waited for the server";
  EXPECT_EQ(s.client.AffectedRows(), 1u);
  const Bytes received = s.server.Received();
  ASSERT_EQ(received.size(), loginBytes + 2 * 4 + 1 + statement.size());
  const std::size_t tail = received.size() - 3;
  EXPECT_EQ(std::string(received.begin() + static_cast<std::ptrdiff_t>(tail), received.end()),
            "v')");
}

TEST(TimeoutsFake, AServerSilentInTheMiddleOfAReplyEndsTheReadAfterTheReadTimeout) {
  struct Case {
    const char* name;
    Bytes sent;
  };
  // One byte of the result's first packet; or a whole 0xFFFFFF-byte piece
  // whose continuation never comes.
  Bytes piece = Concat({{0xFF, 0xFF, 0xFF, 1}, Bytes(0xFFFFFF, 'x')});
  const Case cases[] = {{"one byte", {1}}, {"a piece without its continuation", piece}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TimedSession s;
    s.server.ReceivePacket().Send(c.sent).StaySilent();
    s.Connect();
    s.client.SetReadTimeout(1);
    const auto started = Clock::now();
    EXPECT_FALSE(s.client.Query("select v from t", true).Ok);
    const auto waited = Clock::now() - started;
    EXPECT_GE(waited, 900ms);
    EXPECT_LT(waited, 10s);
    EXPECT_EQ(s.client.LastErrorNo(), ErrServerLost) << s.client.LastError();
    EXPECT_FALSE(s.client.Connected());
  }
}

TEST(TimeoutsFake, ASlowServerThatKeepsSendingIsNeverCutOff) {
  TimedSession s;
  s.server.ReceivePacket();
  s.server.Send(
      Concat({Packet(1, {1}), Packet(2, Field41Payload("v", 253, 20)), Packet(3, EofPayload())}));
  // Six rows, 400 ms apart: 2.4 s in all against a read time-out of 1 s.
  std::uint8_t sequence = 4;
  for (int row = 0; row < 6; ++row) {
    s.server.Pause(400ms).Send(Packet(sequence, RowPayload({std::to_string(row)})));
    ++sequence;
  }
  s.server.Send(Packet(sequence, EofPayload()));
  s.Connect();
  s.client.SetReadTimeout(1);
  const auto query = s.client.Query("select v from t", true);
  ASSERT_TRUE(query.Ok) << s.client.LastError();
  EXPECT_EQ(query.Result->RowCount(), 6u);
  EXPECT_TRUE(s.client.Connected());
}

}  // namespace

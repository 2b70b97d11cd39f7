// Transport: TCP and local-pipe connects against the loopback fake server and
// a local listener, and the retry classification against the scripted peer.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include "mysql/uMysqlVio.h"
#include "platform/os/LocalPipe.h"
#include "support/FakeServer.h"
#include "support/MariaDbFixture.h"
#include "support/ScriptedStream.h"

using namespace mysql;

namespace {

using Clock = std::chrono::steady_clock;

// A loopback port that nothing listens on.
std::int32_t ClosedPort() {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  close(s);
  return ntohs(address.sin_port);
}

// A Unix listener that accepts nothing: a connect to it still succeeds.
class LocalListener {
 public:
  LocalListener() : path_("/tmp/orbelin-vio-test-" + std::to_string(getpid()) + ".sock") {
    fd_ = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path_.c_str());
    unlink(path_.c_str());
    bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(fd_, 4);
  }
  ~LocalListener() {
    close(fd_);
    unlink(path_.c_str());
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  int fd_;
};

TEST(VioTcp, ConnectClearsTheErrorAndRefusesASecondConnect) {
  FakeServer server;
  server.Send(Text("hi")).DrainUntilClosed();
  server.Start();
  TMysqlVio vio;
  vio.SetClientError(2005, {"earlier", 1});
  ASSERT_EQ(vio.Connect(VioTcpIp, "127.0.0.1", "ignored", server.Port(), 5, true), 0);
  EXPECT_EQ(vio.Kind(), VioTcpIp);
  EXPECT_EQ(vio.ErrorNumber(), 0);
  EXPECT_EQ(vio.ErrorMessage(), "");
  EXPECT_TRUE(vio.IsBlocking());

  EXPECT_EQ(vio.Connect(VioTcpIp, "127.0.0.1", "", server.Port(), 5, true), -20);
  std::uint8_t buffer[8];
  ASSERT_EQ(vio.Read(buffer, sizeof buffer), 2) << "the first connection is intact";
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 2), "hi");
  vio.Close();
  EXPECT_EQ(vio.Kind(), VioClosed);
  vio.Close();  // closing twice is harmless
  EXPECT_EQ(vio.Read(buffer, 1), -1);
  EXPECT_EQ(vio.Write(buffer, 1), -1);
  EXPECT_EQ(vio.SetBlocking(true), -1);
  EXPECT_FALSE(vio.WaitReadable(0));
  server.Wait();
  EXPECT_TRUE(server.Failures().empty());
}

TEST(VioTcp, FailureRows) {
  const std::int32_t closed = ClosedPort();
  const std::string longHost = std::string(100, 'n') + ".invalid";
  struct Case {
    const char* name;
    std::string host;
    std::int32_t port;
    int result;
    std::int32_t number;
    std::string messageStart;
  } cases[] = {
      {"refused", "127.0.0.1", closed, -6, 2003, "Can't connect to MySQL server on '127.0.0.1' ("},
      {"empty host is localhost", "", closed, -6, 2003,
       "Can't connect to MySQL server on 'localhost' ("},
      {"unknown host", "no-such-host.invalid", 3306, -7, 2005,
       "Unknown MySQL Server Host 'no-such-host.invalid' ("},
      {"long host cut to 64", longHost, 3306, -7, 2005,
       "Unknown MySQL Server Host '" + longHost.substr(0, 64) + "' ("},
  };
  for (const auto& c : cases) {
    TMysqlVio vio;
    EXPECT_EQ(vio.Connect(VioTcpIp, c.host, "", c.port, 5, true), c.result) << c.name;
    EXPECT_EQ(vio.Kind(), VioClosed) << c.name;
    EXPECT_EQ(vio.ErrorNumber(), c.number) << c.name;
    EXPECT_EQ(vio.ErrorMessage().substr(0, c.messageStart.size()), c.messageStart) << c.name;
    EXPECT_EQ(vio.ErrorMessage().back(), ')') << c.name;
  }
  TMysqlVio vio;
  EXPECT_EQ(vio.Connect(VioSsl, "127.0.0.1", "", closed, 5, true), -2);
  EXPECT_EQ(vio.ErrorNumber(), 0);
}

TEST(VioTcp, SilentServerTimesOut) {
  FakeServer server;
  server.StaySilent();
  server.Start();
  TMysqlVio vio;
  const auto started = Clock::now();
  EXPECT_EQ(vio.Connect(VioTcpIp, "127.0.0.1", "", server.Port(), 1, true), -7);
  const auto elapsed = Clock::now() - started;
  EXPECT_GE(elapsed, std::chrono::milliseconds(900));
  EXPECT_LT(elapsed, std::chrono::seconds(3));
  EXPECT_EQ(vio.ErrorNumber(), 2003);
  const std::string start = "Can't connect to MySQL server on '127.0.0.1' (";
  EXPECT_EQ(vio.ErrorMessage().substr(0, start.size()), start);
  EXPECT_EQ(vio.Kind(), VioClosed);

  // A time-out of 0 does not wait for the first bytes.
  EXPECT_EQ(vio.Connect(VioTcpIp, "127.0.0.1", "", server.Port(), 0, true), 0);
  vio.Close();
  server.Stop();
  server.Wait();
}

TEST(VioPipe, MissingPipeWithoutFallBack) {
  LocalPipeLink link("");
  ASSERT_TRUE(link.Ok());
  TMysqlVio vio;
  EXPECT_EQ(vio.Connect(VioNamedPipe, "server.example", "OtherPipe", 0, 1, false), -9);
  EXPECT_EQ(vio.ErrorNumber(), 2017);
  EXPECT_EQ(vio.ErrorMessage(), "Can't open named pipe to host: .  pipe: MySQL (2)");
  EXPECT_EQ(vio.Kind(), VioClosed);
}

TEST(VioPipe, MissingPipeFallsBackToTcpOnTheCallersHost) {
  LocalPipeLink link("");
  ASSERT_TRUE(link.Ok());
  FakeServer server;
  server.Send(Text("!")).DrainUntilClosed();
  server.Start();
  TMysqlVio vio;
  ASSERT_EQ(vio.Connect(VioNamedPipe, "127.0.0.1", "MySQL", server.Port(), 5, true), 0);
  EXPECT_EQ(vio.Kind(), VioTcpIp);
  EXPECT_EQ(vio.ErrorNumber(), 0) << "the TCP connect clears the pipe error";
  vio.Close();
  server.Wait();

  TMysqlVio refused;
  EXPECT_EQ(refused.Connect(VioNamedPipe, "127.0.0.1", "MySQL", ClosedPort(), 5, true), -6);
  EXPECT_EQ(refused.ErrorNumber(), 2003);
}

TEST(VioPipe, OpensTheFixedPipeAndKeepsAnEarlierError) {
  LocalListener listener;
  LocalPipeLink link(listener.Path());
  ASSERT_TRUE(link.Ok());
  TMysqlVio vio;
  vio.SetClientError(2003, {"before", 111});
  // Host and pipe name of the caller play no part in a pipe connect.
  ASSERT_EQ(vio.Connect(VioNamedPipe, "remote.example", "NotMySQL", 1, 5, false), 0);
  EXPECT_EQ(vio.Kind(), VioNamedPipe);
  EXPECT_EQ(vio.ErrorNumber(), 2003);
  EXPECT_EQ(vio.ErrorMessage(), "Can't connect to MySQL server on 'before' (111)");
  EXPECT_EQ(vio.SetBlocking(false), 0);
  EXPECT_TRUE(vio.IsBlocking()) << "a pipe has no non-blocking mode";
  EXPECT_TRUE(vio.WaitReadable(0));
  EXPECT_EQ(vio.Connect(VioNamedPipe, "", "", 0, 5, false), -20);
}

TEST(VioRetry, ClassificationOfTheLastFailure) {
  using platform::TIoError;
  struct Case {
    TIoError error;
    bool retry;
    bool interrupted;
  } cases[] = {
      {TIoError::Interrupted, true, true},
      {TIoError::WouldBlock, true, false},
      {TIoError::InProgress, true, false},
      {TIoError::Other, false, false},
  };
  for (const auto& c : cases) {
    auto [stream, peer] = ScriptedStream::Make();
    peer->FailRead(c.error);
    peer->Reply(Text("x"));
    TMysqlVio vio;
    ASSERT_EQ(vio.AttachStream(std::move(stream), VioTcpIp), 0);
    std::uint8_t byte;
    ASSERT_EQ(vio.Read(&byte, 1), -1);
    EXPECT_EQ(vio.ShouldRetry(), c.retry);
    EXPECT_EQ(vio.WasInterrupted(), c.interrupted);
    ASSERT_EQ(vio.Read(&byte, 1), 1);
    EXPECT_FALSE(vio.ShouldRetry()) << "a successful read clears the failure";
    vio.Close();
    EXPECT_FALSE(vio.ShouldRetry());
    EXPECT_TRUE(peer->Closed());
  }
}

}  // namespace

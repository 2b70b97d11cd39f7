// The TLS client stream against an in-memory OpenSSL server (TlsPeer): data
// both ways in many records, the certificate checks and their reasons, the
// client certificate, both TLS versions, the orderly end, and handshakes
// that break off, stall or time out.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/os/Tls.h"
#include "support/TestCertificates.h"
#include "support/TlsPeer.h"

using namespace platform;

namespace {

std::shared_ptr<TlsPeer> Peer(const std::string& cert = Certificates().Server,
                              const std::string& key = Certificates().ServerKey) {
  return std::make_shared<TlsPeer>(cert, key);
}

TTlsSettings Verifying(TTlsVerify verify, const std::string& host = "localhost",
                       const std::string& ca = Certificates().Ca) {
  TTlsSettings settings;
  settings.Verify = verify;
  settings.CaFile = ca;
  settings.HostName = host;
  return settings;
}

std::unique_ptr<TTlsStream> Start(const std::shared_ptr<TlsPeer>& peer,
                                  const TTlsSettings& settings, TTlsError& error) {
  return TTlsStream::Start(peer->Stream(), settings, TTlsClock::now() + std::chrono::seconds(5),
                           error);
}

Bytes ReadAll(TByteStream& stream, std::size_t wanted) {
  Bytes got;
  std::uint8_t piece[5000];
  while (got.size() < wanted) {
    const int count = stream.Read(piece, sizeof piece);
    if (count <= 0) break;
    got.insert(got.end(), piece, piece + count);
  }
  return got;
}

TEST(TlsStream, CarriesDataBothWaysInManyRecords) {
  for (const auto version : {TlsPeer::Version::Tls12, TlsPeer::Version::Tls13}) {
    const bool tls12 = version == TlsPeer::Version::Tls12;
    SCOPED_TRACE(tls12 ? "TLS 1.2" : "TLS 1.3");
    auto peer = Peer();
    peer->OnlyVersion(version);
    peer->Echo();
    TTlsError error;
    auto stream = Start(peer, Verifying(TTlsVerify::ChainAndName), error);
    ASSERT_TRUE(stream) << error.Reason;
    EXPECT_EQ(stream->Description().rfind(tls12 ? "TLSv1.2 TLS_" : "TLSv1.3 TLS_", 0), 0u)
        << stream->Description();
    Bytes data(300'000);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 31 + 7);
    ASSERT_EQ(stream->Write(data.data(), static_cast<int>(data.size())),
              static_cast<int>(data.size()));
    EXPECT_EQ(peer->Received(), data);
    EXPECT_TRUE(stream->WaitReadable(0));
    EXPECT_EQ(ReadAll(*stream, data.size()), data);
    // Nothing more: a wait ends without data (TLS 1.3 session tickets, taken
    // in along the way, do not count as data).
    EXPECT_FALSE(stream->WaitReadable(0));
    stream->Close();
    EXPECT_TRUE(peer->GotCloseNotify());
    EXPECT_TRUE(peer->ClientClosed());
  }
}

TEST(TlsStream, ThePeersOrderlyEndReadsAsTheEndOfTheStream) {
  auto peer = Peer();
  peer->Reply({1, 2, 3});
  peer->CloseAfterReplies();
  TTlsError error;
  auto stream = Start(peer, {}, error);
  ASSERT_TRUE(stream) << error.Reason;
  EXPECT_EQ(ReadAll(*stream, 3), (Bytes{1, 2, 3}));
  std::uint8_t byte = 0;
  EXPECT_EQ(stream->Read(&byte, 1), 0);
  EXPECT_EQ(stream->LastIoError(), TIoError::None);
}

TEST(TlsStream, CertificateChecksNameTheirReason) {
  const TestCertificates& files = Certificates();
  struct Case {
    const char* name;
    std::string cert, key;
    TTlsSettings settings;
    TTlsFailure failure;  // None: it connects
    const char* reason;
  } const cases[] = {
      {"no check takes anything", files.Expired, files.ExpiredKey, {}, TTlsFailure::None, ""},
      {"chain", files.Server, files.ServerKey, Verifying(TTlsVerify::Chain), TTlsFailure::None, ""},
      {"chain and IP address", files.Server, files.ServerKey,
       Verifying(TTlsVerify::ChainAndName, "127.0.0.1"), TTlsFailure::None, ""},
      {"another CA", files.Server, files.ServerKey,
       Verifying(TTlsVerify::Chain, "localhost", files.OtherCa), TTlsFailure::Untrusted,
       "the server's certificate is not trusted ("},
      {"expired", files.Expired, files.ExpiredKey, Verifying(TTlsVerify::Chain),
       TTlsFailure::Expired, "the server's certificate has expired"},
      {"another host's name", files.WrongHost, files.WrongHostKey,
       Verifying(TTlsVerify::ChainAndName), TTlsFailure::NameMismatch,
       "the server's certificate is not for 'localhost'"},
      {"another address", files.Server, files.ServerKey,
       Verifying(TTlsVerify::ChainAndName, "127.0.0.2"), TTlsFailure::NameMismatch,
       "is not for '127.0.0.2'"},
      {"the name is not checked by Chain", files.WrongHost, files.WrongHostKey,
       Verifying(TTlsVerify::Chain), TTlsFailure::None, ""},
      {"a CA file that is not there", files.Server, files.ServerKey,
       Verifying(TTlsVerify::Chain, "localhost", "/nonexistent/ca.pem"), TTlsFailure::Setup,
       "the CA file '/nonexistent/ca.pem' cannot be read"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto peer = Peer(c.cert, c.key);
    TTlsError error;
    auto stream = Start(peer, c.settings, error);
    EXPECT_EQ(stream != nullptr, c.failure == TTlsFailure::None) << error.Reason;
    EXPECT_EQ(error.Failure, c.failure);
    EXPECT_NE(error.Reason.find(c.reason), std::string::npos) << error.Reason;
    if (!stream) {
      EXPECT_TRUE(peer->ClientClosed()) << "the stream underneath is closed";
    }
  }
}

TEST(TlsStream, OffersTheClientCertificate) {
  const TestCertificates& files = Certificates();
  for (const bool offered : {false, true}) {
    SCOPED_TRACE(offered ? "offered" : "none");
    auto peer = Peer();
    peer->RequireClientCertificate();
    peer->Echo();
    TTlsSettings settings;
    if (offered) {
      settings.CertFile = files.Client;
      settings.KeyFile = files.ClientKey;
    }
    TTlsError error;
    auto stream = Start(peer, settings, error);
    // TLS 1.3 servers refuse a missing certificate only after the client's
    // Finished: the first read shows it then.
    const std::uint8_t ping[] = {42};
    bool works = stream && stream->Write(ping, 1) == 1;
    std::uint8_t back = 0;
    works = works && stream->Read(&back, 1) == 1 && back == 42;
    EXPECT_EQ(works, offered) << error.Reason;
  }
  TTlsSettings wrongKey;
  wrongKey.CertFile = files.Client;
  wrongKey.KeyFile = files.ServerKey;
  TTlsError error;
  EXPECT_FALSE(Start(Peer(), wrongKey, error));
  EXPECT_EQ(error.Failure, TTlsFailure::Setup);
  EXPECT_NE(error.Reason.find("does not match"), std::string::npos) << error.Reason;
}

// At every byte of the server's handshake the connection closes or stalls:
// the handshake fails with that reason, at once. (Flipped bytes are swept
// with the session's login in FaultSweepTest.)
TEST(TlsStream, AHandshakeBrokenOffAtEveryByteFailsAtOnce) {
  std::size_t flight = 0;
  {
    auto peer = Peer();
    TTlsError error;
    ASSERT_TRUE(Start(peer, {}, error)) << error.Reason;
    flight = peer->Sent();
  }
  ASSERT_GT(flight, 100u);
  for (const TlsPeer::Fault fault : {TlsPeer::Fault::Close, TlsPeer::Fault::Stall}) {
    for (std::size_t at = 0; at < flight; ++at) {
      SCOPED_TRACE("fault " + std::to_string(static_cast<int>(fault)) + " at byte " +
                   std::to_string(at));
      auto peer = Peer();
      peer->InjectFault(fault, at);
      TTlsError error;
      const auto started = TTlsClock::now();
      auto stream = Start(peer, Verifying(TTlsVerify::ChainAndName), error);
      EXPECT_LT(TTlsClock::now() - started, std::chrono::seconds(2));
      ASSERT_FALSE(stream);
      EXPECT_EQ(error.Failure,
                fault == TlsPeer::Fault::Close ? TTlsFailure::Closed : TTlsFailure::TimedOut);
      if (::testing::Test::HasFailure()) return;
    }
  }
}

TEST(TlsStream, TheHandshakeEndsAtItsDeadline) {
  auto peer = Peer();
  peer->InjectFault(TlsPeer::Fault::Stall, 0);
  // A stream whose waits really wait: the stall ends only at the deadline.
  class Waiting final : public TByteStream {
   public:
    explicit Waiting(std::unique_ptr<TByteStream> inner) : inner_(std::move(inner)) {}
    int Read(std::uint8_t* buffer, int size) override { return inner_->Read(buffer, size); }
    int Write(const std::uint8_t* data, int size) override { return inner_->Write(data, size); }
    int SetNonBlocking(bool on) override { return inner_->SetNonBlocking(on); }
    bool WaitReadable(std::int64_t milliseconds) override {
      if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
      return false;
    }
    TIoError LastIoError() const override { return inner_->LastIoError(); }
    void Close() override { inner_->Close(); }

   private:
    std::unique_ptr<TByteStream> inner_;
  };
  TTlsError error;
  const auto started = TTlsClock::now();
  auto stream = TTlsStream::Start(std::make_unique<Waiting>(peer->Stream()), {},
                                  started + std::chrono::milliseconds(300), error);
  const auto took = TTlsClock::now() - started;
  EXPECT_FALSE(stream);
  EXPECT_EQ(error.Failure, TTlsFailure::TimedOut);
  EXPECT_EQ(error.Reason, "the TLS handshake timed out");
  EXPECT_GE(took, std::chrono::milliseconds(290));
  EXPECT_LT(took, std::chrono::seconds(2));
}

TEST(TlsStream, AServerThatSpeaksNoTlsFailsTheHandshake) {
  // A MySQL error packet where the ServerHello should be.
  auto plain = Peer();
  plain->PlainReply({0x17, 0, 0, 2, 0xFF, 0x15, 0x04, '#', 'H', 'Y', '0', '0', '0'});
  plain->StartTlsAfter(1'000'000);
  TTlsError error;
  EXPECT_FALSE(Start(plain, {}, error));
  EXPECT_EQ(error.Failure, TTlsFailure::Handshake);
  EXPECT_NE(error.Reason.find("the TLS handshake failed ("), std::string::npos) << error.Reason;
}

}  // namespace

// TMysqlClient, its authentication: after the greeting and after COM_CHANGE_USER
// — the classic scrambles, the 4.1.0 two-step scheme, methods named by the
// server (plugin authentication) with its requests to switch methods, and
// the further steps of caching_sha2_password.

#include "mysql/uMysqlCachingSha2.h"
#include "mysql/uMysqlClient.h"
#include "mysql/uMysqlGreeting.h"
#include "mysql/uMysqlNewPassword.h"
#include "platform/os/LocalPipe.h"

namespace mysql {

namespace {

constexpr std::string_view kNoSha256 = "this system cannot compute SHA-256";

}  // namespace

TPasswordContext TMysqlClient::PasswordContext(std::string_view password) const {
  return {.ServerCapabilities = serverCapabilities_,
          .UseNewPassword = useNewPassword_,
          .ScrambleSeed = scrambleSeed_,
          .Password = password};
}

TNamedAuth TMysqlClient::TAuthOpening::AsNamed() const {
  if (!Named) return {};
  return {AuthMethodName(Start.Method), Answer};
}

bool TMysqlClient::Authenticate(const std::optional<std::string>& namedMethod) {
  // Methods are named only in the 4.1 layout with the 4.1 scramble.
  namedAuthMethod_.reset();
  if (namedMethod && Layout41() && (serverCapabilities_ & CLIENT_SECURE_CONNECTION) &&
      !useNewPassword_)
    namedAuthMethod_ = GreetingAuthMethod(*namedMethod);
  const auto opening = OpenAuthentication(password_);
  if (!opening) return false;
  // ClientFlag keeps the word the script sees; only the packet carries the
  // bits for named methods, session tracking, multiple results and a
  // database chosen by a statement rather than by Db.
  std::uint32_t sentFlag = opening->Named ? clientFlag_ | CLIENT_PLUGIN_AUTH
                                          : clientFlag_ & ~std::uint32_t{CLIENT_PLUGIN_AUTH};
  sessionTrackFormat_ =
      askForSessionTracking_ && Layout41() && (upperCapabilities_ & CLIENT_SESSION_TRACK) != 0;
  if (sessionTrackFormat_) sentFlag |= CLIENT_SESSION_TRACK;
  const std::string& database = ConnectDatabase();
  if (!database.empty()) sentFlag |= CLIENT_CONNECT_WITH_DB;
  // Procedures may answer with several results (a 4.1 server marks all but
  // the last); statements stay one per command.
  if (Layout41()) sentFlag |= CLIENT_MULTI_RESULTS;
  if (!StartTlsIfWanted(sentFlag)) return false;
  const auto packet = BuildAuthPacket({.ClientFlag = sentFlag,
                                       .ServerLanguage = LoginCharset(),
                                       .User = user_,
                                       .Db = database,
                                       .Password = PasswordContext(password_),
                                       .Named = opening->AsNamed()});
  return WriteAuthAnswer(packet) && ReadAuthReply(opening->Start);
}

std::optional<TMysqlClient::TAuthOpening> TMysqlClient::OpenAuthentication(
    std::string_view password) {
  TAuthOpening opening;
  if (!namedAuthMethod_) return opening;
  opening.Named = true;
  opening.Start = {*namedAuthMethod_, scrambleSeed_};
  auto scramble = AuthMethodScramble(opening.Start.Method, opening.Start.Nonce, password);
  if (!scramble) {
    static_cast<void>(FailAuthMethod(opening.Start.Method, kNoSha256));
    return std::nullopt;
  }
  opening.Answer = std::move(*scramble);
  return opening;
}

bool TMysqlClient::WriteAuthAnswer(std::span<const std::uint8_t> answer) {
  if (net_.WritePacket(answer) == 0 && net_.Flush() == 0) return true;
  // The server still waits for the answer: the stream cannot be used on.
  if (net_.LastErrorNo() != ErrOutOfMemory) net_.SetClientError(ErrServerLost);
  net_.Close();
  return false;
}

bool TMysqlClient::ReadAuthReply(const TAuthStart& start) {
  if (SafeRead() < 0) return false;
  const TBytes reply = net_.Payload();
  const bool secure = (serverCapabilities_ & CLIENT_SECURE_CONNECTION) != 0;
  if (useNewPassword_ && secure && reply.size() == kSecondStepReplySize && reply[0] != 0) {
    // Second step of 4.1.0 servers: "*" marks an account with an old-style hash.
    const std::span<const std::uint8_t, kSecondStepReplySize> challenge(reply.data(),
                                                                        kSecondStepReplySize);
    const TSha1Digest answer = reply[0] == '*' ? SecondStepOldHash(password_, challenge)
                                               : SecondStepSha1(password_, challenge);
    return WriteAuthAnswer(answer) && SafeRead() >= 0;
  }
  if (!useNewPassword_ && secure && IsOldScrambleRequest(reply)) {
    // The account has an old-style password: answer with the old scramble
    // (empty for an empty password) and its terminating NUL.
    std::string answer = ScrambleOld(scrambleSeed_, password_);
    answer.push_back('\0');
    return WriteAuthAnswer(AsBytes(answer)) && SafeRead() >= 0;
  }
  if (IsAuthSwitchRequest(reply)) return AnswerAuthSwitch(reply);
  return ContinueAuthentication(start);
}

// Servers that know authentication methods by name (MariaDB does so for
// COM_CHANGE_USER even to clients that never said they do) ask with 254, the
// method's name and a fresh nonce. Taking that request for success would leave
// the server waiting for an answer and report a refused password as accepted.
bool TMysqlClient::AnswerAuthSwitch(TBytes request) {
  TAuthSwitchRequest switchTo = ReadAuthSwitchRequest(request);
  const auto method = AuthMethodNamed(switchTo.Method);
  if (!method) {
    // Nothing of the password goes to a method this client cannot check.
    net_.SetClientError(ErrAuthMethodUnsupported, {switchTo.Method});
    net_.Close();
    return false;
  }
  const auto answer = AuthMethodScramble(*method, switchTo.Nonce, password_);
  if (!answer) return FailAuthMethod(*method, kNoSha256);
  if (!WriteAuthAnswer(*answer) || SafeRead() < 0) return false;
  // One switch per exchange: a server asking again is not following the protocol.
  if (IsAuthSwitchRequest(net_.Payload())) {
    FailMalformed();
    return false;
  }
  return ContinueAuthentication({*method, std::move(switchTo.Nonce)});
}

bool TMysqlClient::ContinueAuthentication(const TAuthStart& start) {
  // Only caching_sha2_password says more than OK (read as success without
  // being parsed further) or an error (which failed the read).
  const TBytes reply = net_.Payload();
  if (start.Method != TAuthMethod::CachingSha2Password || reply[0] != kAuthMoreData) return true;
  switch (ReadCachingSha2Reply(reply)) {
    case TCachingSha2Reply::FastAuthOk:
      return SafeRead() >= 0;
    case TCachingSha2Reply::FullAuthRequired:
      return SendCachingSha2Password(start.Nonce) && SafeRead() >= 0;
    case TCachingSha2Reply::Unknown:
      break;
  }
  FailMalformed();
  return false;
}

// Full authentication: the server needs the password itself. It travels in
// clear only where no one else can read it: over TLS, or a Unix domain
// socket (named pipes may lead to another machine).
bool TMysqlClient::SendCachingSha2Password(const std::string& nonce) {
  if (net_.Encrypted() || (net_.Kind() == VioNamedPipe && platform::LocalPipeIsUnixSocket()))
    return WriteAuthAnswer(ClearPasswordAnswer(password_));
  return SendEncryptedPassword(nonce);
}

bool TMysqlClient::SendEncryptedPassword(const std::string& nonce) {
  std::string publicKey;
  if (!serverPublicKey_.empty()) {
    const auto key = ReadPublicKeyFile(serverPublicKey_);
    if (!key)
      return FailAuthMethod(TAuthMethod::CachingSha2Password,
                            "the server's key file '" + serverPublicKey_ + "' cannot be read");
    publicKey = *key;
  } else if (allowPublicKeyRetrieval_) {
    // Taken on trust: whoever can change the traffic could hand out his own.
    const std::uint8_t request[] = {kRequestPublicKey};
    if (!WriteAuthAnswer(request) || SafeRead() < 0) return false;
    const auto sent = ReadPublicKey(net_.Payload());
    if (!sent) {
      FailMalformed();
      return false;
    }
    publicKey = *sent;
  } else {
    // A key asked for now could come from anyone able to change the traffic.
    return FailAuthMethod(TAuthMethod::CachingSha2Password,
                          "the password needs TLS (SslMode), the server's key file "
                          "(ServerPublicKey) or AllowPublicKeyRetrieval = 1");
  }
  const auto answer = EncryptedPasswordAnswer(publicKey, nonce, password_);
  if (!answer)
    return FailAuthMethod(TAuthMethod::CachingSha2Password,
                          "the password could not be encrypted with the server's public key");
  return WriteAuthAnswer(*answer);
}

bool TMysqlClient::FailAuthMethod(TAuthMethod method, std::string_view why) {
  net_.SetClientError(ErrAuthMethodFailed, {AuthMethodName(method), why});
  net_.Close();
  return false;
}

}  // namespace mysql

#include "mysql/uMysqlAuthMethod.h"

#include "mysql/uMysqlCachingSha2.h"
#include "mysql/uMysqlNewPassword.h"

namespace mysql {

namespace {

constexpr std::uint8_t kSwitchRequest = 254;

}  // namespace

std::optional<TAuthMethod> AuthMethodNamed(std::string_view name) {
  for (const TAuthMethod method :
       {TAuthMethod::NativePassword, TAuthMethod::OldPassword, TAuthMethod::CachingSha2Password}) {
    if (name == AuthMethodName(method)) return method;
  }
  return std::nullopt;
}

std::string_view AuthMethodName(TAuthMethod method) {
  switch (method) {
    case TAuthMethod::NativePassword:
      return kNativePasswordMethod;
    case TAuthMethod::OldPassword:
      return kOldPasswordMethod;
    case TAuthMethod::CachingSha2Password:
      return kCachingSha2PasswordMethod;
  }
  return {};
}

TAuthMethod GreetingAuthMethod(std::string_view named) {
  return named == kCachingSha2PasswordMethod ? TAuthMethod::CachingSha2Password
                                             : TAuthMethod::NativePassword;
}

std::optional<std::vector<std::uint8_t>> AuthMethodScramble(TAuthMethod method,
                                                            std::string_view nonce,
                                                            std::string_view password) {
  std::vector<std::uint8_t> answer;
  if (UpToNul(password).empty()) return answer;
  switch (method) {
    case TAuthMethod::NativePassword: {
      const TSha1Digest scramble = Scramble41(AsBytes(nonce), password);
      answer.assign(scramble.begin(), scramble.end());
      break;
    }
    case TAuthMethod::OldPassword:
      AppendText(answer, ScrambleOld(nonce, password));
      answer.push_back(0);
      break;
    case TAuthMethod::CachingSha2Password: {
      const auto scramble = ScrambleCachingSha2(nonce, password);
      if (!scramble) return std::nullopt;
      answer.assign(scramble->begin(), scramble->end());
      break;
    }
  }
  return answer;
}

bool IsAuthSwitchRequest(TBytes packet) {
  return packet.size() > 1 && packet[0] == kSwitchRequest;
}

bool IsOldScrambleRequest(TBytes packet) {
  return packet.size() == 1 && packet[0] == kSwitchRequest;
}

TAuthSwitchRequest ReadAuthSwitchRequest(TBytes packet) {
  TPacketReader reader(packet, 1);
  TAuthSwitchRequest request;
  request.Method = std::string(reader.ReadNulTerminated());
  request.Nonce = std::string(UpToNul(AsText(packet.subspan(reader.Pos()))));
  return request;
}

}  // namespace mysql

#include "mysql/uMysqlAuthPacket.h"

#include "mysql/uMysqlCodec.h"
#include "mysql/uMysqlGreeting.h"
#include "mysql/uMysqlNet.h"
#include "mysql/uMysqlNewPassword.h"

namespace mysql {

namespace {

constexpr std::size_t kHeaderFiller41 = 23;

void AppendUser(std::vector<std::uint8_t>& out, std::string_view user) {
  AppendText(out, user.substr(0, kMaxUserBytes));
  out.push_back(0);
}

void AppendPasswordPart(std::vector<std::uint8_t>& out, const TPasswordContext& password,
                        const TNamedAuth& named) {
  if (named.Method.empty()) {
    const auto part = BuildPasswordPart(password);
    out.insert(out.end(), part.begin(), part.end());
    return;
  }
  out.push_back(static_cast<std::uint8_t>(named.Answer.size()));
  out.insert(out.end(), named.Answer.begin(), named.Answer.end());
}

void AppendHeader41(std::vector<std::uint8_t>& out, std::uint32_t clientFlag,
                    std::uint8_t serverLanguage) {
  AppendUInt(out, clientFlag, 4);
  AppendUInt(out, kAnnouncedMaxPacket, 4);
  out.push_back(serverLanguage);
  out.insert(out.end(), kHeaderFiller41, 0);
}

void AppendMethodName(std::vector<std::uint8_t>& out, const TNamedAuth& named) {
  AppendText(out, named.Method);
  out.push_back(0);
}

}  // namespace

std::vector<std::uint8_t> BuildPasswordPart(const TPasswordContext& context) {
  const std::string_view password = UpToNul(context.Password);
  std::vector<std::uint8_t> part;
  if (password.empty()) {
    part.push_back(0);
  } else if ((context.ServerCapabilities & CLIENT_SECURE_CONNECTION) && context.UseNewPassword) {
    // Placeholder of the two-step scheme; the real answer follows the server's challenge.
    AppendText(part, "xxxxxxxx");
    part.push_back(0);
  } else if (context.ServerCapabilities & CLIENT_SECURE_CONNECTION) {
    const TSha1Digest scramble = Scramble41(AsBytes(context.ScrambleSeed), password);
    part.push_back(static_cast<std::uint8_t>(scramble.size()));
    part.insert(part.end(), scramble.begin(), scramble.end());
  } else {
    AppendText(part, ScrambleOld(context.ScrambleSeed, password));
    part.push_back(0);
  }
  return part;
}

std::vector<std::uint8_t> BuildAuthPacket(const TAuthPacketInput& input) {
  std::vector<std::uint8_t> packet;
  if (input.ClientFlag & CLIENT_RESERVED) {
    AppendHeader41(packet, input.ClientFlag, input.ServerLanguage);
  } else {
    AppendUInt(packet, input.ClientFlag & 0xFFFF, 2);
    AppendUInt(packet, 0, 3);
  }
  AppendUser(packet, input.User);
  AppendPasswordPart(packet, input.Password, input.Named);
  if (!input.Db.empty() && (input.Password.ServerCapabilities & CLIENT_CONNECT_WITH_DB))
    AppendText(packet, input.Db.substr(0, kMaxDbBytes));
  if (input.Named.Method.empty()) {
    packet.push_back(0);
    return packet;
  }
  // The server reads a database field whenever the word has the bit.
  if (input.ClientFlag & CLIENT_CONNECT_WITH_DB) packet.push_back(0);
  AppendMethodName(packet, input.Named);
  return packet;
}

std::vector<std::uint8_t> BuildSslRequest(std::uint32_t clientFlag, std::uint8_t serverLanguage) {
  std::vector<std::uint8_t> request;
  AppendHeader41(request, clientFlag | CLIENT_SSL, serverLanguage);
  return request;
}

std::vector<std::uint8_t> BuildChangeUserArgument(std::string_view user, std::string_view db,
                                                  const TPasswordContext& password,
                                                  const TNamedAuth& named, std::uint16_t charset) {
  std::vector<std::uint8_t> argument;
  AppendUser(argument, user);
  AppendPasswordPart(argument, password, named);
  AppendText(argument, db.substr(0, kMaxDbBytes));
  argument.push_back(0);
  if (!named.Method.empty()) {
    AppendUInt(argument, charset, 2);
    AppendMethodName(argument, named);
  }
  return argument;
}

}  // namespace mysql

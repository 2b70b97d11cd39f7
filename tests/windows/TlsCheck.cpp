// Connects the protocol client of the Windows build with TLS settings from
// the command line and says what came of it, for the Wine stage
// (scripts/wine-test):
//
//   tls-check host=H port=P user=U password=W [mode=0..4] [ca=FILE]
//             [cert=FILE] [key=FILE] [compress=1] [large=1]
//
// Prints "ok <cipher> <current user>" (and "large ok" after a value of
// 3 MB each way when asked), or "error <number>: <message>", and exits 0
// or 1 accordingly.

#include <cstdio>
#include <map>
#include <string>

#include "mysql/uMysqlClient.h"

using namespace mysql;

namespace {

std::string FirstValue(TMysqlClient& client, const std::string& statement) {
  const auto query = client.Query(statement, true);
  if (!query.Ok || !query.Result) return "?";
  const auto value = query.Result->Value(0);
  return value ? std::string(*value) : "NULL";
}

int Fail(TMysqlClient& client) {
  std::printf("error %d: %s\n", static_cast<int>(client.LastErrorNo()), client.LastError().c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::map<std::string, std::string> options;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    const auto equals = argument.find('=');
    if (equals != std::string::npos)
      options[argument.substr(0, equals)] = argument.substr(equals + 1);
  }
  TMysqlClient client;
  client.SetHost(options["host"]);
  client.SetPort(static_cast<std::uint32_t>(std::stoul(options["port"])));
  client.SetUser(options["user"]);
  client.SetPassword(options["password"]);
  client.SetCompress(options["compress"] == "1");
  client.SetConnectTimeout(20);
  if (!options["mode"].empty())
    client.SetSslMode(static_cast<TSslMode>(std::stoul(options["mode"]) % (kMaxSslMode + 1)));
  client.SetSslCa(options["ca"]);
  client.SetSslCert(options["cert"]);
  client.SetSslKey(options["key"]);
  if (!client.Connect()) return Fail(client);
  const std::string cipher = client.SslCipher().empty() ? "(none)" : client.SslCipher();
  std::printf("ok %s %s\n", cipher.c_str(), FirstValue(client, "SELECT CURRENT_USER()").c_str());
  if (options["large"] == "1") {
    const std::string value(3'000'000, 'v');
    if (!client.Query("CREATE OR REPLACE TABLE orbelin_test.tls_check (v LONGBLOB)", true).Ok ||
        !client.Query("INSERT INTO orbelin_test.tls_check VALUES ('" + value + "')", true).Ok)
      return Fail(client);
    if (FirstValue(client, "SELECT v FROM orbelin_test.tls_check") != value) return Fail(client);
    std::printf("large ok\n");
  }
  client.Close();
  return 0;
}

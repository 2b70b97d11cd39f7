#include "support/MariaDbFixture.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>

#include "platform/os/LocalPipe.h"

namespace {

std::string Quote(const std::string& text) {
  std::string out = "'";
  for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string PipePath() {
  return std::string(platform::kLocalPipeDirectory) + "/MySQL";
}

}  // namespace

std::optional<MariaDbServer> LoadMariaDbEnv(const std::string& path) {
  std::ifstream in(path);
  if (!in) return std::nullopt;
  std::map<std::string, std::string> values;
  for (std::string line; std::getline(in, line);) {
    const auto equals = line.find('=');
    if (equals != std::string::npos) values[line.substr(0, equals)] = line.substr(equals + 1);
  }
  if (values["port"].empty() || values["host"].empty()) return std::nullopt;
  MariaDbServer server;
  server.Host = values["host"];
  server.Port = std::atoi(values["port"].c_str());
  server.Socket = values["socket"];
  server.Database = values["database"];
  server.Native = {values["native_user"], values["native_password"]};
  server.Old = {values["old_user"], values["old_password"]};
  server.NoPass = {values["nopass_user"], ""};
  server.Ssl = {values["ssl_user"], values["ssl_password"]};
  server.X509 = {values["x509_user"], values["x509_password"]};
  server.Certs = values["certs"];
  return server;
}

std::optional<MariaDbServer> SharedMariaDb() {
  return LoadMariaDbEnv(std::string(ORBELIN_MARIADB_DIR) + "/server.env");
}

PrivateMariaDb::PrivateMariaDb(const std::string& name, const std::string& options)
    : dir_(std::string(ORBELIN_MARIADB_PRIVATE_DIR) + "/" + name) {
  std::string filled = options;
  for (auto at = filled.find("{certs}"); at != std::string::npos; at = filled.find("{certs}"))
    filled.replace(at, 7, dir_ + "/certs");
  const std::string command = Quote(std::string(ORBELIN_SOURCE_DIR) + "/scripts/mariadb-start") +
                              " " + Quote(dir_) + " " + filled + " >/dev/null";
  if (std::system(command.c_str()) == 0) server_ = LoadMariaDbEnv(dir_ + "/server.env");
}

bool PrivateMariaDb::Restart(bool crash) {
  const std::string command = Quote(std::string(ORBELIN_SOURCE_DIR) + "/scripts/mariadb-restart") +
                              " " + Quote(dir_) + (crash ? " --crash" : "") + " >/dev/null";
  return std::system(command.c_str()) == 0;
}

PrivateMariaDb::~PrivateMariaDb() {
  const std::string command =
      Quote(std::string(ORBELIN_SOURCE_DIR) + "/scripts/mariadb-stop") + " " + Quote(dir_);
  if (std::system(command.c_str()) != 0) std::fprintf(stderr, "stopping %s failed\n", dir_.c_str());
}

LocalPipeLink::LocalPipeLink(const std::string& socketPath) {
  mkdir(platform::kLocalPipeDirectory, 0777);
  const std::string lockPath = std::string(platform::kLocalPipeDirectory) + "/.lock";
  lockFd_ = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (lockFd_ < 0 || flock(lockFd_, LOCK_EX) != 0) return;
  unlink(PipePath().c_str());
  ok_ = socketPath.empty() || symlink(socketPath.c_str(), PipePath().c_str()) == 0;
}

LocalPipeLink::~LocalPipeLink() {
  if (lockFd_ < 0) return;
  unlink(PipePath().c_str());
  close(lockFd_);  // releases the lock
}

#include "support/FakeMysqlServer.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>

FakeMysqlServer::FakeMysqlServer(const std::string& version, const std::string& options) {
  // A short path: Unix socket paths are limited to about 100 bytes.
  char dir[] = "/tmp/orbelin-mysql-XXXXXX";
  if (mkdtemp(dir) == nullptr) return;
  dir_ = dir;
  socket_ = dir_ + "/mysqld.sock";
  server_.emplace(std::string(ORBELIN_PYTHON) + " " + ORBELIN_SOURCE_DIR +
                  "/tests/support/fake_mysql_server.py --version " + version + " --socket " +
                  socket_ + " --log " + dir_ + "/violations.log --public-key-out " + dir_ +
                  "/public.pem " + options);
  const std::string& said = server_->Said();
  const auto at = said.find("port=");
  if (server_->Ok() && at != std::string::npos) port_ = std::atoi(said.c_str() + at + 5);
}

FakeMysqlServer::~FakeMysqlServer() {
  server_.reset();
  if (!dir_.empty()) std::filesystem::remove_all(dir_);
}

std::vector<std::string> FakeMysqlServer::Violations() const {
  std::vector<std::string> lines;
  std::ifstream log(dir_ + "/violations.log");
  for (std::string line; std::getline(log, line);) lines.push_back(line);
  return lines;
}

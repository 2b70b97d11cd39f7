#include "connection/HostRun.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace connection {

namespace {

// The host program built here with the add-in library built here, unless
// ORBELIN_TEST_HOST names another command (the Windows build under Wine:
// "wine .../orbelin-host.exe", which loads the orbelin.dll beside it).
std::string HostCommand() {
  if (const char* command = std::getenv("ORBELIN_TEST_HOST")) return command;
  return std::string("'") + ORBELIN_HOST_PATH + "' --addin '" + ORBELIN_ADDIN_PATH + "'";
}

}  // namespace

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string Substitute(std::string text, const std::map<std::string, std::string>& variables) {
  for (const auto& [name, value] : variables) {
    const std::string marker = "${" + name + "}";
    for (size_t at = text.find(marker); at != std::string::npos;
         at = text.find(marker, at + value.size())) {
      text.replace(at, marker.size(), value);
    }
  }
  return text;
}

ProcessOutput RunHost(const std::string& dialect, const std::filesystem::path& script) {
  const std::string command =
      HostCommand() + " --dialect " + dialect + " --status '" + script.string() + "' 2>&1";
  ProcessOutput output;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return output;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.Text.append(buffer, n);
  const int status = pclose(pipe);
  output.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return output;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) {
    if (line.ends_with('\r')) line.pop_back();  // a Windows program's line end
    lines.push_back(line);
  }
  return lines;
}

}  // namespace connection

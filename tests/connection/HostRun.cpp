#include "connection/HostRun.h"

#include <sys/wait.h>

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
    for (std::size_t at = text.find(marker); at != std::string::npos;
         at = text.find(marker, at + value.size())) {
      text.replace(at, marker.size(), value);
    }
  }
  return text;
}

ProcessOutput RunHost(const std::string& dialect, const std::filesystem::path& script) {
  // Into a file, not a pipe: under Wine the host may start background
  // services that inherit its output and would keep a pipe open long after
  // the host has finished.
  const std::filesystem::path captured = script.string() + ".output";
  const std::string command = HostCommand() + " --dialect " + dialect + " --status '" +
                              script.string() + "' >'" + captured.string() + "' 2>&1 </dev/null";
  ProcessOutput output;
  const int status = std::system(command.c_str());
  output.Text = ReadFile(captured);
  output.ExitCode = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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

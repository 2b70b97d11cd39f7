// Running scripts through orbelin-host with the add-in library built here:
// filling ${NAME} markers into a script, running it, reading its output.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace connection {

std::string ReadFile(const std::filesystem::path& path);

// Every ${NAME} of the text replaced by its value.
std::string Substitute(std::string text, const std::map<std::string, std::string>& variables);

struct ProcessOutput {
  std::string Text;  // standard output and error together
  int ExitCode = -1;
};

// orbelin-host in the given dialect ("expression" or "object"), showing the
// status line, on one script file. ORBELIN_TEST_HOST may name another host
// command (see HostRun.cpp).
ProcessOutput RunHost(const std::string& dialect, const std::filesystem::path& script);

// The lines of a text, without their line ends (LF or CR LF).
std::vector<std::string> Lines(const std::string& text);

}  // namespace connection

// The example scripts double as the add-in's documentation, so they must keep
// working: run in order through orbelin-host against the MariaDB fixture, as
// scripts/demo runs them, none may leave an entry in the host's error log,
// and every step announced with "(1 means success)" must answer 1.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "connection/HostRun.h"
#include "support/MariaDbFixture.h"

namespace connection {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> Examples() {
  std::vector<fs::path> examples;
  for (const auto& entry : fs::directory_iterator(ORBELIN_EXAMPLES_DIR)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with("demo") && entry.path().extension() == ".txt") {
      examples.push_back(entry.path());
    }
  }
  std::sort(examples.begin(), examples.end());
  return examples;
}

TEST(ServerExamples, RunInOrderWithoutErrors) {
  const auto server = SharedMariaDb();
  ASSERT_TRUE(server) << "no MariaDB server";
  const std::map<std::string, std::string> variables = {
      {"HOST", server->Host},
      {"PORT", std::to_string(server->Port)},
      {"USER", server->Native.User},
      {"PASSWORD", server->Native.Password},
  };
  const auto examples = Examples();
  ASSERT_FALSE(examples.empty());

  for (const fs::path& example : examples) {
    const fs::path script =
        fs::path(ORBELIN_SCRIPT_RUN_DIR) / ("example-" + example.filename().string());
    fs::create_directories(script.parent_path());
    std::ofstream(script, std::ios::binary) << Substitute(ReadFile(example), variables);

    const ProcessOutput output = RunHost("expression", script);
    EXPECT_EQ(output.ExitCode, 0) << example;
    const auto lines = Lines(output.Text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
      EXPECT_FALSE(lines[i].starts_with("!")) << example.filename() << ": " << lines[i];
      if (lines[i].ends_with("(1 means success):")) {
        EXPECT_TRUE(i + 1 < lines.size() && lines[i + 1] == "I4 1")
            << example.filename() << ": " << lines[i];
      }
    }
  }
}

}  // namespace
}  // namespace connection

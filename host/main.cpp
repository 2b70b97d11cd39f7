// orbelin-host [--dialect expression|object] [--status] [--addin PATH] SCRIPT
//
// Plays the 1C:Enterprise host for one script: loads the add-in library
// (next to this program unless --addin names one), then runs the script
// ("-" reads standard input). Exit code 0, or 2 after a script error.
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "host/Host.h"
#include "host/ScriptParser.h"
#include "host/ScriptRunner.h"
#include "platform/os/DynamicLibrary.h"

namespace {

constexpr int kScriptFailure = 2;

struct TOptions {
  host::TDialect Dialect = host::TDialect::Expression;
  bool ShowStatus = false;
  std::string Addin;
  std::string Script;
};

int Usage(const std::string& why) {
  std::cerr << "error: " << why << "\n"
            << "usage: orbelin-host [--dialect expression|object] [--status] [--addin PATH] "
               "SCRIPT\n";
  return kScriptFailure;
}

std::string DefaultAddinPath() {
  const std::string self = platform::ExecutablePath();
  const std::size_t slash = self.find_last_of("/\\");
  const std::string folder = slash == std::string::npos ? "." : self.substr(0, slash);
#ifdef _WIN32
  return folder + "\\orbelin.dll";
#else
  return folder + "/orbelin.so";
#endif
}

bool ReadScript(const std::string& name, std::string& text) {
  if (name == "-") {
    text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    return true;
  }
  std::ifstream file(name, std::ios::binary);
  if (!file) return false;
  text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  TOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--dialect" && i + 1 < argc) {
      const std::string dialect = argv[++i];
      if (dialect == "expression")
        options.Dialect = host::TDialect::Expression;
      else if (dialect == "object")
        options.Dialect = host::TDialect::Object;
      else
        return Usage("unknown dialect " + dialect);
    } else if (arg == "--status") {
      options.ShowStatus = true;
    } else if (arg == "--addin" && i + 1 < argc) {
      options.Addin = argv[++i];
    } else if (options.Script.empty() && (arg == "-" || !arg.starts_with("--"))) {
      options.Script = arg;
    } else {
      return Usage("unexpected argument " + arg);
    }
  }
  if (options.Script.empty()) return Usage("no script given");
  if (options.Addin.empty()) options.Addin = DefaultAddinPath();

  std::string text;
  if (!ReadScript(options.Script, text)) return Usage("cannot read " + options.Script);

  const host::TOutput output = [](const std::string& line) { std::cout << line << '\n'; };
  try {
    const std::vector<host::TStatement> statements = host::ParseScript(text);
    host::THost session(options.Dialect, options.ShowStatus, output);
    session.LoadAddin(options.Addin);
    // The runner, with the script's variables, goes before the session.
    host::TScriptRunner runner(session, output);
    runner.Run(statements);
  } catch (const host::TScriptError& error) {
    std::cout.flush();
    std::cerr << "error: line " << error.Line << ": " << error.what() << "\n";
    return kScriptFailure;
  } catch (const std::exception& error) {
    std::cout.flush();
    std::cerr << "error: " << error.what() << "\n";
    return kScriptFailure;
  }
  std::cout.flush();
  return 0;
}

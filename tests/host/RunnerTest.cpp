// orbelin-host running small scripts against the sample add-in; the output
// is compared exactly.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

struct TRun {
  std::string Out;
  std::string Err;
  int Exit = -1;
};

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

TRun RunScript(const std::string& script, const std::string& options = "") {
  const auto folder =
      std::filesystem::temp_directory_path() / ("orbelin-host-test-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const auto scriptPath = folder / "script.txt";
  const auto errPath = folder / "stderr.txt";
  std::ofstream(scriptPath, std::ios::binary) << script;
  const std::string command = std::string(ORBELIN_HOST_PATH) + " " + options + " --addin " +
                              SAMPLE_ADDIN_PATH + " " + scriptPath.string() + " 2>" +
                              errPath.string();
  TRun run;
  FILE* pipe = popen(command.c_str(), "r");
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.Out.append(buffer, n);
  const int status = pclose(pipe);
  run.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.Err = ReadFile(errPath);
  std::filesystem::remove_all(folder);
  return run;
}

struct TCase {
  const char* Name;
  const char* Options;
  const char* Script;
  const char* Expected;
};

void PrintTo(const TCase& c, std::ostream* out) {
  *out << c.Name;
}

class RunnerOutput : public testing::TestWithParam<TCase> {};

TEST_P(RunnerOutput, MatchesExactly) {
  const TCase& c = GetParam();
  const TRun run = RunScript(c.Script, c.Options);
  EXPECT_EQ(run.Exit, 0) << run.Err;
  EXPECT_EQ(run.Err, "");
  EXPECT_EQ(run.Out, c.Expected);
}

const TCase Cases[] = {
    {"PrintKinds", "",
     "s = CreateObject(\"AddIn.Sample\")\n"
     "print(Empty)\nprint(Null)\nprint(5)\nprint(-7)\nprint(3000000000)\nprint(0.4375)\n"
     "print(\"a \"\"b\"\"\")\nprint(s.Kind(\"date\"))\nprint(s.Kind(\"day\"))\n"
     "print(s.Kind(\"bool\"))\nprint(s.Kind(\"error\"))\nprint(s.Kind(\"i8\"))\n"
     "print(s.Kind(\"text\"))\nprint(s)\n",
     "EMPTY\nNULL\nI4 5\nI4 -7\nI8 3000000000\nR8 0.4375\nSTR \"a \"\"b\"\"\"\n"
     "DATE 2024-02-29 12:00:00\nDATE 2024-02-29\nBOOL 1\nERROR 0x80020004\nI8 1099511627776\n"
     "STR \"say \"\"hi\"\"\"\nOBJ AddIn.Sample\n"},
    {"PropertiesBothLanguages", "",
     "# comments and trailing semicolons are ignored\n"
     "s = СоздатьОбъект(\"AddIn.Sample\");\n"
     "s.Name = \"Ann\"\nprint(s.Имя)\ns.Имя = 12\nprint(s.Name)\nprint(s.Counter)\n"
     "s.Bump()\ns.Прибавить()\nprint(s.Счетчик)\n",
     "STR \"Ann\"\nSTR \"12\"\nI4 0\nI4 2\n"},
    {"WriteBackIntoVariables", "",
     "s = CreateObject(\"AddIn.Sample\")\na = 1\nb = \"x\"\ns.Swap(a, b)\nprint(a)\nprint(b)\n"
     "print(s.Обменять(a, b))\nprint(a)\n"
     "w = 0\nv = 0\ns.Widen(w, v)\nprint(w)\nprint(v)\n"
     "k = 5\ns.Swap(k, 6)\nprint(k)\n",
     "STR \"x\"\nI4 1\nI4 1\nI4 1\nI4 7\nR8 1099511627776\nI4 6\n"},
    {"OmittedArgumentsGetDefaults", "",
     "s = CreateObject(\"AddIn.Sample\")\nprint(s.Pick(2))\nprint(s.Pick(1,))\n"
     "print(s.Pick(2, 5, ))\nprint(s.Pick(1, , 3))\nprint(s.Pick(2, 1, 3))\n",
     "STR \"two\"\nERROR 0x80020004\nSTR \"two\"\nERROR 0x80020004\nI4 3\n"},
    {"ErrorLogLines", "",
     "s = CreateObject(\"AddIn.Sample\")\nprint(s.Broken)\nv = 5\ns.Spoil(v)\nprint(v)\n"
     "print(s.Sum(\"x\", 1))\necho \"still running\"\n",
     "! 1006 AddIn.Sample: Broken property\nEMPTY\n! 1006 AddIn.Sample: Spoil failed\nI4 5\n"
     "! 1006 AddIn.Sample: Could not convert variant of type (String) into type (Integer)\n"
     "EMPTY\nstill running\n"},
    {"StatusLineShown", "--status",
     "s = CreateObject(\"AddIn.Sample\")\ns.Status(\"Fetching... 1\")\n",
     "~ Fetching... 1\n~ reset\n"},
    {"StatusLineHidden", "", "s = CreateObject(\"AddIn.Sample\")\ns.Status(\"Fetching... 1\")\n",
     ""},
    {"TableAndListExpressionDialect", "--dialect expression",
     "s = CreateObject(\"AddIn.Sample\")\nprint(s.Dialect)\nt = s.MakeTable()\nprint(t)\ndump(t)\n"
     "print(t.LineCount())\nprint(t.GetValue(2, \"name\"))\nl = s.MakeList()\ndump(l)\n"
     "p = \"\"\nprint(l.GetValue(2, p))\nprint(p)\nprint(l.GetListSize())\n",
     "STR \"expression\"\nOBJ ValueTable\ncolumns: id | name\n1: I4 1 | STR \"one\"\n"
     "2: I4 2 | STR \"two\"\nI4 2\nSTR \"two\"\n1: id = I4 5\n2: name = STR \"Ivan\"\n"
     "STR \"Ivan\"\nSTR \"name\"\nI4 2\n"},
    {"TableAndListObjectDialect", "--dialect object",
     "s = CreateObject(\"AddIn.Sample\")\nprint(s.Dialect)\nt = s.MakeTable()\ndump(t)\n"
     "r = t.Add()\nr.Set(0, 3)\nprint(r.Get(0))\nprint(t.Count())\nprint(t.Columns().Count())\n"
     "print(t.Columns.Get(1).Name)\ndump(s.MakeList())\n",
     "STR \"object\"\ncolumns: id | name\n1: I4 1 | STR \"one\"\n2: I4 2 | STR \"two\"\n"
     "I4 3\nI4 3\nI4 2\nSTR \"name\"\n1: id = I4 5\n2: name = STR \"Ivan\"\n"},
    {"HostTablesFromScripts", "",
     "t = CreateObject(\"ValueTable\")\nt.NewColumn(\"a\")\nt.NewColumn(\"b\")\nn = 0\n"
     "t.NewLine(n)\nt.SetValue(1, 2, Null)\ndump(t)\nl = CreateObject(\"ValueList\")\n"
     "l.AddValue(1.5)\ndump(l)\n",
     "columns: a | b\n1: EMPTY | NULL\n1:  = R8 1.5\n"},
    {"AddinCreatesAnotherThroughTheHost", "--dialect object",
     "s = CreateObject(\"AddIn.Sample\")\ns.Name = \"A\"\nt = s.Twin()\nprint(t)\n"
     "print(t.Name)\nprint(t.Counter)\nprint(s.Counter)\n",
     "OBJ AddIn.Sample\nSTR \"A2\"\nI4 1\nI4 0\n"},
    // A name is looked up at every use: its number may have changed.
    {"MembersBeyondTheTable", "",
     "s = CreateObject(\"AddIn.Sample\")\ns.Bump()\nprint(s._1)\ns.Bump()\nprint(s._1)\n"
     "print(s._2)\n",
     "STR \"_1\"\nSTR \"_1\"\nSTR \"_2\"\n"},
    {"EchoAndCommentsOnly", "", "# nothing but text\necho \"héllo, мир\"\n\n", "héllo, мир\n"},
};

INSTANTIATE_TEST_SUITE_P(Scripts, RunnerOutput, testing::ValuesIn(Cases),
                         [](const auto& test) { return std::string(test.param.Name); });

struct TErrorCase {
  const char* Name;
  const char* Script;
  const char* Output;  // standard output before the error
  const char* Error;
};

void PrintTo(const TErrorCase& c, std::ostream* out) {
  *out << c.Name;
}

class RunnerScriptError : public testing::TestWithParam<TErrorCase> {};

TEST_P(RunnerScriptError, StopsWithExitCode2) {
  const TErrorCase& c = GetParam();
  const TRun run = RunScript(c.Script);
  EXPECT_EQ(run.Exit, 2);
  EXPECT_EQ(run.Out, c.Output);
  EXPECT_EQ(run.Err, c.Error);
}

const TErrorCase ErrorCases[] = {
    // The whole script is read before it runs, as the host compiles a module.
    {"SyntaxCheckedBeforeRunning", "echo \"a\"\nprint(1\n", "", "error: line 2: expected \")\"\n"},
    {"UnknownVariable", "\n\nprint(x)\n", "", "error: line 3: unknown variable x\n"},
    {"MemberNotFound", "s = CreateObject(\"AddIn.Sample\")\ns.Nope()\n", "",
     "error: line 2: AddIn.Sample has no member Nope\n"},
    {"MethodIsNoProperty", "s = CreateObject(\"AddIn.Sample\")\nprint(s.Sum)\n", "",
     "error: line 2: AddIn.Sample has no property Sum\n"},
    {"TooManyArguments", "s = CreateObject(\"AddIn.Sample\")\nprint(s.Sum(1, 2, 3))\n", "",
     "error: line 2: AddIn.Sample.Sum: Sum takes at most 2 arguments\n"},
    {"UnknownClass", "x = CreateObject(\"Nothing.Here\")\n", "",
     "error: line 1: cannot create an object of type Nothing.Here\n"},
    {"UnterminatedString", "echo \"abc\n", "", "error: line 1: unterminated string\n"},
    {"ValueWithoutEffect", "x = 1\nx\n", "",
     "error: line 2: a statement must set a variable or a property, or call a method\n"},
};

INSTANTIATE_TEST_SUITE_P(Scripts, RunnerScriptError, testing::ValuesIn(ErrorCases),
                         [](const auto& test) { return std::string(test.param.Name); });

TEST(Runner, MissingAddinLibraryIsReported) {
  const std::string command =
      std::string(ORBELIN_HOST_PATH) + " --addin /nonexistent/lib.so - </dev/null 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  char buffer[512] = {};
  const std::size_t n = fread(buffer, 1, sizeof buffer - 1, pipe);
  const int status = pclose(pipe);
  EXPECT_EQ(WEXITSTATUS(status), 2);
  EXPECT_TRUE(std::string(buffer, n).starts_with("error: cannot load /nonexistent/lib.so"));
}

// Without --addin the runner loads the add-in library next to itself; "-"
// reads the script from standard input.
TEST(Runner, DefaultAddinAndScriptFromStandardInput) {
  const std::string command =
      "printf 'echo \"from stdin\"\\nprint(CreateObject(\"AddIn.Dalvora\"))\\n' | " +
      std::string(ORBELIN_HOST_PATH) + " - 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  std::string out;
  char buffer[512];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  const int status = pclose(pipe);
  EXPECT_EQ(WEXITSTATUS(status), 0) << out;
  EXPECT_EQ(out, "from stdin\nOBJ AddIn.Dalvora\n");
}

}  // namespace

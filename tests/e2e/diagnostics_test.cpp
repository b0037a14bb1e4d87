// What a failed build says on standard error: piped, and on a real terminal.
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "tests/app/test_folder.h"
#include "tests/e2e/run_tovrin.h"

namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Standard error (and output) on a pseudo-terminal; line breaks as the terminal sends them.
RunResult RunOnTerminal(const std::vector<std::string>& args, const std::string& cwd,
                        const std::map<std::string, std::string>& env) {
  RunResult result;
  int master = -1;
  pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
  if (child < 0) return result;
  if (child == 0) {
    if (chdir(cwd.c_str()) != 0) _exit(127);
    for (const auto& [name, value] : env) {
      if (value == "(unset)")
        unsetenv(name.c_str());
      else
        setenv(name.c_str(), value.c_str(), 1);
    }
    std::string program = TOVRIN_BINARY_DIR "/tovrin";
    std::vector<std::string> copies = args;
    std::vector<char*> argv{program.data()};
    for (std::string& arg : copies) argv.push_back(arg.data());
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  char buffer[4096];
  for (ssize_t got; (got = read(master, buffer, sizeof buffer)) > 0;) result.err.append(buffer, got);
  close(master);
  int status = 0;
  waitpid(child, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

class Diagnostics : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(folder / "src/lib");
    // The used file is named relative to src/, the folder the build has moved into by then.
    WriteWholeFile(folder / "src/main.tvr",
                   "use \"lib/part.tvr\";\nstart()\n{\n  x as byte;\n\tx = ) ;\n  y = 1;\n}\n");
    WriteWholeFile(folder / "src/lib/part.tvr", "def A {\n  b as byte;\n}\nconst c = ;\n");
    env = {{"TOVRIN_SETTINGS", folder / "Tovrin.reg"}, {"TOVRIN_LOG", folder / "tovrin.log"}};
  }
  TestFolder folder;
  std::map<std::string, std::string> env;
};

TEST_F(Diagnostics, PipedErrorsNameFileLineAndColumnAndAreCounted) {
  RunResult result = RunTovrin({"build", "src/main.tvr"}, folder.path, env);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.err,
            "src/lib/part.tvr:4:11: error: syntax error (at \";\")\n"
            "src/lib/part.tvr:4:11: error: CONSTANT:  Error in expression. (at \";\")\n"
            "src/main.tvr:5:6: error: syntax error (at \")\")\n"
            "src/main.tvr:5:6: error: VARIABLE:  Bad declaration. (at \")\")\n"
            "src/main.tvr:6:5: error: 'y' : undeclared identifier. (at \"=\")\n"
            "src/main.tvr:6:5: error: Expression value:  Error in symbolic value.  (at \"=\")\n"
            "src/main.tvr:6:8: error: ASSIGN: Requires a valid left-hand side. (at \";\")\n"
            "7 errors.\n"
            "Error log: " + folder / "tovrin.log" + "\n");
  // The log keeps its own form.
  std::string log = ReadWholeFile(folder / "tovrin.log");
  EXPECT_TRUE(Contains(log, "\tx = ) ;\r\nsrc/main.tvr line 5: \")\" syntax error \r\n\r\n")) << log;

  // Run from inside the folder: the same files, named from there.
  result = RunTovrin({"build", "main.tvr"}, folder / "src", env);
  EXPECT_TRUE(Contains(result.err, "\nlib/part.tvr:4:11: error:")) << result.err;
}

TEST_F(Diagnostics, ATerminalGetsTheLineACaretAndColour) {
  env["NO_COLOR"] = "(unset)";
  env["TERM"] = "xterm";
  RunResult result = RunOnTerminal({"build", "src/main.tvr"}, folder.path, env);
  EXPECT_EQ(result.status, 1);
  // The tab before the token stays a tab, so the caret lines up however wide tabs are.
  EXPECT_TRUE(Contains(result.err,
                       "\x1b[1msrc/main.tvr:5:6:\x1b[0m \x1b[1;31merror:\x1b[0m syntax error (at \")\")\r\n"
                       " \tx = ) ;\r\n"
                       " \t    \x1b[1;32m^\x1b[0m\r\n"))
      << result.err;
  EXPECT_TRUE(Contains(result.err, "  y = 1;\r\n     \x1b[1;32m^\x1b[0m\r\n")) << result.err;

  env["NO_COLOR"] = "yes";
  result = RunOnTerminal({"build", "src/main.tvr"}, folder.path, env);
  EXPECT_FALSE(Contains(result.err, "\x1b")) << result.err;
  EXPECT_TRUE(Contains(result.err, "src/lib/part.tvr:4:11: error: CONSTANT:  Error in expression. (at \";\")\r\n"
                                   " const c = ;\r\n"
                                   "           ^\r\n"))
      << result.err;
}

}  // namespace

#include "platform/viewer.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>

#include "platform/format.h"
#include "platform/system_error.h"

extern char** environ;

namespace {

std::vector<std::string> SplitWords(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == '\n') {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  if (!word.empty()) words.push_back(word);
  return words;
}

// Starts argv; false (errno set) when it could not be started.
bool Spawn(const std::vector<std::string>& argv, pid_t& pid) {
  std::vector<char*> pointers;
  for (const std::string& word : argv) pointers.push_back(const_cast<char*>(word.c_str()));
  pointers.push_back(nullptr);
  int error = posix_spawnp(&pid, pointers[0], nullptr, nullptr, pointers.data(), environ);
  errno = error;
  return error == 0;
}

int WaitFor(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return status;
}

}  // namespace

std::vector<std::vector<std::string>> ViewerCommands() {
  std::vector<std::vector<std::string>> commands;
  for (const char* variable : {"VISUAL", "EDITOR"}) {
    const char* value = std::getenv(variable);
    if (!value) continue;
    std::vector<std::string> words = SplitWords(value);
    if (!words.empty()) commands.push_back(words);
  }
  commands.push_back({"xdg-open"});
  return commands;
}

bool ViewFile(const std::string& path, std::string& errorText) {
  // A path that starts with '-' would read as an option to the viewer.
  std::string argument = (!path.empty() && path[0] == '-') ? "./" + path : path;
  errorText = Format("no viewer could be started for '%s'", path.c_str());
  for (std::vector<std::string> argv : ViewerCommands()) {
    argv.push_back(argument);
    pid_t pid = 0;
    if (!Spawn(argv, pid)) {
      errorText = Format("cannot start '%s': %s", argv[0].c_str(), SystemErrorText(errno).c_str());
      continue;  // try the next choice
    }
    int status = WaitFor(pid);
    if (status >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0) {
      errorText.clear();
      return true;
    }
    if (status >= 0 && WIFEXITED(status))
      errorText = Format("'%s' ended with status %d", argv[0].c_str(), WEXITSTATUS(status));
    else
      errorText = Format("'%s' did not end normally", argv[0].c_str());
    return false;
  }
  return false;
}

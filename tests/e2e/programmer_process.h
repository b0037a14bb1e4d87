// The emulated programmer as its own program (build/tovrin-programmer), and tovrin started in
// the background so a test can watch its standard error while it runs and send it signals.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

// Starts argv[0] with standard output (and standard error unless errFd >= 0, which gets it)
// on pipes; the pid, or -1.
inline pid_t SpawnWithPipes(std::vector<std::string> argv, int& outFd, int& errFd, const std::string& cwd = "") {
  int out[2], err[2];
  if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (!cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
  std::vector<char*> args;
  for (std::string& arg : argv) args.push_back(arg.data());
  args.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  ::close(err[1]);
  outFd = out[0];
  errFd = err[0];
  return pid;
}

// Reads what fd has until it ends or until `until` appears in text (when given); false when
// the wait hit the safety limit (a hung program, not a slow one).
inline bool ReadUntil(int fd, std::string& text, const std::string& until = "", int limitMs = 120000) {
  for (int waited = 0; waited < limitMs;) {
    if (!until.empty() && text.find(until) != std::string::npos) return true;
    pollfd entry{fd, POLLIN, 0};
    const int ready = ::poll(&entry, 1, 100);
    if (ready == 0) {
      waited += 100;
      continue;
    }
    char chunk[4096];
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got <= 0) return until.empty();
    text.append(chunk, static_cast<size_t>(got));
  }
  return false;
}

// The exit status, or 128 + the signal that killed it.
inline int WaitFor(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// build/tovrin-programmer with its faults and an SRAM dump and transcript written when it ends.
class ProgrammerProcess {
 public:
  ProgrammerProcess(const std::string& folder, std::vector<std::string> options) : folder(folder) {
    options.insert(options.begin(), TOVRIN_BINARY_DIR "/tovrin-programmer");
    for (const std::string& option : {std::string("--sram-dump"), SramDump(), std::string("--transcript"),
                                      Transcript()})
      options.push_back(option);
    int err = -1;
    pid = SpawnWithPipes(options, out, err);
    if (err >= 0) ::close(err);
    std::string line;
    if (pid > 0 && ReadUntil(out, line, "\n")) device = line.substr(0, line.find('\n'));
  }
  ~ProgrammerProcess() { Stop(); }
  // Ends it (SIGTERM) and waits for the dumps; its exit status.
  int Stop() {
    if (pid <= 0) return -1;
    ::kill(pid, SIGTERM);
    const int status = WaitFor(pid);
    pid = -1;
    if (out >= 0) ::close(out);
    out = -1;
    return status;
  }
  std::string SramDump() const { return folder + "/sram-dump.hex"; }
  std::string Transcript() const { return folder + "/transcript.txt"; }

  std::string folder;
  pid_t pid = -1;
  int out = -1;
  std::string device;
};

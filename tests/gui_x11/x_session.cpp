#include "tests/gui_x11/x_session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/format.h"

namespace x11_test {

namespace {

// Reads what fd delivers until it closes or the time is up.
std::string ReadAll(int fd, std::chrono::milliseconds limit, bool untilNewline = false) {
  std::string text;
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd ready{fd, POLLIN, 0};
    if (poll(&ready, 1, static_cast<int>(left.count())) <= 0) break;
    char buffer[4096];
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got <= 0) break;
    text.append(buffer, static_cast<size_t>(got));
    if (untilNewline && text.find('\n') != std::string::npos) break;
  }
  return text;
}

uint32_t BigEndian(const std::string& bytes, size_t at) {
  const auto* b = reinterpret_cast<const unsigned char*>(bytes.data() + at);
  return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
}

}  // namespace

std::vector<uint32_t> Picture::Area(const Geometry& area) const {
  std::vector<uint32_t> out;
  for (int y = std::max(0, area.y); y < std::min(height, area.y + area.height); ++y)
    for (int x = std::max(0, area.x); x < std::min(width, area.x + area.width); ++x) out.push_back(At(x, y));
  return out;
}

bool OnPath(const std::string& program) {
  const char* path = getenv("PATH");
  std::stringstream folders(path ? path : "/usr/bin:/bin");
  for (std::string folder; std::getline(folders, folder, ':');)
    if (!folder.empty() && access((folder + "/" + program).c_str(), X_OK) == 0) return true;
  return false;
}

namespace {

// In a forked child: runs the program, or ends the child when it cannot.
[[noreturn]] void Exec(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  std::vector<std::string> copies = argv;
  for (std::string& arg : copies) args.push_back(arg.data());
  args.push_back(nullptr);
  execvp(args[0], args.data());
  _exit(127);
}

}  // namespace

pid_t Spawn(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
            const std::string& cwd, const std::string& logPath) {
  const pid_t child = fork();
  if (child != 0) return child;
  const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (log >= 0) {
    dup2(log, 1);
    dup2(log, 2);
  }
  const int nothing = open("/dev/null", O_RDONLY);
  if (nothing >= 0) dup2(nothing, 0);
  if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(127);
  for (const auto& [name, value] : env) {
    if (value.empty())
      unsetenv(name.c_str());
    else
      setenv(name.c_str(), value.c_str(), 1);
  }
  Exec(argv);
}

void End(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  int status = 0;
  if (WaitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, std::chrono::seconds(10))) return;
  kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
}

XSession::XSession(int width, int height) {
  if (!OnPath("Xvfb")) {
    problem = "Xvfb is not installed";
    return;
  }
  char folder[] = "/tmp/tovrin-xvfb-XXXXXX";
  if (!mkdtemp(folder)) {
    problem = "no folder for the frame buffer";
    return;
  }
  frameBufferDir = folder;
  int pipeFds[2];
  if (pipe(pipeFds) != 0) {
    problem = "no pipe";
    return;
  }
  server = fork();
  if (server == 0) {
    close(pipeFds[0]);
    const int nothing = open("/dev/null", O_RDWR);
    if (nothing >= 0) {
      dup2(nothing, 0);
      dup2(nothing, 1);
      dup2(nothing, 2);
    }
    const std::string fd = std::to_string(pipeFds[1]);
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    // -noreset: by default the server resets whenever its last client leaves (each xdotool
    // call is one), and a client that connects during a reset is dropped, so a window program
    // started while the suite polls for windows could fail with "could not connect to display".
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
           "-noreset", "-fbdir", frameBufferDir.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipeFds[1]);
  const std::string number = ReadAll(pipeFds[0], std::chrono::seconds(30), true);
  close(pipeFds[0]);
  if (number.empty() || number.find_first_not_of("0123456789\n") != std::string::npos) {
    problem = "Xvfb did not start";
    End(server);
    server = -1;
    return;
  }
  display = Format(":%s", number.substr(0, number.find('\n')).c_str());
}

XSession::~XSession() {
  End(server);
  if (!frameBufferDir.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(frameBufferDir, ignored);
  }
}

std::string XSession::Run(const std::vector<std::string>& argv) const {
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return std::string();
  const pid_t child = fork();
  if (child == 0) {
    dup2(out[1], 1);
    const int nothing = open("/dev/null", O_RDWR);
    if (nothing >= 0) dup2(nothing, 2);
    setenv("DISPLAY", display.c_str(), 1);
    Exec(argv);
  }
  close(out[1]);
  std::string text = ReadAll(out[0], std::chrono::seconds(30));
  close(out[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? text : std::string();
}

std::vector<std::string> XSession::Tool(const std::vector<std::string>& args) const {
  std::vector<std::string> argv{"xdotool"};
  argv.insert(argv.end(), args.begin(), args.end());
  std::stringstream words(Run(argv));
  std::vector<std::string> out;
  for (std::string word; words >> word;) out.push_back(word);
  return out;
}

std::vector<std::string> XSession::Windows(const std::string& titlePattern) const {
  return Tool({"search", "--onlyvisible", "--name", titlePattern});
}

Geometry XSession::WindowGeometry(const std::string& id) const {
  Geometry geometry;
  for (const std::string& word : Tool({"getwindowgeometry", "--shell", id})) {
    const size_t equals = word.find('=');
    if (equals == std::string::npos) continue;
    const std::string name = word.substr(0, equals);
    const int value = std::atoi(word.c_str() + equals + 1);
    if (name == "X") geometry.x = value;
    if (name == "Y") geometry.y = value;
    if (name == "WIDTH") geometry.width = value;
    if (name == "HEIGHT") geometry.height = value;
  }
  return geometry;
}

// The dump's header: 25 big-endian words (header size, ..., width 4, height 5, byte order 7,
// bits per pixel 11, bytes per line 12, ..., colour entries 19), then the colour map.
Picture XSession::Screen() const {
  Picture picture;
  std::ifstream in(ScreenFile(), std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() < 100) return picture;
  const uint32_t headerSize = BigEndian(bytes, 0), width = BigEndian(bytes, 16), height = BigEndian(bytes, 20);
  const uint32_t byteOrder = BigEndian(bytes, 28), bitsPerPixel = BigEndian(bytes, 44);
  const uint32_t bytesPerLine = BigEndian(bytes, 48), colours = BigEndian(bytes, 76);
  const size_t start = headerSize + size_t(colours) * 12;
  if (bitsPerPixel != 32 || bytes.size() < start + size_t(bytesPerLine) * height) return picture;
  picture.width = static_cast<int>(width);
  picture.height = static_cast<int>(height);
  picture.pixels.resize(size_t(width) * height);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + start + size_t(y) * bytesPerLine + x * 4);
      const uint32_t value = byteOrder == 0 ? uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]
                                            : uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
      picture.pixels[size_t(y) * width + x] = value & 0xFFFFFF;
    }
  }
  return picture;
}

}  // namespace x11_test

// A private X server (Xvfb) for the window tests, the programs they start on it, and what the
// screen shows: the windows by title and the pixels of the server's frame buffer.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace x11_test {

struct Geometry {
  int x = 0, y = 0, width = 0, height = 0;
};

// The screen's pixels as 0xRRGGBB, read from the server's frame buffer file.
struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  // The pixels inside area (clipped to the screen), row by row.
  std::vector<uint32_t> Area(const Geometry& area) const;
};

class XSession {
 public:
  // Starts Xvfb on a free display (it picks one and tells through -displayfd).
  XSession(int width, int height);
  ~XSession();
  XSession(const XSession&) = delete;
  XSession& operator=(const XSession&) = delete;

  bool Running() const { return !display.empty(); }
  const std::string& Display() const { return display; }
  const std::string& Problem() const { return problem; }

  // Runs a program to its end on this display; its standard output, or empty when it failed.
  std::string Run(const std::vector<std::string>& argv) const;
  // xdotool with arguments; its standard output split into words.
  std::vector<std::string> Tool(const std::vector<std::string>& args) const;

  // Ids of the mapped windows whose title matches the regular expression.
  std::vector<std::string> Windows(const std::string& titlePattern) const;
  Geometry WindowGeometry(const std::string& id) const;

  Picture Screen() const;
  // The raw frame buffer (X window dump format), e.g. for screenshots.
  std::string ScreenFile() const { return frameBufferDir + "/Xvfb_screen0"; }

 private:
  pid_t server = -1;
  std::string display;
  std::string frameBufferDir;
  std::string problem;
};

// Starts a program with extra environment (an empty value removes the variable) in cwd, its
// output going to logPath; returns its process id.
pid_t Spawn(const std::vector<std::string>& argv, const std::map<std::string, std::string>& env,
            const std::string& cwd, const std::string& logPath);
// Ends a spawned program (SIGTERM, then SIGKILL) and collects it.
void End(pid_t pid);

// Whether program is on PATH.
bool OnPath(const std::string& program);

// Polls check until it holds or the time is up; true when it held. A loaded machine is slow,
// so callers give generous limits; no step waits a fixed time.
template <typename Check>
bool WaitFor(Check check, std::chrono::milliseconds limit = std::chrono::seconds(60)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    if (check()) return true;
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace x11_test

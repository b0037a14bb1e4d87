// Full builds (parse, check, generate, hex file, level-4 listing) of generated programs: one that
// fills the image with about 60 KB of code, and sources of 1, 10 and 50 MB (or the sizes given,
// in MB), which overflow the image and fail at generation, so they measure parse and check.
// Each build runs in a child process, so its peak memory is its own.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "frontend/parser.h"
#include "platform/recording_interface.h"

namespace {

// A class and its method with a mix of statements and locals (no global data, so a big source
// fails only when its code does not fit): about 650 bytes of source, 270 bytes of code.
std::string Unit(int n) {
  const std::string id = std::to_string(n);
  return "def Motor" + id + " {\n"
         "  do step(a as byte, b as integer) as integer;\n}\n"
         "Motor" + id + ":step(a as byte, b as integer) {\n"
         "  x as integer;\n  speed as byte;\n  grid as integer[4];\n  level as fuzzy;\n"
         "  x = a * 2 + b - 0x1F << 1;\n"
         "  if (x < 300 and b <> 7) { out \"value\"; } elseif (x == 5) { outch 'c'; } else { x = x / 3; }\n"
         "  while (x >= 0) { x = x - 1; weight(x); { y as real; y = 1.5 * x; out y; } }\n"
         "  grid[a % 4] = grid[1] + b;\n"
         "  speed = speed + 1;\n"
         "  clear(level);\n"
         "  step = x;\n"
         "}\n";
}

// Writes units until the source reaches `bytes` (or `units` of them), then a start method that
// calls the first.
void WriteSource(const std::string& path, long bytes, int units = -1) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return;
  long written = 0;
  for (int n = 0; units < 0 ? written < bytes : n < units; ++n) {
    const std::string text = Unit(n);
    std::fwrite(text.data(), 1, text.size(), file);
    written += static_cast<long>(text.size());
  }
  std::fputs("start() {\n  r as integer;\n  r = Motor0:step(1, 2);\n  out r;\n}\n", file);
  std::fclose(file);
}

struct Measured {
  double seconds = 0;
  long peakKb = 0;
  int good = -1;
  std::string summary;
};

// Builds in a child process: the parent reads the child's time and peak memory.
Measured BuildInChild(const std::string& folder, const std::string& source) {
  Measured measured;
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return measured;
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    close(pipeEnds[0]);
    if (chdir(folder.c_str()) != 0) _exit(2);
    CRecordingInterface ui;
    CParser parser;
    parser.logPath = folder + "/tovrin.log";
    bool good = false;
    if (parser.Create(64, 2, 2)) {  // both regions in 64 K of external RAM
      std::string path = source;
      good = parser.OpenSource(path) && parser.Parse() == 0 && parser.errorCount == 0 &&
             parser.compiler.Generate() != 0 && parser.compiler.WriteHexFile(path);
      parser.WriteDebugFile("tovrin.dbg", 4);
    }
    const std::string summary = good ? parser.compiler.SuccessSummary() : parser.compiler.FailureSummary();
    const std::string text = std::string(good ? "1" : "0") + "\n" + summary;
    if (write(pipeEnds[1], text.data(), text.size()) < 0) _exit(3);
    _exit(0);
  }
  close(pipeEnds[1]);
  std::string text;
  char buffer[512];
  for (ssize_t got; (got = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(got));
  close(pipeEnds[0]);
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  measured.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  measured.peakKb = usage.ru_maxrss;
  if (!text.empty()) {
    measured.good = std::atoi(text.c_str());
    measured.summary = text.substr(text.find('\n') + 1);
  }
  return measured;
}

// The code memory line of the summary, for the image that fits.
std::string CodeLine(const std::string& summary) {
  const size_t at = summary.find("Code memory:");
  return at == std::string::npos ? std::string() : summary.substr(at, summary.find('\n', at) - at);
}

void Report(const char* label, double megabytes, const Measured& measured) {
  const char* outcome = measured.good == 1 ? "built" : measured.good == 0 ? "failed" : "?";
  std::printf("%-10s %8.2f %9.3f %10.1f %9.3f  %-7s %s\n", label, megabytes, measured.seconds,
              measured.peakKb / 1024.0, measured.seconds / megabytes, outcome, CodeLine(measured.summary).c_str());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<double> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atof(argv[i]));
  if (sizes.empty()) sizes = {1, 10, 50};

  std::string folder = (std::filesystem::temp_directory_path() / "tovrin-build-bench-XXXXXX").string();
  if (mkdtemp(folder.data()) == nullptr) return 1;
  std::printf("%-10s %8s %9s %10s %9s  %-7s %s\n", "source", "MB", "seconds", "peak MB", "s per MB", "result", "");

  // 230 units: about 60 K of code and 3 K of data, most of the 64 K image (both regions
  // external, from 0x0260).
  const std::string full = folder + "/full.tvr";
  WriteSource(full, 0, 230);
  Report("fills", std::filesystem::file_size(full) / 1048576.0, BuildInChild(folder, "full.tvr"));

  for (double megabytes : sizes) {
    const std::string name = std::to_string(static_cast<int>(megabytes)) + "mb.tvr";
    WriteSource(folder + "/" + name, static_cast<long>(megabytes * 1048576));
    Report(name.c_str(), std::filesystem::file_size(folder + "/" + name) / 1048576.0, BuildInChild(folder, name));
    std::filesystem::remove(folder + "/" + name);
  }
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  return 0;
}

// Parse time of generated valid programs of 1, 10 and 100 MB (or the sizes
// given, in MB), then of an error storm of the smallest size where every line
// is a syntax error.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "frontend/parser.h"

namespace {

// Global data and tables come once, before the units: they share the 482
// bytes of on-chip memory, and data may not follow the tables there.
const char kHead[] =
    "def Board {\n  speed as byte;\n  grid as integer[4][2];\n}\n"
    "range Cold(20, 10, 30);\nrange Warm(100, 20, 40);\n"
    "rule Speed { Cold as 10; Warm as 200; }\n";
const char kTail[] = "start() {\n  r as integer;\n  r = Motor0:step(1, 300);\n}\n";

// A class and two method bodies with every kind of statement, about 600
// bytes. Nothing here takes global memory, so any number of units fits.
std::string Unit(int n) {
  std::string id = std::to_string(n);
  return "def Motor" + id + " {\n"
         "  pins as memory 0x38;\n  const k = 3;\n"
         "  do scale(v as integer) as integer;\n"
         "  do step(a as byte, b as integer) as integer;\n}\n"
         "Motor" + id + ":scale(v as integer) {\n"
         "  scale = v * k + pins;\n"
         "}\n"
         "Motor" + id + ":step(a as byte, b as integer) {\n"
         "  x as integer;\n  grid as integer[4];\n  level as fuzzy;\n"
         "  x = a * 2 + b - 0x1F << 1;\n"
         "  if (x < 300 and b <> 7) { out \"value\"; } elseif (x == 5) { outch 'c'; } else { x = x / 3; }\n"
         "  while (x >= 0) { x = x - 1; weight(x); { y as real; y = 1.5; } }\n"
         "  grid[1] = Motor" + id + ":scale((b + 1) * 2);\n"
         "  Board:grid[2] = grid[1] + k;\n"
         "  level = 0.75@1.0 + (x is Speed);\n"
         "  clear(level);\n"
         "  step = x;\n"
         "}\n";
}

// Every line of the body fails and recovers at its own ';'.
std::string StormLine(int) { return "  x = = 1;\n"; }

std::string Generate(const std::string& path, long bytes, std::string (*unit)(int), const char* head,
                     const char* tail) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return std::string();
  std::fputs(head, file);
  long written = 0;
  for (int n = 0; written < bytes; ++n) {
    std::string text = unit(n);
    std::fwrite(text.data(), 1, text.size(), file);
    written += static_cast<long>(text.size());
  }
  std::fputs(tail, file);
  std::fclose(file);
  return path;
}

void Run(const std::string& folder, const std::string& path, const char* label) {
  long bytes = static_cast<long>(std::filesystem::file_size(path));
  CParser parser;
  parser.logPath = folder + "/tovrin.log";
  if (!parser.Create(0, 1, 1) || !parser.OpenSource(path)) {
    std::printf("%s: cannot open %s\n", label, path.c_str());
    return;
  }
  // Processor time as well: on a shared machine it is the parser's own measure.
  auto wallStart = std::chrono::steady_clock::now();
  std::clock_t cpuStart = std::clock();
  int result = parser.Parse();
  double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
  double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  double megabytes = bytes / 1048576.0;
  std::printf("%-12s %8.1f %10.3f %10.3f %12.1f %8d %10d\n", label, megabytes, wall, cpu, megabytes / cpu, result,
              parser.errorCount);
  // A valid source that reports anything is a broken benchmark: show why.
  if (parser.errorCount > 0 && std::string(label).rfind("valid", 0) == 0) {
    char first[512] = {};
    if (FILE* log = std::fopen(parser.logPath.c_str(), "rb")) {
      size_t length = std::fread(first, 1, sizeof first - 1, log);
      first[length] = 0;
      std::fclose(log);
    }
    std::printf("  first log entry: %s\n", first);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<long> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atol(argv[i]));
  if (sizes.empty()) sizes = {1, 10, 100};

  std::string folder = (std::filesystem::temp_directory_path() / "tovrin-parser-bench-XXXXXX").string();
  if (!mkdtemp(folder.data())) return 1;
  std::printf("%-12s %8s %10s %10s %12s %8s %10s\n", "source", "MB", "wall s", "cpu s", "MB/s (cpu)", "result",
              "errors");
  for (long megabytes : sizes) {
    std::string path = Generate(folder + "/valid.tvr", megabytes << 20, Unit, kHead, kTail);
    Run(folder, path, ("valid " + std::to_string(megabytes)).c_str());
    std::filesystem::remove(path);
  }
  long stormMegabytes = *std::min_element(sizes.begin(), sizes.end());
  std::string storm =
      Generate(folder + "/storm.tvr", stormMegabytes << 20, StormLine, "start() {\n  x as byte;\n", "}\n");
  Run(folder, storm, "error storm");
  std::filesystem::remove_all(folder);
  return 0;
}

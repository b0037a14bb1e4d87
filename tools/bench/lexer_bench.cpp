// Lexer throughput on generated sources of 1, 10 and 100 MB (or the sizes given, in MB).
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "frontend/parser.h"
#include "frontend/tokens.h"

namespace {

// The valid program of the parser benchmark: global data and tables once,
// then units of a class and two method bodies with every kind of token
// (about 600 bytes each), then the body of start.
const char kHead[] =
    "// global data first, then the tables\n"
    "def Board {\n  speed as byte;\n  grid as integer[4][2];\n}\n"
    "range Cold(20, 10, 30);\nrange Warm(100, 20, 40);\n"
    "rule Speed { Cold as 10; Warm as 200; }\n";
const char kTail[] = "start() {\n  r as integer;\n  r = Motor0:step(1, 300);\n}\n";

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

std::string Generate(const std::string& folder, long bytes) {
  std::string path = folder + "/source-" + std::to_string(bytes) + ".tvr";
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return std::string();
  std::fputs(kHead, file);
  long written = 0;
  for (int n = 0; written < bytes; ++n) {
    std::string unit = Unit(n);
    std::fwrite(unit.data(), 1, unit.size(), file);
    written += static_cast<long>(unit.size());
  }
  std::fputs(kTail, file);
  std::fclose(file);
  return path;
}

// Wall-clock and processor time: the machine may be shared, and then the
// processor time is the measure of the lexer itself.
struct Stopwatch {
  std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
  std::clock_t cpu = std::clock();
  double WallSeconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
  }
  double CpuSeconds() const { return static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC; }
};

}  // namespace

int main(int argc, char** argv) {
  std::vector<long> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atol(argv[i]));
  if (sizes.empty()) sizes = {1, 10, 100};

  std::string folder = (std::filesystem::temp_directory_path() / "tovrin-lexer-bench-XXXXXX").string();
  if (!mkdtemp(folder.data())) return 1;
  std::printf("%8s %12s %10s %10s %12s\n", "MB", "tokens", "wall s", "cpu s", "MB/s (cpu)");
  for (long size : sizes) {
    std::string path = Generate(folder, size << 20);
    if (path.empty()) return 1;
    long bytes = static_cast<long>(std::filesystem::file_size(path));

    CParser parser;
    // On-chip code and data, as a build with no external RAM would use.
    if (!parser.lexer.Create(&parser) || !parser.compiler.BeginProgram(0, 1, 1)) return 1;
    if (!parser.OpenSource(path)) return 1;
    Stopwatch watch;
    long tokens = 0;
    while (parser.lexer.NextToken() != 0) ++tokens;
    double wall = watch.WallSeconds();
    double cpu = watch.CpuSeconds();
    double megabytes = bytes / 1048576.0;
    std::printf("%8.1f %12ld %10.3f %10.3f %12.1f\n", megabytes, tokens, wall, cpu, megabytes / cpu);
    std::filesystem::remove(path);
  }
  std::filesystem::remove_all(folder);
  return 0;
}

// Parse and check time of programs where thousands of classes each own a
// member of the same name: resolving `x` inside each method must not walk
// every namesake, so time should grow linearly with the class count.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "frontend/parser.h"

namespace {

double SecondsFor(const std::string& folder, int classes) {
  std::string source;
  // Appended piece by piece: GCC 12 in Release warns falsely (-Wrestrict) on "literal" + std::string.
  for (int i = 0; i < classes; ++i) source.append("def C").append(std::to_string(i)).append(" { x as byte; do f(); }\n");
  for (int i = 0; i < classes; ++i) source.append("C").append(std::to_string(i)).append(":f() { x = 1; x = x + 1; }\n");
  const std::string path = folder + "/namesakes.tvr";
  if (FILE* file = std::fopen(path.c_str(), "wb")) {
    std::fwrite(source.data(), 1, source.size(), file);
    std::fclose(file);
  }
  const auto begin = std::chrono::steady_clock::now();
  CParser parser;
  parser.logPath = folder + "/tovrin.log";
  if (!parser.Create(64, 2, 2) || !parser.OpenSource(path)) return -1;
  int result = parser.Parse();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  if (result != 0 || parser.errorCount != 0) std::printf("  (%d errors)\n", parser.errorCount);
  return seconds;
}

}  // namespace

int main() {
  char pattern[] = "/tmp/tovrin-namesakes-XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  const std::string folder = pattern;
  const std::string start = std::filesystem::current_path().string();
  std::printf("%10s %12s %14s\n", "classes", "seconds", "us per class");
  for (int classes : {4000, 16000, 64000}) {
    double seconds = SecondsFor(folder, classes);
    std::filesystem::current_path(start);  // the file stack moves into the source's folder
    std::printf("%10d %12.3f %14.2f\n", classes, seconds, seconds * 1e6 / classes);
  }
  std::filesystem::remove_all(folder);
  return 0;
}

// The build flags an example names on its first line ("// build: --code external ..."): some
// examples only build with external RAM.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

inline std::vector<std::string> ExampleBuildFlags(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  const std::string marker = "// build:";
  std::vector<std::string> flags;
  if (line.compare(0, marker.size(), marker) != 0) return flags;
  std::istringstream words(line.substr(marker.size()));
  for (std::string word; words >> word;) flags.push_back(word);
  return flags;
}

// The memory layout those flags choose, as the parser takes it: locations 1 on-chip, 2 external.
struct ExampleLayout {
  int externalRamK = 0;
  int codeLocation = 1;
  int dataLocation = 1;
};

inline ExampleLayout ExampleBuildLayout(const std::string& path) {
  ExampleLayout layout;
  std::vector<std::string> flags = ExampleBuildFlags(path);
  for (std::size_t i = 0; i + 1 < flags.size(); ++i) {
    const std::string& value = flags[i + 1];
    if (flags[i] == "--external-ram") layout.externalRamK = std::stoi(value);
    if (flags[i] == "--code") layout.codeLocation = value == "external" ? 2 : 1;
    if (flags[i] == "--data") layout.dataLocation = value == "external" ? 2 : 1;
  }
  return layout;
}

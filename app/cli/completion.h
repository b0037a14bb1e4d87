// The bash completion of the command line, generated from its own definitions.
#pragma once

#include <string>

namespace CLI {
class App;
}

// A bash script that completes every command, option and value the App defines. Values come
// from each option's type name: "a|b|c" offers those words, PORT the four COM ports,
// COMn and COMMAND their lists, SOURCE and HEX-like names files of that kind, PATH any file.
std::string BashCompletion(const CLI::App& app);

// tovrin: the command line.
#include <cstdio>
#include <cstring>
#include <string>

#include "app/cli/commands.h"
#include "frontend/token_listing.h"

namespace {

const char kUsage[] =
    "Usage:\n"
    "  tovrin build SOURCE [--debug-level 1-4] [--code on-chip|external] [--data on-chip|external]\n"
    "                      [--external-ram K] [--log PATH] [--download] [--port PORT] [--open-log]\n"
    "  tovrin download HEXFILE [--port PORT]\n"
    "  tovrin install [FIRMWARE.hex] [--port PORT]\n"
    "  tovrin ports\n"
    "  tovrin configure-port COMn [--device PATH] [--baud N] [--data-bits 5-8]\n"
    "                      [--parity none|odd|even] [--stop-bits 1|2] [--flow none|hardware|software]\n"
    "  tovrin settings\n"
    "  tovrin --help | --version\n"
    "\n"
    "Commands:\n"
    "  build           compile SOURCE (*.tvr) and every file it uses into SOURCE.hex; write the\n"
    "                  listing tovrin.dbg (debug level 2-4) and the error log; print the memory map.\n"
    "                  Options override the stored settings for this run only.\n"
    "                  --download sends the image to the target's SRAM after a good build.\n"
    "                  --open-log opens the log in $VISUAL / $EDITOR / xdg-open after a failed build.\n"
    "  download        send a hex file to the target's SRAM through the programmer\n"
    "  install         write the interpreter firmware into the chip's Flash (default: stored \"Tovrin File\")\n"
    "  ports           list serial devices and the COM1..COM4 mapping\n"
    "  configure-port  change the device and line settings that COMn stands for\n"
    "  settings        print every stored setting\n"
    "\n"
    "PORT is COM1..COM4 in any case (mapped in the settings) or a device path such as\n"
    "/dev/ttyUSB0 (any name holding '/').\n"
    "Settings file: $TOVRIN_SETTINGS or ~/.config/Halvery/Tovrin.reg.\n"
    "Log: --log PATH, $TOVRIN_LOG or ~/.local/state/tovrin/tovrin.log.\n"
    "Exit status: 0 success, 1 build failed, 2 usage error, 3 download failed, 4 settings file\n"
    "cannot be written, 128+N stopped by signal N during a transfer (130 for Ctrl-C).\n";

// Not in the usage: a debugging aid that lists the tokens of one file.
int RunTokensCommand(const Arguments& args) {
  if (args.size() != 1) return UsageError("tokens takes one FILE");
  if (WriteTokenListing(args[0], stdout)) return kExitOk;
  std::fprintf(stderr, "tovrin: cannot open '%s'\n", args[0].c_str());
  return kExitBuildFailed;
}

struct Command {
  const char* name;
  int (*run)(const Arguments&);
};

const Command kCommands[] = {
    {"build", RunBuildCommand},
    {"download", RunDownloadCommand},
    {"install", RunInstallCommand},
    {"ports", RunPortsCommand},
    {"configure-port", RunConfigurePortCommand},
    {"settings", RunSettingsCommand},
    {"tokens", RunTokensCommand},
};

}  // namespace

int UsageError(const std::string& message) {
  std::fprintf(stderr, "tovrin: %s\nRun 'tovrin --help' for usage.\n", message.c_str());
  return kExitUsage;
}

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  std::string first = argv[1];
  if (first == "--help" || first == "-h" || first == "help") {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }
  if (first == "--version") {
    std::printf("tovrin %s\n", TOVRIN_VERSION);
    return kExitOk;
  }
  Arguments rest(argv + 2, argv + argc);
  for (const Command& command : kCommands)
    if (first == command.name) return command.run(rest);
  return UsageError("unknown command '" + first + "'");
}

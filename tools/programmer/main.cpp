// tovrin-programmer: an emulated device programmer on a pseudo-terminal, for trying a download
// without hardware. Prints the device path, serves until interrupted, then writes the dumps.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "download/programmer_emulator.h"

namespace {

const char kUsage[] =
    "Usage: tovrin-programmer [options]\n"
    "Emulates a serial device programmer on a pseudo-terminal. Prints the device path on the\n"
    "first line of standard output and serves until interrupted (SIGINT or SIGTERM).\n"
    "\n"
    "Identity:\n"
    "  --id TEXT            7-character identification (default TOVEMU1)\n"
    "  --type LETTER        answer to the type query; F is the Tovrin programmer (default F)\n"
    "  --software M.mm      software version (default 1.10)\n"
    "  --hardware M.mm      hardware version (default 2.00)\n"
    "Faults:\n"
    "  --silent             answer nothing\n"
    "  --garble-sync N      answer the first N synchronise requests with garbage\n"
    "  --wrong-sums N       answer the next N SRAM blocks with a wrong sum\n"
    "  --refuse-word ADDR   refuse the Flash write at this word address (decimal or 0x..)\n"
    "  --drop-reply L[:N]   leave out the answer to command letter L (N times, default 1)\n"
    "  --slow MS            wait MS milliseconds before every answer\n"
    "  --vanish-after N     close the line after N bytes from the host, as an unplugged\n"
    "                       adapter (the dumps are written and the program ends)\n"
    "Output:\n"
    "  --link PATH          also make PATH a symbolic link to the device (removed at exit)\n"
    "  --flash-dump FILE    at exit, write the Flash words received as Intel HEX\n"
    "  --sram-dump FILE     at exit, write the SRAM bytes received as Intel HEX\n"
    "  --transcript FILE    at exit, write the exchange (\"> \" host bytes, \"< \" answers)\n";

int stopPipe[2] = {-1, -1};

void OnSignal(int) {
  const char stop = 's';
  ssize_t ignored = ::write(stopPipe[1], &stop, 1);
  (void)ignored;
}

int Usage(const char* message) {
  std::fprintf(stderr, "tovrin-programmer: %s\n%s", message, kUsage);
  return 2;
}

bool ParseNumber(const char* text, long low, long high, long& value) {
  if (!text || !*text) return false;
  errno = 0;
  char* end = nullptr;
  long parsed = std::strtol(text, &end, 0);
  if (errno || *end || parsed < low || parsed > high) return false;
  value = parsed;
  return true;
}

// "M.mm" into major and hundredths.
bool ParseVersion(const char* text, uint8_t version[2]) {
  std::string whole = text ? text : "";
  std::string fraction;
  size_t dot = whole.find('.');
  if (dot != std::string::npos) {
    fraction = whole.substr(dot + 1);
    whole.resize(dot);
  }
  long major = 0, minor = 0;
  if (fraction.size() > 2 || !ParseNumber(whole.c_str(), 0, 255, major)) return false;
  if (fraction.size() == 1) fraction += '0';
  if (!fraction.empty() && (fraction[0] < '0' || fraction[0] > '9' || fraction[1] < '0' || fraction[1] > '9'))
    return false;
  if (!fraction.empty()) minor = (fraction[0] - '0') * 10 + (fraction[1] - '0');
  version[0] = static_cast<uint8_t>(major);
  version[1] = static_cast<uint8_t>(minor);
  return true;
}

bool WriteFile(const std::string& path, const std::string& text) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && ok;
}

struct Options {
  std::string link, flashDump, sramDump, transcript;
};

// Applies argv to the emulator; an empty result means success, else the usage error.
std::string ParseOptions(int argc, char** argv, CEmulatedProgrammer& emulator, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--help" || option == "-h") return "help";
    if (option == "--silent") {
      emulator.faults.silent = true;
      continue;
    }
    static const char* const kValued[] = {"--id", "--type", "--software", "--hardware", "--garble-sync",
                                          "--wrong-sums", "--refuse-word", "--drop-reply", "--slow", "--vanish-after",
                                          "--link", "--flash-dump", "--sram-dump", "--transcript"};
    if (std::find(std::begin(kValued), std::end(kValued), option) == std::end(kValued))
      return "unknown option " + option;
    if (i + 1 >= argc) return "missing value for " + option;
    const char* value = argv[++i];
    long number = 0;
    if (option == "--id") {
      emulator.identity.id = value;
    } else if (option == "--type") {
      if (std::strlen(value) != 1) return "--type takes one letter";
      emulator.identity.type = static_cast<uint8_t>(value[0]);
    } else if (option == "--software" || option == "--hardware") {
      uint8_t* version = option == "--software" ? emulator.identity.softwareVersion
                                                : emulator.identity.hardwareVersion;
      if (!ParseVersion(value, version)) return "bad version for " + option;
    } else if (option == "--garble-sync" || option == "--wrong-sums") {
      if (!ParseNumber(value, 0, 1000000, number)) return "bad count for " + option;
      (option == "--garble-sync" ? emulator.faults.garbledSyncs : emulator.faults.wrongSums) =
          static_cast<int>(number);
    } else if (option == "--refuse-word") {
      if (!ParseNumber(value, 0, 0xFFFF, number)) return "bad word address";
      emulator.faults.refusedWord = number;
    } else if (option == "--drop-reply") {
      std::string text = value;
      number = 1;
      if (text.empty() || (text.size() > 1 && (text[1] != ':' || !ParseNumber(text.c_str() + 2, 0, 1000000, number))))
        return "--drop-reply takes LETTER or LETTER:N";
      emulator.faults.dropReplyTo = text[0];
      emulator.faults.dropReplies = static_cast<int>(number);
    } else if (option == "--slow") {
      if (!ParseNumber(value, 0, 60000, number)) return "bad delay for --slow";
      emulator.faults.replyDelayMs = static_cast<int>(number);
    } else if (option == "--vanish-after") {
      if (!ParseNumber(value, 0, 100000000, number)) return "bad count for --vanish-after";
      emulator.faults.vanishAfter = number;
    } else if (option == "--link") {
      options.link = value;
    } else if (option == "--flash-dump") {
      options.flashDump = value;
    } else if (option == "--sram-dump") {
      options.sramDump = value;
    } else if (option == "--transcript") {
      options.transcript = value;
    } else {
      return "unknown option " + option;
    }
  }
  return std::string();
}

}  // namespace

int main(int argc, char** argv) {
  CEmulatedProgrammer emulator;
  Options options;
  std::string problem = ParseOptions(argc, argv, emulator, options);
  if (problem == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (!problem.empty()) return Usage(problem.c_str());

  std::string errorText;
  if (!emulator.Open(errorText)) {
    std::fprintf(stderr, "tovrin-programmer: no pseudo-terminal: %s\n", errorText.c_str());
    return 1;
  }
  if (!options.link.empty()) {
    ::unlink(options.link.c_str());
    if (::symlink(emulator.DevicePath().c_str(), options.link.c_str()) != 0) {
      std::fprintf(stderr, "tovrin-programmer: cannot link %s: %s\n", options.link.c_str(),
                   std::strerror(errno));
      return 1;
    }
  }
  if (::pipe(stopPipe) != 0) return 1;
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);

  std::printf("%s\n", emulator.DevicePath().c_str());
  std::fflush(stdout);
  emulator.Serve(stopPipe[0]);

  int status = 0;
  if (!options.link.empty()) ::unlink(options.link.c_str());
  if (!options.flashDump.empty() && !WriteFile(options.flashDump, emulator.FlashHex())) status = 1;
  if (!options.sramDump.empty() && !WriteFile(options.sramDump, emulator.SramHex())) status = 1;
  if (!options.transcript.empty() && !WriteFile(options.transcript, emulator.Transcript())) status = 1;
  return status;
}

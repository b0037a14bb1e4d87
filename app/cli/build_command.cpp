// tovrin build and tovrin settings.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <map>
#include <optional>

#include "app/build_driver.h"
#include "app/cli/commands.h"
#include "app/cli/stop_on_signals.h"
#include "app/register.h"
#include "app/settings_check.h"
#include "download/port_settings.h"
#include "download/programmer.h"
#include "platform/format.h"
#include "platform/paths.h"
#include "platform/system_error.h"
#include "platform/terminal_interface.h"

namespace {

// The flags of one build; what is not given comes from the settings store.
struct BuildFlags {
  std::optional<std::string> source;
  std::optional<int> debugLevel, codeLocation, dataLocation, externalRamK;
  std::string logPath, port;
  bool download = false;
  bool openLog = false;
};

// The largest external RAM an image can address (its addresses are 16 bits).
constexpr int kMaxExternalRamK = 64;

// Control characters would steer the terminal; show them as escapes instead.
std::string Printable(const std::string& text) {
  std::string shown;
  for (unsigned char c : text) {
    if (c == '\n')
      shown += "\\n";
    else if (c == '\r')
      shown += "\\r";
    else if (c == '\t')
      shown += "\\t";
    else if (c < 0x20 || c == 0x7f)
      shown += Format("\\x%02x", c);
    else
      shown += static_cast<char>(c);
  }
  return shown;
}

// A whole decimal number within [low, high].
std::optional<int> ParseNumber(const std::string& text, int low, int high) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < low || value > high) return std::nullopt;
  return value;
}

std::optional<int> ParseLocation(const std::string& text) {
  if (text == "on-chip") return 1;
  if (text == "external") return 2;
  return std::nullopt;
}

// Reads the flags; on a mistake returns false with the message for the user.
bool ParseBuildFlags(const Arguments& args, BuildFlags& flags, std::string& error) {
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
      if (flags.source) {
        error = Format("more than one SOURCE given ('%s' and '%s')", Printable(*flags.source).c_str(),
                       Printable(arg).c_str());
        return false;
      }
      flags.source = arg;
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    std::string name = arg, value;
    bool inlineValue = false;
    if (size_t equals = arg.find('='); arg.rfind("--", 0) == 0 && equals != std::string::npos) {
      name = arg.substr(0, equals);
      value = arg.substr(equals + 1);
      inlineValue = true;
    }
    if (name == "--download" || name == "--open-log") {
      if (inlineValue) {
        error = Format("%s takes no value", name.c_str());
        return false;
      }
      (name == "--download" ? flags.download : flags.openLog) = true;
      continue;
    }
    static const char* const kValued[] = {"--debug-level", "--code", "--data", "--external-ram", "--log", "--port"};
    bool known = false;
    for (const char* valued : kValued) known = known || name == valued;
    if (!known) {
      error = Format("unknown option '%s'", Printable(arg).c_str());
      return false;
    }
    if (!inlineValue) {
      if (i + 1 >= args.size()) {
        error = Format("%s needs a value", name.c_str());
        return false;
      }
      value = args[++i];
    }
    std::string shown = Printable(value);
    if (name == "--debug-level") {
      flags.debugLevel = ParseNumber(value, 1, 4);
      if (!flags.debugLevel) error = Format("--debug-level takes 1 to 4, not '%s'", shown.c_str());
    } else if (name == "--code" || name == "--data") {
      std::optional<int> location = ParseLocation(value);
      (name == "--code" ? flags.codeLocation : flags.dataLocation) = location;
      if (!location) error = Format("%s takes on-chip or external, not '%s'", name.c_str(), shown.c_str());
    } else if (name == "--external-ram") {
      flags.externalRamK = ParseNumber(value, 0, kMaxExternalRamK);
      if (!flags.externalRamK)
        error = Format("--external-ram takes kilobytes from 0 to %d, not '%s'", kMaxExternalRamK, shown.c_str());
    } else if (value.empty()) {
      error = Format("%s needs a value", name.c_str());
    } else if (name == "--port") {
      ParsePortName(value, flags.port, error);
    } else {
      flags.logPath = value;
    }
    if (!error.empty()) return false;
  }
  if (!flags.source) {
    error = "build needs a SOURCE file";
    return false;
  }
  return true;
}

BuildRequest MakeRequest(const BuildFlags& flags) {
  CRegister registry;
  registry.SetKey(kSettingsKey);
  BuildRequest request;
  request.sourcePath = *flags.source;
  // A stored value that cannot be used falls back to the window's default, and is said so.
  std::vector<std::string> notes;
  NoteSettingsFileProblem(registry, notes);
  if (!flags.codeLocation) request.codeLocation = ReadSetting(registry, kCodeLocationSetting, notes);
  if (!flags.dataLocation) request.dataLocation = ReadSetting(registry, kDataLocationSetting, notes);
  if (!flags.externalRamK) request.externalRamK = ReadSetting(registry, kExternalRamSetting, notes);
  request.codeLocation = flags.codeLocation.value_or(request.codeLocation);
  request.dataLocation = flags.dataLocation.value_or(request.dataLocation);
  request.externalRamK = flags.externalRamK.value_or(request.externalRamK);
  request.debugLevel = flags.debugLevel ? *flags.debugLevel : ReadSetting(registry, kDebugLevelSetting, notes);
  request.port = flags.port.empty() ? Format("COM%d", ReadSetting(registry, kPortSetting, notes)) : flags.port;
  request.logPath = ResolveLogPath(flags.logPath);
  for (const std::string& note : notes) std::fprintf(stderr, "tovrin: warning: %s\n", Printable(note).c_str());
  return request;
}

void PrintLogNotice(const CParser::LogNotice& notice) {
  if (notice.located) {
    std::fprintf(stderr, "%s:%d: \"%s\" %s\n", Printable(notice.file).c_str(), notice.line,
                 Printable(notice.token).c_str(), Printable(notice.message).c_str());
  } else {
    std::fprintf(stderr, "tovrin: %s\n", Printable(notice.text).c_str());
  }
}

// Why the main file could not be opened (the build itself logs nothing for it).
std::string OpenFailureText(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return SystemErrorText(EISDIR);
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return SystemErrorText(errno);
  close(fd);
  return "cannot be read";
}

// The summary as standard output shows it: plain line breaks, no question.
std::string SummaryForOutput(std::string summary) {
  size_t question = summary.find("\nPrepare to Download...");
  if (question != std::string::npos) summary.erase(question);
  std::string out;
  for (size_t i = 0; i < summary.size(); ++i)
    if (!(summary[i] == '\r' && i + 1 < summary.size() && summary[i + 1] == '\n')) out += summary[i];
  return out;
}

int ExitStatusOf(BuildOutcome outcome) {
  switch (outcome) {
    case BuildOutcome::NoSource: return kExitUsage;
    case BuildOutcome::Failed: return kExitBuildFailed;
    case BuildOutcome::Built:
    case BuildOutcome::Downloaded: return kExitOk;
    case BuildOutcome::NoPort:
    case BuildOutcome::DownloadFailed: return kExitDownloadFailed;
  }
  return kExitBuildFailed;
}

}  // namespace

int RunBuildCommand(const Arguments& args) {
  BuildFlags flags;
  std::string error;
  if (!ParseBuildFlags(args, flags, error)) return UsageError(error);

  BuildRequest request = MakeRequest(flags);
  CTerminalInterface ui;
  ui.SetAnswer(kSuccessCaption, flags.download);
  ui.SetAnswer(kErrorCaption, flags.openLog);
  ui.progressLines = !ui.interactive;
  CProgrammer programmer;
  programmer.Setup();
  BuildResult result;
  int signal = 0;
  {
    CStopOnSignals stop(programmer);
    result = RunBuild(request, PrintLogNotice, &programmer);
    signal = stop.Signal();
  }
  if (result.outcome == BuildOutcome::NoSource) return kExitUsage;
  if (result.outcome == BuildOutcome::DownloadFailed && programmer.interrupted && signal) {
    std::fputs(SummaryForOutput(result.summary).c_str(), stdout);
    return kExitSignalBase + signal;
  }

  std::fputs(SummaryForOutput(result.summary).c_str(), stdout);
  std::fflush(stdout);
  if (result.outcome == BuildOutcome::Failed) {
    if (!result.sourceOpened)
      std::fprintf(stderr, "tovrin: cannot open '%s': %s\n", Printable(request.sourcePath).c_str(),
                   OpenFailureText(request.sourcePath).c_str());
    std::fprintf(stderr, "Error log: %s\n", Printable(request.logPath).c_str());
  }
  return ExitStatusOf(result.outcome);
}

int RunSettingsCommand(const Arguments& args) {
  if (!args.empty()) return UsageError(Format("settings takes no arguments, not '%s'", Printable(args[0]).c_str()));
  CSettingsFile file;
  std::printf("Settings file: %s\n", Printable(file.Path()).c_str());
  CRegister registry;
  registry.SetKey(kSettingsKey);
  for (const std::string& note : StoredSettingsProblems(registry))
    std::fprintf(stderr, "tovrin: warning: %s\n", Printable(note).c_str());
  std::vector<CSettingsFile::Entry> entries = file.ReadAll();
  if (entries.empty()) std::printf("(nothing stored: builds use on-chip code and data, 0 K external RAM, debug level 1)\n");
  // Grouped by key in the order the keys first appear.
  std::vector<std::string> keys;
  std::map<std::string, std::vector<const CSettingsFile::Entry*>> byKey;
  for (const CSettingsFile::Entry& entry : entries) {
    std::string folded;
    for (char c : entry.key) folded += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!byKey.count(folded)) keys.push_back(folded);
    byKey[folded].push_back(&entry);
  }
  for (const std::string& key : keys) {
    std::printf("\n[%s]\n", Printable(byKey[key].front()->key).c_str());
    for (const CSettingsFile::Entry* entry : byKey[key])
      std::printf("%s = %s\n", entry->name.empty() ? "@" : Printable(entry->name).c_str(),
                  Printable(entry->value).c_str());
  }
  return kExitOk;
}

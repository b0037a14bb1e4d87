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
#include "app/register.h"
#include "platform/format.h"
#include "platform/paths.h"
#include "platform/system_error.h"
#include "platform/terminal_interface.h"

namespace {

// The flags of one build, checked; what is not given comes from the settings store.
struct BuildFlags {
  std::optional<int> debugLevel, codeLocation, dataLocation, externalRamK;
  std::string logPath, port, outputPath;
};

// The largest external RAM an image can address (its addresses are 16 bits).
constexpr int kMaxExternalRamK = 64;

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

// Checks the values as typed; on a mistake returns false with the message for the user.
bool CheckBuildOptions(const BuildOptions& options, BuildFlags& flags, std::string& error) {
  if (options.debugLevel) {
    flags.debugLevel = ParseNumber(*options.debugLevel, 1, 4);
    if (!flags.debugLevel)
      error = Format("--debug-level takes 1 to 4, not '%s'", Printable(*options.debugLevel).c_str());
  }
  const std::pair<const std::optional<std::string>*, std::optional<int>*> locations[] = {
      {&options.code, &flags.codeLocation}, {&options.data, &flags.dataLocation}};
  for (const auto& [text, location] : locations) {
    if (!*text || !error.empty()) continue;
    *location = ParseLocation(**text);
    if (!*location)
      error = Format("%s takes on-chip or external, not '%s'", text == &options.code ? "--code" : "--data",
                     Printable(**text).c_str());
  }
  if (options.externalRam && error.empty()) {
    flags.externalRamK = ParseNumber(*options.externalRam, 0, kMaxExternalRamK);
    if (!flags.externalRamK)
      error = Format("--external-ram takes kilobytes from 0 to %d, not '%s'", kMaxExternalRamK,
                     Printable(*options.externalRam).c_str());
  }
  const std::pair<const char*, const std::optional<std::string>*> paths[] = {
      {"--log", &options.log}, {"--port", &options.port}, {"--output", &options.output}};
  for (const auto& [name, value] : paths)
    if (*value && value->value().empty() && error.empty()) error = Format("%s needs a value", name);
  if (!error.empty()) return false;
  flags.logPath = options.log.value_or("");
  flags.port = options.port.value_or("");
  flags.outputPath = options.output.value_or("");
  return true;
}

// The stored setting, or the main window's default when it reads as 0.
int StoredOrDefault(int stored, int fallback) { return stored == 0 ? fallback : stored; }

// The port a stored "Port" number names: its list position plus one, 0 meaning the default.
std::string StoredPort(int number) {
  if (number == 0) number = 1;
  return (number >= 1 && number <= 4) ? Format("COM%d", number) : std::string();
}

BuildRequest MakeRequest(const std::string& source, const BuildFlags& flags) {
  CRegister registry;
  registry.SetKey(kSettingsKey);
  BuildRequest request;
  request.sourcePath = source;
  ReadPlacement(registry, request);
  request.codeLocation = flags.codeLocation.value_or(StoredOrDefault(request.codeLocation, 1));
  request.dataLocation = flags.dataLocation.value_or(StoredOrDefault(request.dataLocation, 1));
  request.externalRamK = flags.externalRamK.value_or(request.externalRamK);
  int storedLevel = StoredOrDefault(registry.ReadInt("Debug Level"), 1);
  request.debugLevel = flags.debugLevel.value_or(storedLevel < 1 ? 1 : storedLevel > 4 ? 4 : storedLevel);
  request.port = flags.port.empty() ? StoredPort(registry.ReadInt("Port")) : flags.port;
  request.logPath = ResolveLogPath(flags.logPath);
  request.hexPath = flags.outputPath;
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

int RunBuildCommand(const BuildOptions& options) {
  BuildFlags flags;
  std::string error;
  if (!CheckBuildOptions(options, flags, error)) return UsageError(error);

  BuildRequest request = MakeRequest(options.source, flags);
  CTerminalInterface ui;
  ui.SetAnswer(kSuccessCaption, options.download);
  ui.SetAnswer(kErrorCaption, options.openLog);
  BuildResult result = RunBuild(request, PrintLogNotice);
  if (result.outcome == BuildOutcome::NoSource) return kExitUsage;

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

int RunSettingsCommand() {
  CSettingsFile file;
  std::printf("Settings file: %s\n", Printable(file.Path()).c_str());
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

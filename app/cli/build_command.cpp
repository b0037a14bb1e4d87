// tovrin build and tovrin settings.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>

#include "app/build_driver.h"
#include "app/cli/commands.h"
#include "app/cli/diagnostics.h"
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
  if (options.port && !ParsePortName(*options.port, flags.port, error)) return false;
  flags.logPath = options.log.value_or("");
  flags.outputPath = options.output.value_or("");
  return true;
}

BuildRequest MakeRequest(const std::string& source, const BuildFlags& flags) {
  CRegister registry;
  registry.SetKey(kSettingsKey);
  BuildRequest request;
  request.sourcePath = source;
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
  request.hexPath = flags.outputPath;
  for (const std::string& note : notes) std::fprintf(stderr, "tovrin: warning: %s\n", Printable(note).c_str());
  return request;
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

std::string Percent(int used, int room) { return room > 0 ? Format("%5.1f%%", 100.0 * used / room) : "    -"; }

// After the memory map: how full each region is.
std::string UseLines(const MemoryUse& use, const MemoryLayout& layout) {
  const MemoryRoom room = RoomOf(layout);
  // A shared on-chip region runs on into external RAM when there is some.
  const bool spills = room.shared && layout.codeLocation == 1 && layout.externalRamK * 1024 > 607;
  auto where = [spills](int location) { return location != 1 ? "external RAM" : spills ? "on-chip+ext" : "on-chip"; };
  auto line = [](const char* name, int used, int available, const char* place) {
    return Format("  %-7s %6d of %6d bytes  %-12s %s\n", name, used, available, place, Percent(used, available).c_str());
  };
  std::string text = "\nMemory use:\n";
  text += line("Data", use.data, room.data, where(layout.dataLocation));
  text += line("Tables", use.tables, room.code, where(layout.codeLocation));
  text += line("Code", use.code, room.code, where(layout.codeLocation));
  if (room.shared) text += line("In all", use.data + use.tables + use.code, room.code, where(layout.codeLocation));
  return text;
}

std::string LayoutFlags(const MemoryLayout& to, const MemoryLayout& from) {
  std::string flags;
  if (to.codeLocation != from.codeLocation) flags += to.codeLocation == 1 ? " --code on-chip" : " --code external";
  if (to.dataLocation != from.dataLocation) flags += to.dataLocation == 1 ? " --data on-chip" : " --data external";
  if (to.externalRamK != from.externalRamK) flags += Format(" --external-ram %d", to.externalRamK);
  return flags.empty() ? flags : flags.substr(1);
}

// A build that failed but builds where there is room: what it needs, by how much it passed
// the room it had, and the setting that makes it fit.
void ExplainLackOfRoom(const BuildRequest& request) {
  const MemoryLayout layout{request.codeLocation == 1 ? 1 : 2, request.dataLocation == 1 ? 1 : 2, request.externalRamK};
  // The trial build below is a whole second build: pointless where no setting gives more room.
  if (IsLargestLayout(layout)) return;
  std::optional<MemoryUse> needs = MeasureProgram(request.sourcePath);
  if (!needs) return;
  const int over = Overflow(*needs, RoomOf(layout));
  if (over == 0) return;
  std::fputs(UseLines(*needs, layout).c_str(), stdout);
  std::fflush(stdout);
  std::string advice = "no layout has room for it";
  if (std::optional<MemoryLayout> fits = LayoutThatFits(*needs, layout))
    advice = "it fits with " + LayoutFlags(*fits, layout);
  std::fprintf(stderr, "tovrin: the program does not fit: %d byte%s too many for this layout; %s\n", over,
               over == 1 ? "" : "s", advice.c_str());
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
  request.warningsAsErrors = options.warningsAsErrors;
  CTerminalInterface ui;
  ui.SetAnswer(kSuccessCaption, options.download);
  ui.SetAnswer(kErrorCaption, options.openLog);
  ui.progressLines = !ui.interactive;
  CDiagnostics diagnostics(stderr, request.sourcePath);
  std::error_code ignored;
  const std::filesystem::path startDirectory = std::filesystem::current_path(ignored);
  CProgrammer programmer;
  programmer.Setup();
  BuildResult result;
  bool lackOfRoom = false;  // some error said that memory ran out
  int signal = 0;
  {
    CStopOnSignals stop(programmer);
    result = RunBuild(request,
                      [&diagnostics, &lackOfRoom](const CParser::LogNotice& notice) {
                        lackOfRoom = lackOfRoom || IsLackOfRoom(notice.message.empty() ? notice.text : notice.message);
                        diagnostics.Error(notice);
                      },
                      &programmer);
    signal = stop.Signal();
  }
  if (result.outcome == BuildOutcome::NoSource) return kExitUsage;
  if (result.outcome == BuildOutcome::DownloadFailed && programmer.interrupted && signal) {
    std::fputs(SummaryForOutput(result.summary).c_str(), stdout);
    return kExitSignalBase + signal;
  }
  if (!options.noWarnings || options.warningsAsErrors)
    for (const CompilerWarning& warning : result.warnings) diagnostics.Warning(warning);
  if (options.warningsAsErrors && !result.warnings.empty())
    std::fprintf(stderr, "tovrin: warnings are treated as errors (--warnings-as-errors)\n");

  std::fputs(SummaryForOutput(result.summary).c_str(), stdout);
  if (result.outcome != BuildOutcome::Failed)
    std::fputs(UseLines(result.use, {request.codeLocation == 1 ? 1 : 2, request.dataLocation == 1 ? 1 : 2,
                                     request.externalRamK})
                   .c_str(),
               stdout);
  std::fflush(stdout);
  if (result.outcome == BuildOutcome::Failed && result.sourceOpened && lackOfRoom) {
    std::error_code ignored;
    std::filesystem::current_path(startDirectory, ignored);  // a failed parse may have moved
    ExplainLackOfRoom(request);
  }
  diagnostics.PrintCount();
  if (result.outcome == BuildOutcome::Failed) std::fprintf(stderr, "Error log: %s\n", Printable(request.logPath).c_str());
  return ExitStatusOf(result.outcome);
}

int RunSettingsCommand() {
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

// The Build command: compile one source file into a hex file, report the memory map, and
// download the image when the user agrees. Shared by the command line and the window.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/memory_use.h"
#include "app/register.h"
#include "app/transfer.h"
#include "frontend/parser.h"
#include "image/target.h"

class CProgrammer;

// What one build needs; the caller fills it from the settings, the window or the flags.
struct BuildRequest {
  std::string sourcePath;  // as typed: never made absolute, so messages name it as written
  int debugLevel = 1;      // 1 no listing .. 4 full listing
  int codeLocation = 1;    // 1 on-chip, any other value external RAM
  int dataLocation = 1;
  int externalRamK = 0;    // kilobytes of external RAM
  std::string logPath;     // absolute path of the error log
  std::string port;        // the port a download uses ("COM1".."COM4" or a device); empty: none
  std::string hexPath;     // where the hex file goes; empty: beside the source
  bool warningsAsErrors = false;  // a build that warns fails before code is generated
  TransferListener transferListener;  // hears the download's progress (the window's status)
};

enum class BuildOutcome {
  NoSource,        // no file named: nothing was read or written
  Failed,          // the log ends with the memory map of what had been allocated
  Built,           // hex file written; no download (declined, or the hex path was too short)
  NoPort,          // download accepted but no port named
  Downloaded,      // image sent to the target's SRAM
  DownloadFailed,  // the programmer's error text is in errorText
};

struct BuildResult {
  BuildOutcome outcome = BuildOutcome::NoSource;
  MemoryMap memory{};        // the six numbers of the summary (not for NoSource)
  MemoryUse use;             // bytes of each region the image holds (partial after a failure)
  std::string summary;       // the text shown on success, or the entry logged on failure
  std::string hexPath;       // the hex file written by a good build
  bool sourceOpened = true;  // false when the main file was tried and could not be opened
  std::string sourceFailure;  // then the log's entry saying which file and why
  std::string errorText;     // the programmer's text after a failed download (the box adds where)
  std::vector<CompilerWarning> warnings;  // in the order found; never in the log
};

using LogListener = std::function<void(const CParser::LogNotice&)>;

// Runs the Build command. onLog hears every log entry of the build except the closing memory
// map (which is in the result). programmer: the window's own, or null for one made here.
BuildResult RunBuild(const BuildRequest& request, const LogListener& onLog = LogListener(),
                     CProgrammer* programmer = nullptr);

// The file part of a path: after the last '/', else after the last '\', else the whole path.
std::string ShortName(const std::string& path);

// Reads the placement settings in the Build command's order: "Code Location", "Data Location",
// "External RAM"; a missing value reads as 0.
void ReadPlacement(const CRegister& registry, BuildRequest& request);

// The exact texts of the Build command.
inline constexpr const char* kNoSourceText = "Please specify filename to build.";
inline constexpr const char* kParserInitText = "Error initializing parser.  Check compiler settings.";
inline constexpr const char* kViewLogQuestion = "Tovrin: Error in Build or Settings.  View error log?";
inline constexpr const char* kErrorCaption = "Tovrin Compiler ERROR";
inline constexpr const char* kSuccessCaption = "Tovrin Compiler";
inline constexpr const char* kNoPortText = "First specify a communications port.";
inline constexpr const char* kDebugFileName = "tovrin.dbg";
inline constexpr const char* kNoSourceFileText = "Can not open source file '%s': %s";

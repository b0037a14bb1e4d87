#include "app/build_driver.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "app/transfer.h"
#include "app/transfer_report.h"
#include "download/programmer.h"
#include "platform/format.h"
#include "platform/system_error.h"
#include "platform/user_interface.h"

// Each stage of the build is one small function, so a stage that joins later is a change in
// one place.
namespace {

// The target image of the build, with the counters of the memory summary: the compiler
// object is the image.
CTarget& ImageOf(CParser& parser) { return parser.compiler; }

// Code generation: every statement of the program block emits its code, then the forward
// calls are resolved.
bool GenerateCode(CParser& parser) { return parser.compiler.Generate() != 0; }

// Appends the end instruction, fills in the header and writes the hex file; path becomes the
// hex file's path.
bool WriteHexFile(CTarget& image, std::string& path, const std::string& chosen) {
  if (chosen.empty()) return image.WriteHexFile(path);
  path = chosen;
  return image.WriteHexFileAt(path);
}

// The six numbers of the summary: the whole image, the global data, the tables and code.
MemoryMap MemoryOf(const CTarget& image, bool good) { return image.GetMemoryMap(good); }

std::string SummaryOf(const CTarget& image, bool good) {
  return good ? image.SuccessSummary() : image.FailureSummary();
}

// Sends the hex file to the target's SRAM; false with the one failure text in errorText, and
// its message for the user (naming port and device) in message.
bool Download(CProgrammer& programmer, const BuildRequest& build, const std::string& hexPath,
              std::string& errorText, std::string& message) {
  const TransferRequest request{TransferKind::Sram, hexPath, build.port};
  const TransferResult sent = RunTransfer(programmer, request, build.transferListener);
  // The transfer is over: a status window its listener opened before connecting goes now.
  UserInterface().CloseStatusWindow();
  errorText = sent.errorText;
  message = TransferFailureText(request, sent);
  return sent.outcome == TransferOutcome::Done;
}

// The hex file a good build of the source writes (the writer's rule: the last '.' starts the
// extension), made absolute now: a failed parse may leave the build in another folder.
std::string HexFileOf(const std::string& sourcePath) {
  const size_t dot = sourcePath.rfind('.');
  const std::string hex = (dot == std::string::npos ? sourcePath : sourcePath.substr(0, dot)) + ".hex";
  std::error_code ignored;
  // A source named *.hex (or linked to the image's name) is never its own output.
  if (hex == sourcePath || std::filesystem::equivalent(hex, sourcePath, ignored)) return std::string();
  const std::filesystem::path absolute = std::filesystem::absolute(hex, ignored);
  return absolute.empty() ? hex : absolute.string();
}

// A failed build leaves no image of an earlier source behind, as compilers remove an output
// they could not remake: a download could otherwise send bytes that no longer match the source.
void RemoveStaleHexFile(const std::string& hexPath) {
  struct stat info {};
  if (hexPath.empty() || ::lstat(hexPath.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return;
  ::unlink(hexPath.c_str());
}

// After a good build and an OK to "Prepare to Download...".
BuildOutcome DownloadStep(const BuildRequest& request, BuildResult& result, CProgrammer* programmer) {
  if (request.port.empty()) {
    UserInterface().ShowMessage(kNoPortText);
    return BuildOutcome::NoPort;
  }
  if (result.hexPath.size() <= 1) return BuildOutcome::Built;
  std::unique_ptr<CProgrammer> own;
  if (!programmer) {
    own = std::make_unique<CProgrammer>();
    own->Setup();
    programmer = own.get();
  }
  std::string message;
  if (Download(*programmer, request, result.hexPath, result.errorText, message)) return BuildOutcome::Downloaded;
  UserInterface().ShowMessage(message);
  return BuildOutcome::DownloadFailed;
}

// Why the file stack could not open a source, from the errno it left: sources must be regular
// files, and anything else is refused with EINVAL.
std::string OpenFailureReason(int code) {
  if (code == EINVAL) return "not a regular file";
  if (code == 0) return "cannot be read";
  return SystemErrorText(code);
}

}  // namespace

std::string ShortName(const std::string& path) {
  size_t separator = path.rfind('/');
  if (separator == std::string::npos) separator = path.rfind('\\');
  return separator == std::string::npos ? path : path.substr(separator + 1);
}

void ReadPlacement(const CRegister& registry, BuildRequest& request) {
  request.codeLocation = registry.ReadInt("Code Location");
  request.dataLocation = registry.ReadInt("Data Location");
  request.externalRamK = registry.ReadInt("External RAM");
}

BuildResult RunBuild(const BuildRequest& request, const LogListener& onLog, CProgrammer* programmer) {
  BuildResult result;
  if (request.sourcePath.empty()) {
    UserInterface().ShowMessage(kNoSourceText);
    return result;
  }

  const std::string staleHex = HexFileOf(request.sourcePath);
  // Every build starts with an empty log, also one whose layout is refused before the parser
  // would empty it.
  if (!request.logPath.empty()) std::remove(request.logPath.c_str());
  // Unless the listing shows the program itself (level 3 and up), it need not be kept: methods
  // are generated as they are parsed. A program that rules that out part way is parsed
  // again, keeping everything.
  std::error_code ignored;
  const std::filesystem::path startFolder = std::filesystem::current_path(ignored);
  std::unique_ptr<CParser> attempt;
  bool created = false, parsed = false;
  std::string path;  // becomes the hex file's path when written
  for (bool stream = request.debugLevel < 3;; stream = false) {
    attempt = std::make_unique<CParser>();
    CParser& parser = *attempt;
    parser.logPath = request.logPath;
    parser.onLog = onLog;
    created = parser.Create(request.externalRamK, request.codeLocation, request.dataLocation);
    if (!created) break;
    if (stream) parser.compiler.EnableStreaming();
    path = request.sourcePath;
    errno = 0;
    result.sourceOpened = parser.OpenSource(path);
    if (!result.sourceOpened) {
      // Said before the failure summary, like any other reason a build fails.
      const int code = errno;
      result.sourceFailure =
          Format(kNoSourceFileText, request.sourcePath.c_str(), OpenFailureReason(code).c_str());
      parser.WriteLog(result.sourceFailure);
    }
    parsed = result.sourceOpened && parser.Parse() == 0 && parser.errorCount == 0;
    if (!parser.compiler.StreamAborted()) break;
    // The parse may have left the folder of a used file.
    std::filesystem::current_path(startFolder, ignored);
  }
  CParser& parser = *attempt;
  bool good = false;
  if (!created) {
    // The layout the compiler refused says why (e.g. more external RAM than addresses reach).
    std::string reason = parser.compiler.errorText;
    if (!reason.empty()) parser.WriteLog(reason);
    parser.WriteLog(kParserInitText);
  } else {
    if (parsed) CheckProgram(parser.compiler);
    result.warnings = parser.compiler.warnings;
    if (!parsed || (request.warningsAsErrors && !result.warnings.empty())) parser.compiler.StopStreaming();
    if (parsed && !(request.warningsAsErrors && !result.warnings.empty())) {
      if (!GenerateCode(parser)) {
        // What generation refused (a call that yields no value, code that does not fit, ...).
        if (!parser.compiler.errorText.empty()) parser.WriteLog(parser.compiler.errorText);
      } else if (WriteHexFile(ImageOf(parser), path, request.hexPath)) {
        good = true;
        result.hexPath = path;
      } else if (parser.compiler.codeFull && !parser.compiler.errorText.empty()) {
        // The end instruction did not fit: no box was shown, so the log must say why.
        parser.WriteLog(parser.compiler.errorText);
      }
    }
    parser.WriteDebugFile(kDebugFileName, request.debugLevel);
  }

  const CTarget& image = ImageOf(parser);
  result.memory = MemoryOf(image, good);
  result.use = UseOf(image, good);
  result.summary = SummaryOf(image, good);
  if (!good) {
    RemoveStaleHexFile(staleHex);
    parser.onLog = nullptr;  // the memory map is the result's, not a message of the build
    parser.WriteLog(result.summary);
    result.outcome = BuildOutcome::Failed;
    if (UserInterface().AskOkCancel(kViewLogQuestion, kErrorCaption)) UserInterface().ViewLog(request.logPath);
    return result;
  }
  result.outcome = BuildOutcome::Built;
  if (!UserInterface().AskOkCancel(result.summary, kSuccessCaption)) return result;
  result.outcome = DownloadStep(request, result, programmer);
  return result;
}

// The whole Build command on an arbitrary source: lexer, parser, checks, code generation, the hex
// file and the listing, in a private folder. A good build's hex file must read back whole; a
// failed one must leave none.
//
// Input: one byte of build options (debug level, code and data placement, external RAM), then
// the main source; a NUL ends it, and what follows is "used.tvr", which the source may USE.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/build_driver.h"
#include "image/intellec_file.h"
#include "platform/recording_interface.h"
#include "support.h"

namespace {

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "build: %s\n", what);
  std::abort();
}

bool Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

BuildRequest RequestFor(uint8_t options) {
  // Every size the layout must place or refuse, the edges included.
  static const int kExternalRamK[16] = {0, 1, 2, 3, 4, 8, 12, 16, 24, 32, 40, 48, 56, 63, 64, 65};
  BuildRequest request;
  request.sourcePath = "main.tvr";
  request.debugLevel = 1 + (options & 3);
  request.codeLocation = (options & 4) ? 2 : 1;
  request.dataLocation = (options & 8) ? 2 : 1;
  request.externalRamK = kExternalRamK[options >> 4];
  request.logPath = fuzz::Folder() + "/tovrin.log";
  return request;
}

// The byte-code section of a listing, which every level above 1 ends with.
std::string ByteCodes(const std::string& listing) {
  const size_t at = listing.find("/  Byte Codes");
  return at == std::string::npos ? std::string() : listing.substr(at);
}

// A hex file the build wrote must read to its end record without a fault.
void CheckHexFile(const std::string& path) {
  CIntellecFile reader;
  bool more = reader.Open(path);
  Require(more, "the hex file written does not open or has no record");
  while (more) more = reader.ReadRecord();
  Require(reader.stopped == 1, "the hex file written does not read back");
}

}  // namespace

// The listing goes to the working directory: each build runs in the private folder, and the
// fuzzer's own relative paths (corpus, artifacts) keep working between builds.
class CInFolder {
 public:
  CInFolder() : previous(::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    Require(previous >= 0 && ::chdir(fuzz::Folder().c_str()) == 0, "cannot enter the folder");
  }
  ~CInFolder() {
    Require(::fchdir(previous) == 0, "cannot return from the folder");
    ::close(previous);
  }
  CInFolder(const CInFolder&) = delete;
  CInFolder& operator=(const CInFolder&) = delete;

 private:
  int previous;
};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
  const size_t split = input.find('\0');
  fuzz::WriteFile("main.tvr", input.substr(0, split));
  fuzz::WriteFile("used.tvr", split == std::string::npos ? std::string() : input.substr(split + 1));
  const std::string hexPath = fuzz::Folder() + "/main.hex";
  ::unlink(hexPath.c_str());

  CInFolder inFolder;
  CRecordingInterface ui;  // answers Cancel: no download
  ::unlink("tovrin.dbg");  // a listing is compared below: none may be left from the last input
  const BuildRequest request = RequestFor(data[0]);
  const BuildResult result = RunBuild(request);
  if (result.outcome == BuildOutcome::Built) {
    Require(result.hexPath == "main.hex", "the hex file is not beside the source");
    CheckHexFile(hexPath);
  } else {
    Require(result.outcome == BuildOutcome::Failed, "a build ended neither built nor failed");
    Require(!Exists(hexPath), "a failed build left a hex file");
  }
  Require(!result.summary.empty(), "no summary");

  // A build whose listing does not show the program generates each method as it is parsed;
  // one whose listing does keeps the program and generates at the end. Both must give the
  // same image, log, summary and byte codes.
  if (request.debugLevel <= 2) {
    const std::string streamedHex = fuzz::ReadFile(hexPath);
    const std::string streamedLog = fuzz::ReadFile(request.logPath);
    const std::string streamedCodes = ByteCodes(fuzz::ReadFile("tovrin.dbg"));
    ::unlink("tovrin.dbg");
    BuildRequest kept = request;
    kept.debugLevel = 3;
    const BuildResult whole = RunBuild(kept);
    Require(whole.outcome == result.outcome && whole.summary == result.summary, "streaming changed the outcome");
    Require(fuzz::ReadFile(hexPath) == streamedHex, "streaming changed the image");
    Require(fuzz::ReadFile(request.logPath) == streamedLog, "streaming changed the log");
    Require(request.debugLevel == 1 || ByteCodes(fuzz::ReadFile("tovrin.dbg")) == streamedCodes,
            "streaming changed the listed byte codes");
  }
  return 0;
}

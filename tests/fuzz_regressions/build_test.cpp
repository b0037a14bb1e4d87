// Sources the build fuzzer once failed on: each must build or fail cleanly, and a good build's
// hex file must read back to its end record.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/build_driver.h"
#include "frontend/value_slot.h"
#include "image/intellec_file.h"
#include "platform/recording_interface.h"
#include "replay.h"

namespace {

using regressions::ScratchFolder;

// The fuzzer's input: one byte of build options, the main source, a NUL, then "used.tvr".
BuildResult BuildFuzzInput(const ScratchFolder& folder, const std::string& input) {
  static const int kExternalRamK[16] = {0, 1, 2, 3, 4, 8, 12, 16, 24, 32, 40, 48, 56, 63, 64, 65};
  const uint8_t options = input.empty() ? 0 : static_cast<uint8_t>(input[0]);
  const std::string sources = input.empty() ? std::string() : input.substr(1);
  const size_t split = sources.find('\0');
  regressions::WriteFile(folder.path / "main.tvr", sources.substr(0, split));
  regressions::WriteFile(folder.path / "used.tvr", split == std::string::npos ? "" : sources.substr(split + 1));
  BuildRequest request;
  request.sourcePath = "main.tvr";
  request.debugLevel = 1 + (options & 3);
  request.codeLocation = (options & 4) ? 2 : 1;
  request.dataLocation = (options & 8) ? 2 : 1;
  request.externalRamK = kExternalRamK[options >> 4];
  request.logPath = (folder.path / "tovrin.log").string();
  CRecordingInterface ui;
  return RunBuild(request);
}

// Clearing a parse-stack slot must clear all of it: the actions test the pointer member for
// null, and `yyvalue{}` alone initialises only the first member (an int), which some compilers
// (clang) take literally, leaving the pointer's upper half as it was.
__attribute__((noinline)) void Clear(yyvalue& slot) { slot = yyvalue{}; }

TEST(BuildRegressions, ClearedValueSlotHoldsNoObject) {
  yyvalue slot;
  slot.object = reinterpret_cast<void*>(~uintptr_t{0});
  Clear(slot);
  EXPECT_EQ(slot.object, nullptr);
  EXPECT_EQ(slot.text, nullptr);
}

// How one saved input ended, as its child process reported it.
enum class Ending { BuiltAndReadsBack, FailedWithoutHex, BrokenInvariant, Crashed, TimedOut };

const char* Describe(Ending ending) {
  switch (ending) {
    case Ending::BuiltAndReadsBack: return "built, hex file reads back";
    case Ending::FailedWithoutHex: return "failed, no hex file";
    case Ending::BrokenInvariant: return "a failed build left a hex file, or a good one's does not read back";
    case Ending::Crashed: return "crashed";
    case Ending::TimedOut: return "still building after the time allowed";
  }
  return "?";
}

// Builds the input in a child process, so that a crash or a hang fails one case, not the run.
Ending BuildInChild(const std::string& input, int seconds) {
  ScratchFolder folder;  // the parent's: removed even when the child has to be killed
  const pid_t child = ::fork();
  if (child == 0) {
    const BuildResult result = BuildFuzzInput(folder, input);
    const bool hexWritten = std::filesystem::exists(folder.path / "main.hex");
    if (result.outcome == BuildOutcome::Failed) ::_exit(hexWritten ? 2 : 1);
    if (result.outcome != BuildOutcome::Built || !hexWritten) ::_exit(2);
    CIntellecFile reader;
    bool more = reader.Open((folder.path / "main.hex").string());
    while (more) more = reader.ReadRecord();
    ::_exit(reader.stopped == 1 ? 0 : 2);
  }
  int status = 0;
  for (int waited = 0; waited < seconds * 10; ++waited) {
    if (::waitpid(child, &status, WNOHANG) == child) {
      if (!WIFEXITED(status)) return Ending::Crashed;
      const int code = WEXITSTATUS(status);
      return code == 0 ? Ending::BuiltAndReadsBack : code == 1 ? Ending::FailedWithoutHex : Ending::BrokenInvariant;
    }
    ::usleep(100000);
  }
  ::kill(child, SIGKILL);
  ::waitpid(child, &status, 0);
  return Ending::TimedOut;
}

// Each saved input: "t(){;" (a statement that is only an error reduces a declaration whose slot
// was cleared as above; its placement then followed the stale half pointer), and a USE of a
// device that never ends ("/dev/zero"), which kept the build reading for ever.
TEST(BuildRegressions, SavedInputsBuildOrFailInTime) {
  const auto reproducers = regressions::Reproducers("build");
  ASSERT_FALSE(reproducers.empty());
  for (const auto& path : reproducers) {
    SCOPED_TRACE(path.filename().string());
    const Ending ending = BuildInChild(regressions::ReadFile(path), 10);
    EXPECT_TRUE(ending == Ending::BuiltAndReadsBack || ending == Ending::FailedWithoutHex) << Describe(ending);
  }
}

}  // namespace

// Sources the build fuzzer once failed on: each must build or fail cleanly, and a good build's
// hex file must read back to its end record.
#include <gtest/gtest.h>

#include "app/build_driver.h"
#include "frontend/value_slot.h"
#include "platform/recording_interface.h"
#include "replay.h"
#include "target/intellec_file.h"

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

// "t(){;": a statement that is only an error reduces a declaration whose slot was cleared
// that way; the declaration's placement then followed the stale half pointer.
TEST(BuildRegressions, SavedInputsBuildOrFailCleanly) {
  const auto reproducers = regressions::Reproducers("build");
  ASSERT_FALSE(reproducers.empty());
  for (const auto& path : reproducers) {
    SCOPED_TRACE(path.filename().string());
    ScratchFolder folder;
    const BuildResult result = BuildFuzzInput(folder, regressions::ReadFile(path));
    ASSERT_TRUE(result.outcome == BuildOutcome::Built || result.outcome == BuildOutcome::Failed);
    if (result.outcome != BuildOutcome::Built) {
      EXPECT_FALSE(std::filesystem::exists(folder.path / "main.hex"));
      continue;
    }
    CIntellecFile reader;
    bool more = reader.Open((folder.path / "main.hex").string());
    while (more) more = reader.ReadRecord();
    EXPECT_EQ(reader.stopped, 1) << reader.message;
  }
}

}  // namespace

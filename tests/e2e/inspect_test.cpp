// tovrin inspect: an image read back without its source, against the listing of its build.
#include <filesystem>

#include <gtest/gtest.h>

#include "platform/format.h"
#include "tests/app/test_folder.h"
#include "tests/e2e/run_tovrin.h"
#include "tests/support/example_flags.h"

namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The text between the line that starts with `from` and the next line that starts with `to`.
std::string Between(const std::string& text, const std::string& from, const std::string& to) {
  size_t begin = text.find(from);
  if (begin == std::string::npos) return "(no " + from + ")";
  begin = text.find('\n', begin) + 1;
  size_t end = text.find(to, begin);
  return text.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

class Inspect : public ::testing::Test {
 protected:
  RunResult Tovrin(const std::vector<std::string>& args) {
    return RunTovrin(args, folder.path, {{"TOVRIN_SETTINGS", folder / "Tovrin.reg"}, {"TOVRIN_LOG", folder / "log"}});
  }
  TestFolder folder;
};

// The code decoded from the hex file is, line for line, the code section of the full listing;
// the vectors set are those the listing shows.
TEST_F(Inspect, EveryExampleDecodesAsItsListing) {
  int checked = 0;
  for (const auto& entry : std::filesystem::directory_iterator(TOVRIN_SOURCE_DIR "/examples")) {
    if (entry.path().extension() != ".tvr") continue;
    // The example's own placement (some need external RAM), then everything external.
    const std::vector<std::vector<std::string>> layouts = {
        ExampleBuildFlags(entry.path().string()),
        {"--code", "external", "--data", "external", "--external-ram", "32"}};
    for (const auto& layout : layouts) {
      std::vector<std::string> args = {"build", entry.path().string(), "--debug-level", "4", "-o", folder / "image.hex"};
      args.insert(args.end(), layout.begin(), layout.end());
      RunResult built = Tovrin(args);
      ASSERT_EQ(built.status, 0) << entry.path() << built.err;
      const std::string listing = ReadWholeFile(folder / "tovrin.dbg");

      RunResult shown = Tovrin({"inspect", "image.hex"});
      ASSERT_EQ(shown.status, 0) << shown.err;
      const std::string code = Between(shown.out, "Code <", "\nData and tables:");
      EXPECT_EQ(code, Between(listing, ".... \n", "\\___")) << entry.path();
      EXPECT_TRUE(Contains(code, ": *END*\n")) << code;
      std::string vectors;
      const std::string listed = Between(listing, "0064: INTERRUPT VECTORS:", "....");
      for (size_t at = 0; at < listed.size(); at = listed.find('\n', at) + 1) {
        std::string line = listed.substr(at, listed.find('\n', at) + 1 - at);
        if (Contains(line, "=>")) vectors += line;
      }
      EXPECT_EQ(Between(shown.out, "INTERRUPT VECTORS:", "\nCode <"), vectors.empty() ? "" : vectors) << entry.path();
      ++checked;
    }
  }
  EXPECT_GE(checked, 8);
}

TEST_F(Inspect, HeaderAndTheBytesBesideTheCode) {
  WriteWholeFile(folder / "p.tvr", "def B {\n  x as byte;\n}\nrange Cold(20, 10, 30);\nstart()\n{\n  B:x = 1;\n  out B:x;\n}\n");
  ASSERT_EQ(Tovrin({"build", "p.tvr"}).status, 0);
  RunResult shown = Tovrin({"inspect", "p.hex"});
  ASSERT_EQ(shown.status, 0) << shown.err;
  EXPECT_TRUE(Contains(shown.out, "p.hex: Tovrin image\nBase:  0060\n0060: CODE  => 0082\n0062: START => 0082\n"
                                  "0064: INTERRUPT VECTORS: none set\n"))
      << shown.out;
  // The global byte at 007e (0), then the three bytes of the range table Cold.
  EXPECT_TRUE(Contains(shown.out, "\nData and tables:\n007e: 00 14 1e 0a\n")) << shown.out;
}

TEST_F(Inspect, OtherFilesAreRefusedWithTheReason) {
  WriteWholeFile(folder / "text.hex", "hello\n");
  WriteWholeFile(folder / "empty.hex", ":00000001ff\n");
  WriteWholeFile(folder / "elsewhere.hex", ":0100000000ff\n:00000001ff\n");
  WriteWholeFile(folder / "sum.hex", ":0100600000ff\n:00000001ff\n");
  // A header whose CODE word (0100) points past everything loaded.
  std::string header = ":1e006000" + std::string("0001") + std::string(56, '0');
  unsigned sum = 0x1e + 0x60 + 0x01;
  header += Format("%02x", (0x100 - (sum & 0xff)) & 0xff) + "\n:00000001ff\n";
  WriteWholeFile(folder / "nocode.hex", header);
  std::filesystem::create_directory(folder / "folder.hex");
  const struct {
    const char* file;
    const char* says;
  } cases[] = {
      {"text.hex", "'text.hex' is not a Tovrin image: not an Intel HEX file"},
      {"empty.hex", "'empty.hex' is not a Tovrin image: it holds no data"},
      {"elsewhere.hex", "'elsewhere.hex' is not a Tovrin image: no header at 0060"},
      {"sum.hex", "'sum.hex' is not a Tovrin image: record 1 (address 0060) is no data record with a right checksum"},
      {"nocode.hex", "'nocode.hex' is not a Tovrin image: its CODE word 0100 points at no code"},
      {"missing.hex", "tovrin: cannot open 'missing.hex': No such file or directory"},
      {"folder.hex", "tovrin: cannot open 'folder.hex': Is a directory"},
  };
  for (const auto& c : cases) {
    RunResult result = Tovrin({"inspect", c.file});
    EXPECT_EQ(result.status, 1) << c.file;
    EXPECT_TRUE(Contains(result.err, c.says)) << c.file << ": " << result.err;
    EXPECT_EQ(result.out, "") << c.file;
  }

  // A good image cut before its end instruction.
  WriteWholeFile(folder / "p.tvr", "start()\n{\n  out \"a longer text than one record holds\";\n}\n");
  ASSERT_EQ(Tovrin({"build", "p.tvr"}).status, 0);
  std::string hex = ReadWholeFile(folder / "p.hex");
  size_t lastRecord = hex.rfind("\n:", hex.rfind("\n:") - 1);
  WriteWholeFile(folder / "cut.hex", hex.substr(0, lastRecord + 1) + ":00000001ff");
  RunResult cut = Tovrin({"inspect", "cut.hex"});
  EXPECT_EQ(cut.status, 1);
  EXPECT_TRUE(Contains(cut.err, "its code has no end instruction")) << cut.err;
}

}  // namespace

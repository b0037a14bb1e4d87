// How full the chip is, after the memory map; and what a program that does not fit needs.
#include <gtest/gtest.h>

#include "app/memory_use.h"
#include "tests/app/test_folder.h"
#include "tests/e2e/run_tovrin.h"

namespace {

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// n output statements of a 20-character text: 24 bytes of code each.
std::string Texts(int n) {
  std::string program = "start() {\n";
  for (int i = 0; i < n; ++i) program += "  out \"twenty characters...\";\n";
  return program + "}\n";
}

class MemoryUseTest : public ::testing::Test {
 protected:
  RunResult Build(const std::string& program, std::vector<std::string> flags = {}) {
    WriteWholeFile(folder / "p.tvr", program);
    std::vector<std::string> args = {"build", "p.tvr"};
    args.insert(args.end(), flags.begin(), flags.end());
    return RunTovrin(args, folder.path, {{"TOVRIN_SETTINGS", folder / "Tovrin.reg"}, {"TOVRIN_LOG", folder / "log"}});
  }
  TestFolder folder;
};

TEST_F(MemoryUseTest, TheMapIsFollowedByUseOfEachRegion) {
  RunResult result = Build("range Cold(20, 10, 30);\nstart()\n{\n  b as byte;\n  b = 1;\n  out b;\n}\n");
  ASSERT_EQ(result.status, 0) << result.err;
  // The map stays as it was; the use of each region follows it, adding up to the code
  // memory the map shows (0x7E to 0x97, the end instruction included).
  EXPECT_EQ(result.out,
            "Tovrin: BUILD SUCCESSFUL\n\nProgram memory:\t0x0060 ... 0x025f\n"
            "     Data memory:\t0x007e ... 0x007d\n     Code memory:\t0x007e ... 0x0097\n"
            "\nMemory use:\n"
            "  Data         0 of    481 bytes  on-chip        0.0%\n"
            "  Tables       3 of    481 bytes  on-chip        0.6%\n"
            "  Code        23 of    481 bytes  on-chip        4.8%\n"
            "  In all      26 of    481 bytes  on-chip        5.4%\n");

  // Separate regions each have their own room; on-chip code then reaches 0x25F itself.
  result = Build("start()\n{\n}\n", {"--data", "external", "--external-ram", "2"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(Contains(result.out, "  Data         0 of   1440 bytes  external RAM   0.0%\n"
                                   "  Tables       0 of    482 bytes  on-chip        0.0%\n"))
      << result.out;
  EXPECT_FALSE(Contains(result.out, "In all")) << result.out;
}

TEST_F(MemoryUseTest, AProgramThatDoesNotFitSaysByHowMuchAndWhatMakesItFit) {
  RunResult result = Build(Texts(22));
  ASSERT_EQ(result.status, 1);
  EXPECT_TRUE(Contains(result.out, "  Code       508 of    481 bytes  on-chip      105.6%\n")) << result.out;
  EXPECT_TRUE(Contains(result.err,
                       "tovrin: the program does not fit: 27 bytes too many for this layout; it fits with "
                       "--external-ram 1\n"))
      << result.err;
  EXPECT_FALSE(Contains(ReadWholeFile(folder / "log"), "Memory use")) << "the log keeps its form";

  // The advice is right: with it the same program builds, and needs what was measured.
  result = Build(Texts(22), {"--external-ram", "1"});
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(Contains(result.out, "  Code       508 of    898 bytes  on-chip+ext   56.6%\n")) << result.out;

  // Code already external: only more external RAM helps.
  result = Build(Texts(80), {"--code", "external", "--external-ram", "2"});
  ASSERT_EQ(result.status, 1);
  EXPECT_TRUE(Contains(result.err, "it fits with --external-ram 3\n")) << result.err;
  EXPECT_EQ(Build(Texts(80), {"--code", "external", "--external-ram", "3"}).status, 0);
}

TEST(MemoryLayouts, RoomFollowsTheAllocators) {
  // On-chip: 0x7E up to the end address 0x25F; external from 0x260 up to K x 1024.
  MemoryRoom room = RoomOf({1, 1, 0});
  EXPECT_TRUE(room.shared);
  EXPECT_EQ(room.code, 481);
  room = RoomOf({2, 1, 4});
  EXPECT_FALSE(room.shared);
  EXPECT_EQ(room.data, 482);  // up to 0x25F itself: the end address no longer bounds it
  EXPECT_EQ(room.code, 4096 - 608);
  EXPECT_EQ(RoomOf({2, 2, 0}).code, 0);  // external without external RAM holds nothing
  EXPECT_EQ(RoomOf({2, 2, 64}).code, 65536 - 608);

  const MemoryUse huge{40000, 0, 30000};
  EXPECT_FALSE(LayoutThatFits(huge, {1, 1, 0}).has_value());
  // More external RAM is the smallest change when the places already suit.
  std::optional<MemoryLayout> fits = LayoutThatFits({400, 0, 500}, {2, 1, 1});
  ASSERT_TRUE(fits.has_value());
  EXPECT_EQ(fits->codeLocation, 2);
  EXPECT_EQ(fits->dataLocation, 1);
  EXPECT_EQ(fits->externalRamK, 2);
  // Without external RAM, on-chip code that does not fit moves out.
  fits = LayoutThatFits({0, 0, 600}, {1, 1, 0});
  ASSERT_TRUE(fits.has_value());
  EXPECT_EQ(fits->externalRamK, 1);  // the shared on-chip region runs on into 1 K of external RAM
}

}  // namespace

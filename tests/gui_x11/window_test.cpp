// The real window program on a real X server (Xvfb, started here), driven by xdotool as a user
// would, with the emulated programmer on a pseudo-terminal: the status window while a
// connection is tried, the main window repainting meanwhile, one box for a vanished programmer,
// and Cancel leaving the programmer ready for the next download.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "download/port_settings.h"
#include "download/programmer_emulator.h"
#include "app/register.h"
#include "platform/settings_file.h"
#include "tests/app/test_folder.h"
#include "tests/gui_x11/x_session.h"
#include "tests/support/hex_record.h"

using namespace x11_test;

namespace {

const char kMainTitle[] = "^Tovrin v1\\.1b$";
const char kStatusTitle[] = "^Tovrin:  Status$";
const char kBoxTitle[] = "^Tovrin$";  // the default caption: the transfer's failure box
const char kSuccessTitle[] = "^Tovrin Compiler$";
const char kGoodProgram[] = "start()\n{\n}\n";

bool Overlap(const Geometry& a, const Geometry& b) {
  return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

class RealWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    x = std::make_unique<XSession>(1024, 768);
    if (!x->Running()) {
      if (!OnPath("Xvfb")) GTEST_SKIP() << x->Problem();
      FAIL() << x->Problem();
    }
    ASSERT_TRUE(OnPath("xdotool")) << "xdotool is needed to drive the window (scripts/setup.sh installs it)";
    ASSERT_TRUE(std::filesystem::exists(kProgram)) << kProgram;
    settings = folder / "Tovrin.reg";
    setenv("TOVRIN_SETTINGS", settings.c_str(), 1);
    std::string error;
    ASSERT_TRUE(emulator.Open(error)) << error;
  }

  void TearDown() override {
    End(app);
    unsetenv("TOVRIN_SETTINGS");
  }

  // The programmer serves on COM2, the stored port; the stored source is good.tvr.
  void StartWindow(const std::string& scale = "1", const std::string& source = "good.tvr") {
    if (!serving) {
      serving = emulator.Start();
      ASSERT_TRUE(serving);
    }
    CPortSettings port = DefaultPortSettings("COM2");
    port.device = emulator.DevicePath();
    ASSERT_TRUE(SavePortSettings("COM2", port));
    WriteWholeFile(folder / "good.tvr", kGoodProgram);
    CSettingsFile store(settings);
    ASSERT_TRUE(store.Write(kSettingsKey, "Port", "2"));
    ASSERT_TRUE(store.Write(kSettingsKey, "Source File", folder / source));
    app = Spawn({kProgram},
                {{"DISPLAY", x->Display()},
                 {"QT_QPA_PLATFORM", "xcb"},
                 {"TOVRIN_SETTINGS", settings},
                 {"TOVRIN_LOG", folder / "tovrin.log"},
                 {"QT_QPA_PLATFORMTHEME", ""},
                 {"QT_SCALE_FACTOR", scale}},
                folder.path, folder / "window.out");
    ASSERT_TRUE(WaitFor([&] { return !x->Windows(kMainTitle).empty(); })) << ReadWholeFile(folder / "window.out");
    mainWindow = x->Windows(kMainTitle).front();
  }

  // Focuses a window and presses a key there.
  void Key(const std::string& window, const std::string& key) {
    x->Tool({"windowfocus", "--sync", window});
    x->Tool({"key", "--clearmodifiers", key});
  }

  // The first window with the title once it is shown, else empty.
  std::string Await(const char* title) {
    std::string id;
    WaitFor([&] {
      const std::vector<std::string> found = x->Windows(title);
      if (!found.empty()) id = found.front();
      return !id.empty();
    });
    return id;
  }

  // Build with Enter, then OK on the success box: the download starts.
  void BuildAndDownload() {
    Key(mainWindow, "Return");
    const std::string success = Await(kSuccessTitle);
    ASSERT_FALSE(success.empty()) << "no success box";
    Key(success, "Return");
  }

  // After the box of a transfer: the next window the program shows after another Build is the
  // success box, so no other box was waiting behind the first.
  void ExpectNoFurtherBox() {
    ASSERT_TRUE(WaitFor([&] { return x->Windows(kBoxTitle).empty(); }));
    Key(mainWindow, "Return");
    std::string next;
    ASSERT_TRUE(WaitFor([&] {
      if (!x->Windows(kBoxTitle).empty()) next = "another box";
      if (!x->Windows(kSuccessTitle).empty()) next = "success";
      return !next.empty();
    }));
    EXPECT_EQ(next, "success");
    if (next == "success") Key(x->Windows(kSuccessTitle).front(), "Escape");
  }

  static constexpr const char* kProgram = TOVRIN_BINARY_DIR "/app/gui/tovrin-gui";
  std::unique_ptr<XSession> x;
  TestFolder folder;
  std::string settings;
  CEmulatedProgrammer emulator;
  pid_t app = -1;
  bool serving = false;
  std::string mainWindow;
};

// A silent programmer keeps the connection attempt going for seconds: the status window is
// there at once, and the main window repaints what the status window uncovers.
TEST_F(RealWindow, StatusWindowAndRepaintsWhileConnecting) {
  emulator.faults.silent = true;
  StartWindow();
  BuildAndDownload();

  const std::string status = Await(kStatusTitle);
  ASSERT_FALSE(status.empty()) << "no status window";
  EXPECT_TRUE(x->Windows(kBoxTitle).empty()) << "the attempt ended before the status window showed";

  // The status window lies over the main window; moved off it, the pixels it leaves must become
  // the main window's again, drawn by a window that is still waiting for the programmer.
  const Geometry over = x->WindowGeometry(status);
  const Geometry main = x->WindowGeometry(mainWindow);
  ASSERT_TRUE(Overlap(over, main));
  const std::vector<uint32_t> covered = x->Screen().Area(over);
  x->Tool({"windowmove", "--sync", status, std::to_string(main.x + main.width + 20), "0"});
  const bool repainted = WaitFor([&] { return x->Screen().Area(over) != covered; });
  const bool stillConnecting = !x->Windows(kStatusTitle).empty() && x->Windows(kBoxTitle).empty();
  EXPECT_TRUE(repainted);
  EXPECT_TRUE(stillConnecting) << "the repaint came only after the attempt";

  // Then the attempt fails: one box, and the status window is gone.
  const std::string box = Await(kBoxTitle);
  ASSERT_FALSE(box.empty());
  EXPECT_EQ(x->Windows(kBoxTitle).size(), 1u);
  EXPECT_TRUE(x->Windows(kStatusTitle).empty());
  Key(box, "Return");
  ExpectNoFurtherBox();
}

// The programmer vanishes in the middle of the SRAM download: exactly one box.
TEST_F(RealWindow, AVanishedProgrammerGivesOneBox) {
  emulator.faults.vanishAfter = 40;  // connected, in SRAM-loader mode, into the second block
  StartWindow();
  BuildAndDownload();
  const std::string box = Await(kBoxTitle);
  ASSERT_FALSE(box.empty()) << "no box";
  EXPECT_TRUE(emulator.Vanished());
  EXPECT_EQ(x->Windows(kBoxTitle).size(), 1u);
  Key(box, "Return");
  ExpectNoFurtherBox();
}

// Cancel in the status window stops the download mid-way; the programmer is out of its mode
// and the next download goes through.
TEST_F(RealWindow, CancelLeavesTheProgrammerReady) {
  // A download that lasts (about 5 s for this image) so that Cancel lands mid-transfer even on
  // a loaded machine.
  emulator.faults.replyDelayMs = 150;
  StartWindow();
  BuildAndDownload();
  const std::string status = Await(kStatusTitle);
  ASSERT_FALSE(status.empty()) << "no status window";
  // Cancel once the first block is on its way.
  ASSERT_TRUE(WaitFor([&] { return emulator.Transcript().find("> 52") != std::string::npos; }));
  const Geometry at = x->WindowGeometry(status);
  // Cancel sits at the bottom right: x 130..180 and y 75..89 of 187 x 92 dialog units.
  x->Tool({"mousemove", "--sync", std::to_string(at.x + at.width * 155 / 187), std::to_string(at.y + at.height * 82 / 92)});
  x->Tool({"click", "1"});
  const std::string box = Await(kBoxTitle);
  ASSERT_FALSE(box.empty()) << "no box after Cancel";
  EXPECT_NE(emulator.Transcript().find("> 6C 00"), std::string::npos) << emulator.Transcript();
  Key(box, "Return");
  ASSERT_TRUE(WaitFor([&] { return x->Windows(kBoxTitle).empty() && x->Windows(kStatusTitle).empty(); }));

  CEmulatorFaults quick = emulator.faults;
  quick.replyDelayMs = 0;
  emulator.SetFaults(quick);
  BuildAndDownload();
  const std::map<unsigned, uint8_t> image = HexBytes(folder / "good.hex");
  EXPECT_TRUE(WaitFor([&] { return emulator.SramBytes() == image || !x->Windows(kBoxTitle).empty(); }));
  EXPECT_EQ(emulator.SramBytes(), image);
  EXPECT_TRUE(x->Windows(kBoxTitle).empty());
}

// At twice the size on a 1024 x 768 screen every window stays on the screen, and the success
// box keeps each memory line whole: it is wider than the half screen Qt wraps text at.
TEST_F(RealWindow, ScaledWindowsFitTheScreen) {
  StartWindow("2");
  const Geometry screen{0, 0, 1024, 768};
  auto inside = [&](const Geometry& g) {
    return g.x >= 0 && g.y >= 0 && g.x + g.width <= screen.width && g.y + g.height <= screen.height;
  };
  Key(mainWindow, "Return");
  const std::string success = Await(kSuccessTitle);
  ASSERT_FALSE(success.empty());
  const Geometry box = x->WindowGeometry(success);
  EXPECT_TRUE(inside(box));
  EXPECT_GT(box.width, screen.width / 2) << "the memory lines were wrapped";
  Key(success, "Escape");

  End(app);
  StartWindow("2", "missing.tvr");
  Key(mainWindow, "Return");
  const std::string question = Await("^Tovrin Compiler ERROR$");
  ASSERT_FALSE(question.empty());
  Key(question, "Return");
  const std::string viewer = Await("^Error log");
  ASSERT_FALSE(viewer.empty());
  EXPECT_TRUE(inside(x->WindowGeometry(viewer)));
}

}  // namespace

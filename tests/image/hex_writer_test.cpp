#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "image/intellec_file.h"
#include "image/target.h"
#include "platform/recording_interface.h"

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

class HexWriter : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() / ("tovrin-hex-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    source = (folder / "prog.tvr").string();
    hex = folder / "prog.hex";
  }
  void TearDown() override { fs::remove_all(folder); }
  long FilesInFolder() const { return std::distance(fs::directory_iterator(folder), fs::directory_iterator()); }

  fs::path folder, hex;
  std::string source;
  CRecordingInterface ui;
};

// Each placement with the same program: data aa bb, a 3-byte table, PUSH<byte> 5 as
// "start". Whole lines of unused memory are left out, also below two external regions.
void BuildSmallProgram(CTarget& target) {
  int data = target.AllocateData(2);
  target.PatchByte(data, 0xaa);
  target.PatchByte(data + 1, 0xbb);
  int table = target.AllocateTable(3);
  for (int i = 0; i < 3; ++i) target.PatchByte(table + i, i + 1);
  target.startAddress = target.EmitInstruction(OP_PUSH_BYTE, 1);
  target.EmitByte(5);
}

TEST_F(HexWriter, GoldenFilesForEachPlacement) {
  struct Case {
    int code, data;
    const char* text;
  } cases[] = {
      {1, 1,
       ":10006000830083000000000000000000000000008a\n:100070000000000000000000000000000000aabb1b\n"
       ":080080000102030901058a00d9\n:00000001ff"},
      {1, 2,
       ":10006000810081000000000000000000000000008e\n:10007000000000000000000000000000000001027d\n"
       ":10008000030901058a0000000000000000000000d4\n:02026000aabb37\n:00000001ff"},
      {2, 1,
       ":1000600063026302000000000000000000000000c6\n:100070000000000000000000000000000000aabb1b\n"
       ":080260000102030901058a00f7\n:00000001ff"},
      {2, 2,
       ":1000600065026502000000000000000000000000c2\n:100070000000000000000000000000000000000080\n"
       ":0a026000aabb0102030901058a0090\n:00000001ff"},
  };
  for (const Case& c : cases) {
    CTarget target;
    ASSERT_TRUE(target.Initialize(1, c.code, c.data));
    BuildSmallProgram(target);
    std::string path = source;
    ASSERT_TRUE(target.WriteHexFile(path));
    EXPECT_EQ(path, hex.string());
    EXPECT_EQ(ReadFile(hex), c.text) << c.code << "/" << c.data;
  }
  // The empty program: header and OP_END make exactly two full lines.
  CTarget empty;
  ASSERT_TRUE(empty.Initialize(0, 1, 1));
  std::string path = source;
  ASSERT_TRUE(empty.WriteHexFile(path));
  EXPECT_EQ(ReadFile(hex),
            ":100060007e00000000000000000000000000000012\n"
            ":1000700000000000000000000000000000008a00f6\n:00000001ff");
  EXPECT_EQ(FilesInFolder(), 1);  // no temporary file left behind
}

// A standard tool loads our files into the same image.
TEST_F(HexWriter, ObjcopyAgreesWithTheImage) {
  if (std::system("objcopy --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "objcopy not installed";
  for (int layout = 0; layout < 4; ++layout) {
    CTarget target;
    ASSERT_TRUE(target.Initialize(2, 1 + layout / 2, 1 + layout % 2));
    int data = target.AllocateData(21);
    for (int i = 0; i < 21; ++i) target.PatchByte(data + i, 0x40 + i);
    target.AllocateTable(7);
    for (int i = 0; i < 40; ++i) target.EmitInstruction(static_cast<Opcode>(i), i % 3);
    std::string path = source;
    ASSERT_TRUE(target.WriteHexFile(path));
    fs::path binary = folder / "image.bin";
    ASSERT_EQ(std::system(("objcopy -I ihex -O binary '" + path + "' '" + binary.string() + "'").c_str()), 0);
    int top = std::max(target.codeCursor, target.dataCursor);
    EXPECT_EQ(ReadFile(binary), std::string(target.image.begin(), target.image.begin() + top)) << layout;
  }
}

TEST_F(HexWriter, ReaderLoadsTheWholeSixtyFourKilobytes) {
  CTarget target;
  ASSERT_TRUE(target.Initialize(64, 2, 2));
  // Data up to where the jump and the end instruction fill the last six bytes.
  ASSERT_EQ(target.AllocateData(0x10000 - 0x260 - 6), 0x260);
  for (int i = 0; i < 300; ++i) target.PatchByte(0xfeb0 + i % 80, i);
  target.EmitInstruction(OP_JUMP, 2);
  target.EmitWord(0xfff0);
  std::string path = source;
  ASSERT_TRUE(target.WriteHexFile(path));
  EXPECT_EQ(target.AllocateCode(0), 0x10000);

  std::vector<uint8_t> loaded(target.image.size(), 0);
  CIntellecFile file;
  int lines = 0;
  for (bool ok = file.Open(path); ok; ok = file.ReadRecord(), ++lines) {
    for (int i = 0; i < file.count; ++i) loaded.at(file.address - 0x60 + i) = file.data[static_cast<size_t>(i)];
  }
  EXPECT_EQ(file.stopped, 1);
  EXPECT_EQ(loaded, target.image);
  EXPECT_EQ(lines, 2 + (0x10000 - 0x260) / 16);
}

TEST_F(HexWriter, HexNameReplacesTheLastExtension) {
  fs::create_directories(folder / "dir.v2");
  const std::pair<const char*, const char*> cases[] = {
      {"prog.tvr", "prog.hex"}, {"prog", "prog.hex"}, {"a.b.tvr", "a.b.hex"}, {"dir.v2/prog", "dir.hex"}};
  mode_t mask = ::umask(022);
  for (auto [name, expected] : cases) {
    CTarget target;
    ASSERT_TRUE(target.Initialize(0, 1, 1));
    std::string path = (folder / name).string();
    ASSERT_TRUE(target.WriteHexFile(path));
    EXPECT_EQ(path, (folder / expected).string());
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
  }
  ::umask(mask);
}

TEST_F(HexWriter, FailuresKeepThePreviousFile) {
  // The folder does not exist: the specified message, and no end instruction appended.
  CTarget target;
  ASSERT_TRUE(target.Initialize(8, 1, 1));
  std::string path = (folder / "missing" / "prog.tvr").string();
  EXPECT_FALSE(target.WriteHexFile(path));
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "Can not open output hex file '" + (folder / "missing" / "prog.hex").string() + "'");
  EXPECT_EQ(target.codeCursor, 30);

  // A folder where the hex file should go: the same message, and the folder stays.
  std::filesystem::create_directory(folder / "taken.hex");
  path = (folder / "taken.tvr").string();
  EXPECT_FALSE(target.WriteHexFile(path));
  ASSERT_EQ(ui.messages.size(), 2u);
  EXPECT_EQ(ui.messages[1].text, "Can not open output hex file '" + (folder / "taken.hex").string() + "'");
  EXPECT_TRUE(std::filesystem::is_directory(folder / "taken.hex"));
  std::filesystem::remove(folder / "taken.hex");

  std::ofstream(hex) << "previous build";
  // No room for the end instruction (code external without external RAM).
  CTarget noRoom;
  ASSERT_TRUE(noRoom.Initialize(0, 2, 1));
  path = source;
  EXPECT_FALSE(noRoom.WriteHexFile(path));
  EXPECT_FALSE(noRoom.errorText.empty());

  // A full disk, simulated by a file-size limit.
  target.AllocateCode(2000);
  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto handler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 1000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  path = source;
  bool written = target.WriteHexFile(path);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, handler);
  EXPECT_FALSE(written);
  EXPECT_EQ(target.errorText, "Can not write output hex file '" + hex.string() + "': File too large");
  EXPECT_EQ(ui.messages.back().text, target.errorText);

  EXPECT_EQ(ReadFile(hex), "previous build");
  EXPECT_EQ(FilesInFolder(), 1);
}

}  // namespace

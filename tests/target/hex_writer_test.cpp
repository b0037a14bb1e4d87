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

#include "platform/recording_interface.h"
#include "target/intellec_file.h"
#include "target/target.h"

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class HexWriter : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() / ("tovrin-hex-" + std::to_string(::getpid()) + "-" +
                                          ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(folder);
  }
  void TearDown() override { fs::remove_all(folder); }

  // Writes the target's hex file for a source named prog.tvr; returns the text.
  std::string Write(CTarget& target) {
    std::string path = (folder / "prog.tvr").string();
    EXPECT_TRUE(target.WriteHexFile(path)) << target.errorText;
    EXPECT_EQ(path, (folder / "prog.hex").string());
    return ReadFile(path);
  }

  int FilesInFolder() const {
    return static_cast<int>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
  }

  fs::path folder;
  CRecordingInterface ui;
};

TEST_F(HexWriter, EmptyOnChipProgramIsTwoLines) {
  CTarget target;
  ASSERT_TRUE(target.Initialize(0, 1, 1));
  EXPECT_EQ(Write(target),
            ":100060007e00000000000000000000000000000012\n"
            ":1000700000000000000000000000000000008a00f6\n"
            ":00000001FF");
  EXPECT_EQ(target.codeStart, 0x7e);
  EXPECT_EQ(target.GetWord(0), 0x7e);
  EXPECT_EQ(target.GetWord(2), 0);
}

TEST_F(HexWriter, CodeOnChipDataExternalSkipsTheGap) {
  CTarget target;
  ASSERT_TRUE(target.Initialize(1, 1, 2));
  int data = target.AllocateData(2);
  ASSERT_EQ(data, 0x260);
  target.PatchByte(data, 0xaa);
  target.PatchByte(data + 1, 0xbb);
  target.EmitInstruction(OP_PUSH_BYTE, 1);
  target.EmitByte(5);
  EXPECT_EQ(Write(target),
            ":100060007e00000000000000000000000000000012\n"
            ":100070000000000000000000000000000000090176\n"
            ":10008000058a0000000000000000000000000000e1\n"
            ":02026000aabb37\n"
            ":00000001FF");
}

TEST_F(HexWriter, DataOnChipCodeExternalSkipsTheGap) {
  CTarget target;
  ASSERT_TRUE(target.Initialize(1, 2, 1));
  int data = target.AllocateData(3);
  target.PatchByte(data, 0x11);
  target.PatchByte(data + 1, 0x22);
  target.PatchByte(data + 2, 0x33);
  int table = target.AllocateTable(3);
  ASSERT_EQ(table, 0x260);
  for (int i = 0; i < 3; ++i) target.PatchByte(table + i, i + 1);
  EXPECT_EQ(Write(target),
            ":10006000630200000000000000000000000000002b\n"
            ":10007000000000000000000000000000000011224d\n"
            ":10008000330000000000000000000000000000003d\n"
            ":050260000102038a0009\n"
            ":00000001FF");
}

TEST_F(HexWriter, BothExternalSkipUnusedOnChipMemory) {
  CTarget target;
  ASSERT_TRUE(target.Initialize(1, 2, 2));
  int data = target.AllocateData(2);
  target.PatchByte(data, 0xaa);
  target.PatchByte(data + 1, 0xbb);
  target.startAddress = target.EmitInstruction(OP_PUSH_BYTE, 1);
  target.EmitByte(7);
  EXPECT_EQ(Write(target),
            ":1000600062026202000000000000000000000000c8\n"
            ":100070000000000000000000000000000000000080\n"
            ":07026000aabb0901078a0097\n"
            ":00000001FF");
}

// A standard tool loads our file into the same image.
TEST_F(HexWriter, ObjcopyAgreesWithTheImage) {
  if (std::system("objcopy --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "objcopy not installed";
  struct Layout {
    int kb, code, data;
  } layouts[] = {{0, 1, 1}, {2, 1, 2}, {2, 2, 1}, {2, 2, 2}};
  for (const Layout& layout : layouts) {
    CTarget target;
    ASSERT_TRUE(target.Initialize(layout.kb, layout.code, layout.data));
    int data = target.AllocateData(21);
    for (int i = 0; i < 21; ++i) target.PatchByte(data + i, 0x40 + i);
    target.AllocateTable(7);
    for (int i = 0; i < 40; ++i) target.EmitInstruction(static_cast<Opcode>(i % kOpcodeCount), i % 3);
    std::string hex = (folder / "image.tvr").string();
    ASSERT_TRUE(target.WriteHexFile(hex));
    fs::path binary = folder / "image.bin";
    std::string command = "objcopy -I ihex -O binary '" + hex + "' '" + binary.string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    int top = std::max(target.codeCursor, target.dataCursor);
    std::string expected(target.image.begin(), target.image.begin() + top);
    EXPECT_EQ(ReadFile(binary), expected) << layout.code << "/" << layout.data;
  }
}

TEST_F(HexWriter, ReaderRoundTripAtTheTopOfSixtyFourKilobytes) {
  CTarget target;
  ASSERT_TRUE(target.Initialize(64, 2, 2));
  // Data up to where the jump and the end instruction fill the last six bytes.
  int data = target.AllocateData(0x10000 - 0x260 - 6);
  ASSERT_EQ(data, 0x260);
  for (int i = 0; i < 300; ++i) target.PatchByte(0xfeb0 + i % 80, i);
  target.EmitInstruction(OP_JUMP, 2);
  target.EmitWord(0xfff0);
  std::string path = (folder / "big").string();
  ASSERT_TRUE(target.WriteHexFile(path));
  EXPECT_EQ(path, (folder / "big.hex").string());

  std::vector<uint8_t> loaded(target.image.size(), 0);
  CIntellecFile file;
  int lines = 0;
  for (bool ok = file.Open(path); ok; ok = file.ReadRecord()) {
    ASSERT_GE(file.address, 0x60);
    for (int i = 0; i < file.count; ++i) loaded[static_cast<size_t>(file.address - 0x60 + i)] = file.data[static_cast<size_t>(i)];
    ++lines;
  }
  EXPECT_EQ(file.stopped, 1);
  EXPECT_EQ(loaded, target.image);
  EXPECT_EQ(target.AllocateCode(0), 0x10000);
  // Two header lines, then every line from 0x260 up to the last byte 0xffff.
  EXPECT_EQ(lines, 2 + (0x10000 - 0x260) / 16);
  EXPECT_EQ(file.address, 0xfff0);
}

TEST_F(HexWriter, HexNameReplacesTheLastExtension) {
  struct Case {
    const char* source;
    const char* hex;
  } cases[] = {
      {"prog.tvr", "prog.hex"},
      {"prog", "prog.hex"},
      {"a.b.tvr", "a.b.hex"},
      {"dir.v2/prog", "dir.hex"},
  };
  fs::create_directories(folder / "dir.v2");
  for (const Case& c : cases) {
    CTarget target;
    ASSERT_TRUE(target.Initialize(0, 1, 1));
    std::string path = (folder / c.source).string();
    ASSERT_TRUE(target.WriteHexFile(path));
    EXPECT_EQ(path, (folder / c.hex).string());
    EXPECT_TRUE(fs::exists(path));
  }
}

TEST_F(HexWriter, WrittenFileHasOrdinaryPermissionsAndNoLeftovers) {
  mode_t old = ::umask(022);
  CTarget target;
  ASSERT_TRUE(target.Initialize(0, 1, 1));
  Write(target);
  ::umask(old);
  struct stat info {};
  ASSERT_EQ(::stat((folder / "prog.hex").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
  EXPECT_EQ(FilesInFolder(), 1);
}

TEST_F(HexWriter, OutputThatCannotBeCreated) {
  CTarget target;
  ASSERT_TRUE(target.Initialize(0, 1, 1));
  std::string path = (folder / "missing" / "prog.tvr").string();
  EXPECT_FALSE(target.WriteHexFile(path));
  std::string hex = (folder / "missing" / "prog.hex").string();
  EXPECT_EQ(path, hex);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, "Can not open output hex file '" + hex + "'");
  EXPECT_EQ(ui.messages[0].caption, "");
  // Nothing was appended: the end instruction comes only with a file to write.
  EXPECT_EQ(target.codeCursor, 30);
}

TEST_F(HexWriter, EndInstructionWithoutRoomFailsAndWritesNothing) {
  fs::path old = folder / "prog.hex";
  std::ofstream(old) << "previous build";
  CTarget target;
  ASSERT_TRUE(target.Initialize(0, 2, 1));  // code external without external RAM
  std::string path = (folder / "prog.tvr").string();
  EXPECT_FALSE(target.WriteHexFile(path));
  EXPECT_FALSE(target.errorText.empty());
  EXPECT_EQ(ReadFile(old), "previous build");
  EXPECT_EQ(FilesInFolder(), 1);
}

// A full disk (here: a file-size limit) fails the build and keeps the last good file.
TEST_F(HexWriter, WriteErrorKeepsThePreviousFile) {
  fs::path old = folder / "prog.hex";
  std::ofstream(old) << "previous build";
  CTarget target;
  ASSERT_TRUE(target.Initialize(8, 1, 1));
  target.AllocateCode(2000);

  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 1000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  std::string path = (folder / "prog.tvr").string();
  bool written = target.WriteHexFile(path);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);

  EXPECT_FALSE(written);
  std::string expected = "Can not write output hex file '" + old.string() + "': File too large";
  EXPECT_EQ(target.errorText, expected);
  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_EQ(ui.messages[0].text, expected);
  EXPECT_EQ(ReadFile(old), "previous build");
  EXPECT_EQ(FilesInFolder(), 1);
}

}  // namespace

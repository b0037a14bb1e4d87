// The serial port over real pseudo-terminals: reads with late and missing bytes, the ring
// buffer, raw byte transport, opening failures and the stored line settings.
#include "download/serial.h"

#include <sys/ioctl.h>

#include <thread>

#include "download_fixture.h"
#include "platform/recording_interface.h"

namespace {

using namespace testing_download;
using Clock = std::chrono::steady_clock;

class SerialTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(pty.device.empty());
    serial.portName = pty.device;
    ASSERT_TRUE(serial.SetBufferSize(1024));
    serial.timeout = 1000;
    ASSERT_TRUE(serial.Open());
  }

  TempFolder folder;
  CRecordingInterface ui;
  RawPty pty;
  CSerial serial;
};

TEST_F(SerialTest, ReadCollectsBytesThatArriveLate) {
  pty.Send({1, 2, 3});
  std::thread late([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    pty.Send({4, 5, 6, 7});
  });
  uint8_t got[7] = {};
  const auto start = Clock::now();
  const bool ok = serial.Read(got, 7);
  const double elapsed = MillisecondsSince(start);
  late.join();
  ASSERT_TRUE(ok);
  EXPECT_GE(elapsed, 190.0);
  EXPECT_EQ(std::vector<uint8_t>(got, got + 7), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(serial.Unread(), 0);
}

TEST_F(SerialTest, SilentReadGivesUpAfterItsAttemptsAndKeepsTheLateByte) {
  uint8_t byte = 0;
  auto start = Clock::now();
  EXPECT_FALSE(serial.Read(&byte, 1));
  // 1000 / 100 + 1 = 11 attempts of one 50 ms read time-out each.
  EXPECT_GE(MillisecondsSince(start), 11 * kReadCallTimeoutMs - 10.0);

  // A short read leaves its bytes for the next read.
  pty.Send({0x41});
  EXPECT_FALSE(serial.Read(&byte, 2));
  pty.Send({0x42});
  uint8_t two[2] = {};
  ASSERT_TRUE(serial.Read(two, 2));
  EXPECT_EQ(two[0], 0x41);
  EXPECT_EQ(two[1], 0x42);

  // The budget sets the attempts: 250 ms gives 3.
  serial.timeout = 250;
  start = Clock::now();
  EXPECT_FALSE(serial.Read(&byte, 1));
  EXPECT_GE(MillisecondsSince(start), 3 * kReadCallTimeoutMs - 10.0);
  serial.timeout = 0;
  pty.Send({0x43});
  ASSERT_TRUE(serial.Read(&byte, 1));
  EXPECT_EQ(byte, 0x43);
}

TEST_F(SerialTest, FullRingBufferKeepsTheNewestBytes) {
  ASSERT_TRUE(serial.SetBufferSize(8));
  serial.timeout = 0;
  std::vector<uint8_t> sent;
  for (uint8_t i = 0; i < 20; ++i) sent.push_back(i);
  pty.Send(sent);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  serial.Pump();
  EXPECT_EQ(serial.Unread(), 7);
  uint8_t got[7] = {};
  ASSERT_TRUE(serial.Read(got, 7));
  EXPECT_EQ(std::vector<uint8_t>(got, got + 7), (std::vector<uint8_t>{13, 14, 15, 16, 17, 18, 19}));
  uint8_t more = 0;
  EXPECT_FALSE(serial.Read(&more, 1));
  // A request larger than the buffer can hold fails instead of handing out garbage.
  pty.Send(sent);
  uint8_t tooMany[9] = {};
  EXPECT_FALSE(serial.Read(tooMany, 9));
}

TEST_F(SerialTest, EveryByteValuePassesUnchangedBothWays) {
  std::vector<uint8_t> all;
  for (int i = 0; i < 256; ++i) all.push_back(static_cast<uint8_t>(i));
  for (uint8_t byte : all) ASSERT_TRUE(serial.Write(&byte, 1));
  std::vector<uint8_t> arrived;
  for (int i = 0; i < 20 && arrived.size() < all.size(); ++i) {
    std::vector<uint8_t> more = pty.Receive();
    arrived.insert(arrived.end(), more.begin(), more.end());
  }
  EXPECT_EQ(arrived, all);

  pty.Send(all);
  std::vector<uint8_t> got(all.size());
  ASSERT_TRUE(serial.Read(got.data(), static_cast<int>(got.size())));
  EXPECT_EQ(got, all);
  // Nothing was echoed back to the programmer's side.
  EXPECT_TRUE(pty.Receive(60).empty());
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(SerialTest, OpenFailuresShowTheSystemText) {
  CSerial second;
  second.portName = pty.device;
  EXPECT_FALSE(second.Open());  // ours is open
  second.portName = folder.File("no-such-device");
  EXPECT_FALSE(second.Open());
  second.portName = "/dev/null";
  EXPECT_FALSE(second.Open());
  ASSERT_EQ(ui.messages.size(), 3u);
  EXPECT_EQ(ui.messages[0].text, "Device or resource busy");
  EXPECT_EQ(ui.messages[1].text, "No such file or directory");
  EXPECT_EQ(ui.messages[2].text, "Inappropriate ioctl for device");
  for (const auto& message : ui.messages) {
    EXPECT_EQ(message.caption, "");
    EXPECT_EQ(message.icon, MessageIcon::Information);
  }

  // Closing twice is harmless, and the port can be had again afterwards.
  EXPECT_TRUE(serial.Close());
  EXPECT_TRUE(serial.Close());
  uint8_t byte = 1;
  EXPECT_FALSE(serial.Write(&byte, 1));
  EXPECT_EQ(ui.messages.back().text, "Bad file descriptor");
  second.portName = pty.device;
  EXPECT_TRUE(second.Open());
  EXPECT_TRUE(second.Write(&byte, 1));
  EXPECT_EQ(pty.Receive(), std::vector<uint8_t>{1});
}

TEST_F(SerialTest, OpenAppliesTheStoredLineSettingsOfComPorts) {
  serial.Close();
  struct Case {
    CPortSettings settings;
    speed_t speed;
    tcflag_t size;
  };
  std::vector<Case> cases = {
      {{pty.device, 9600, 7, Parity::Even, 2, FlowControl::None}, B9600, CS7},
      {{pty.device, 115200, 5, Parity::Odd, 1, FlowControl::Hardware}, B115200, CS5},
      {{pty.device, 19200, 8, Parity::None, 1, FlowControl::Software}, B19200, CS8},
  };
  termios cooked{};
  ASSERT_EQ(::tcgetattr(pty.slave, &cooked), 0);
  cooked.c_lflag |= ICANON | ECHO | ISIG;
  cooked.c_iflag |= ICRNL | IXON;
  cooked.c_oflag |= OPOST | ONLCR;
  for (const Case& c : cases) {
    ASSERT_EQ(::tcsetattr(pty.slave, TCSANOW, &cooked), 0);
    ASSERT_TRUE(SavePortSettings("COM2", c.settings));
    serial.portName = "COM2";
    ASSERT_TRUE(serial.Open());
    // A pseudo-terminal forces 8 data bits without parity, so those are checked on the record
    // the port was given; the rest on the port itself.
    termios given{};
    ASSERT_TRUE(ApplyLineSettings(c.settings, given));
    EXPECT_EQ(given.c_cflag & CSIZE, c.size);
    EXPECT_EQ((given.c_cflag & PARENB) != 0, c.settings.parity != Parity::None);
    EXPECT_EQ((given.c_cflag & PARODD) != 0, c.settings.parity == Parity::Odd);
    EXPECT_EQ((given.c_cflag & CRTSCTS) != 0, c.settings.flow == FlowControl::Hardware);
    termios tio{};
    ASSERT_EQ(::tcgetattr(serial.handle, &tio), 0);
    EXPECT_EQ(cfgetospeed(&tio), c.speed);
    EXPECT_EQ(cfgetispeed(&tio), c.speed);
    EXPECT_EQ((tio.c_cflag & CSTOPB) != 0, c.settings.stopBits == 2);
    EXPECT_EQ((tio.c_iflag & IXON) != 0, c.settings.flow == FlowControl::Software);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(tio.c_iflag & (ICRNL | INLCR | IGNCR), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    serial.Close();
  }
  EXPECT_TRUE(ui.messages.empty());
}

}  // namespace

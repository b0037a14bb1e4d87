// What COM1 .. COM4 stand for: defaults, the stored settings, damaged values, and editing them.
#include "download/port_settings.h"

#include "download/serial.h"
#include "download_fixture.h"
#include "platform/settings_file.h"

namespace {

using testing_download::TempFolder;

TEST(PortSettings, NamesAndDefaults) {
  EXPECT_EQ(ComPortNumber("COM1"), 1);
  EXPECT_EQ(ComPortNumber("COM4"), 4);
  for (const char* other : {"COM0", "COM5", "COM10", "com1", "COM", "", "/dev/ttyS0"})
    EXPECT_EQ(ComPortNumber(other), 0) << other;

  TempFolder folder;
  for (int n = 1; n <= 4; ++n) {
    const CPortSettings settings = LoadPortSettings(Format("COM%d", n));
    EXPECT_EQ(settings.device, Format("/dev/ttyS%d", n - 1));
    EXPECT_EQ(DescribePortSettings(settings), Format("/dev/ttyS%d 19200 8N1 flow none", n - 1));
  }
  // A path is used as it is, with the default line settings even when a COM port is stored.
  CPortSettings stored{"/dev/ttyUSB3", 9600, 7, Parity::Odd, 2, FlowControl::Hardware};
  ASSERT_TRUE(SavePortSettings("COM1", stored));
  EXPECT_EQ(DescribePortSettings(LoadPortSettings("/dev/ttyUSB0")), "/dev/ttyUSB0 19200 8N1 flow none");
  EXPECT_EQ(DescribePortSettings(LoadPortSettings("COM1")), "/dev/ttyUSB3 9600 7O2 flow hardware");
  EXPECT_FALSE(SavePortSettings("/dev/ttyUSB0", stored));
}

TEST(PortSettings, StoredUnderThePortsKeyAndDamagedValuesKeepDefaults) {
  TempFolder folder;
  CPortSettings stored{"/dev/ttyACM0", 57600, 6, Parity::Even, 2, FlowControl::Software};
  ASSERT_TRUE(SavePortSettings("COM3", stored));
  CSettingsFile file;
  std::string text;
  ASSERT_TRUE(file.Read("SOFTWARE\\Halvery\\Tovrin\\Ports\\COM3", "Baud Rate", text));
  EXPECT_EQ(text, "57600");
  ASSERT_TRUE(file.Read("SOFTWARE\\Halvery\\Tovrin\\Ports\\COM3", "Parity", text));
  EXPECT_EQ(text, "even");
  EXPECT_EQ(DescribePortSettings(LoadPortSettings("COM3")), "/dev/ttyACM0 57600 6E2 flow software");
  EXPECT_EQ(LoadPortSettings("COM4").device, "/dev/ttyS3");

  const std::string key = PortSettingsKey("COM3");
  ASSERT_TRUE(file.Write(key, "Device", ""));
  ASSERT_TRUE(file.Write(key, "Baud Rate", "12345"));
  ASSERT_TRUE(file.Write(key, "Data Bits", "9"));
  ASSERT_TRUE(file.Write(key, "Parity", "mark"));
  ASSERT_TRUE(file.Write(key, "Stop Bits", "1.5"));
  ASSERT_TRUE(file.Write(key, "Flow Control", "-1"));
  EXPECT_EQ(DescribePortSettings(LoadPortSettings("COM3")), "/dev/ttyS2 19200 8N1 flow none");
  // Each damaged value is named with the value used instead; the empty device is no value.
  std::vector<std::string> notes;
  LoadPortSettings("COM3", &notes);
  ASSERT_EQ(notes.size(), 5u);
  EXPECT_EQ(notes[0], "setting \"Baud Rate\" of COM3 is \"12345\", not a speed this system supports; using 19200");
  EXPECT_EQ(notes[4], "setting \"Flow Control\" of COM3 is \"-1\", not none, hardware or software; using none");
}

TEST(PortSettings, PortNamesAsTyped) {
  const struct {
    const char* typed;
    const char* port;  // null: refused
  } cases[] = {
      {"COM1", "COM1"}, {"com4", "COM4"}, {"cOm2", "COM2"}, {"/dev/ttyUSB0", "/dev/ttyUSB0"},
      {"./pty", "./pty"}, {"COM5", nullptr}, {"COM0", nullptr}, {"com10", nullptr}, {"usb0", nullptr},
      {"", nullptr}, {"COM", nullptr},
  };
  for (const auto& c : cases) {
    std::string port = "unchanged", error;
    EXPECT_EQ(ParsePortName(c.typed, port, error), c.port != nullptr) << c.typed;
    if (c.port) {
      EXPECT_EQ(port, c.port);
    } else {
      EXPECT_EQ(port, "unchanged");
      EXPECT_NE(error.find(Format("'%s' is no port: give COM1, COM2, COM3 or COM4", c.typed)), std::string::npos)
          << error;
    }
  }
  std::string port, error;
  EXPECT_FALSE(ParsePortName("null", port, error));
  EXPECT_NE(error.find("did you mean /dev/null?"), std::string::npos) << error;
}

TEST(PortSettings, ConfigureSavesOnlyWhatTheEditorAccepts) {
  TempFolder folder;
  CSerial serial;
  EXPECT_FALSE(serial.Configure("COM2", [](CPortSettings& s) {
    s.baud = 9600;
    return false;  // cancelled
  }));
  EXPECT_EQ(LoadPortSettings("COM2").baud, 19200);
  EXPECT_FALSE(serial.Configure("COM2", [](CPortSettings& s) {
    s.baud = 12345;  // no such speed
    return true;
  }));
  EXPECT_EQ(LoadPortSettings("COM2").baud, 19200);
  EXPECT_TRUE(serial.Configure("COM2", [](CPortSettings& s) {
    EXPECT_EQ(s.device, "/dev/ttyS1");  // the editor starts from what is stored
    s.device = "/dev/ttyUSB1";
    s.baud = 38400;
    return true;
  }));
  EXPECT_EQ(serial.portName, "COM2");
  EXPECT_EQ(DescribePortSettings(LoadPortSettings("COM2")), "/dev/ttyUSB1 38400 8N1 flow none");
  EXPECT_EQ(LoadPortSettings("COM1").device, "/dev/ttyS0");
}

}  // namespace

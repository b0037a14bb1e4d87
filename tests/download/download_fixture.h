// Shared helpers of the download tests: a private folder and settings file, hex files made from
// records, a raw pseudo-terminal, and the emulated programmer running beside the test.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "download/programmer_emulator.h"
#include "platform/format.h"
#include "tests/support/hex_record.h"

namespace testing_download {

using ::Record;

// A fresh folder, removed with everything in it; the settings file lives inside it.
class TempFolder {
 public:
  TempFolder() {
    char pattern[] = "/tmp/tovrin-download-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    path = made ? made : "/tmp";
    previousSettings = std::getenv("TOVRIN_SETTINGS") ? std::getenv("TOVRIN_SETTINGS") : "";
    ::setenv("TOVRIN_SETTINGS", File("Tovrin.reg").c_str(), 1);
  }
  ~TempFolder() {
    if (previousSettings.empty())
      ::unsetenv("TOVRIN_SETTINGS");
    else
      ::setenv("TOVRIN_SETTINGS", previousSettings.c_str(), 1);
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  std::string File(const std::string& name) const { return path + "/" + name; }
  std::string Write(const std::string& name, const std::string& text) const {
    std::ofstream(File(name), std::ios::binary) << text;
    return File(name);
  }

  std::string path;

 private:
  std::string previousSettings;
};

inline const char* kEndRecord = ":00000001ff";

// A pseudo-terminal whose far end the test drives by hand. The tty keeps the system's default
// cooked modes (echo, line editing, CR/LF translation), so whoever opens it must set its own.
class RawPty {
 public:
  RawPty() {
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return;
    char name[128] = {};
    if (::ptsname_r(master, name, sizeof name) == 0) device = name;
    // Held open so the tty outlives the serial port's own opens and closes.
    slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  }
  ~RawPty() {
    if (slave >= 0) ::close(slave);
    if (master >= 0) ::close(master);
  }
  void Send(const std::vector<uint8_t>& bytes) const {
    ASSERT_EQ(::write(master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // Whatever arrives within the wait.
  std::vector<uint8_t> Receive(int waitMs = 100) const {
    std::vector<uint8_t> bytes;
    pollfd entry{master, POLLIN, 0};
    while (::poll(&entry, 1, waitMs) > 0) {
      uint8_t chunk[256];
      ssize_t got = ::read(master, chunk, sizeof chunk);
      if (got <= 0) break;
      bytes.insert(bytes.end(), chunk, chunk + got);
      waitMs = 20;
    }
    return bytes;
  }

  int master = -1;
  int slave = -1;
  std::string device;
};

// The emulated programmer serving on its own thread for the length of a test.
class EmulatorTest : public ::testing::Test {
 protected:
  void StartEmulator() {
    std::string errorText;
    ASSERT_TRUE(emulator.Open(errorText)) << errorText;
    ASSERT_TRUE(emulator.Start());
  }
  void TearDown() override { emulator.Stop(); }

  TempFolder folder;
  CEmulatedProgrammer emulator;
};

inline double MillisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace testing_download

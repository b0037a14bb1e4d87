// The programmer's host side against a programmer that answers anything: connection, SRAM and
// Flash downloads over a real pseudo-terminal, whatever bytes come back and whenever they stop.
//
// Input: one byte choosing the work (bits 0-1: connect only, SRAM, Flash, both; bits 2-3: one of
// four small hex files), then the peer's script: for each byte the host sends, one byte n and
// then n % 8 bytes of answer. When the script runs out the peer hangs up, so every input ends
// quickly; a read that finds no answer still waits one read time-out of the port.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <thread>

#include "download/programmer.h"
#include "image/hex_record.h"
#include "platform/format.h"
#include "platform/recording_interface.h"
#include "support.h"

namespace {

// The SRAM download paces every byte by 10 ms or more; the peer answers at once, so the waits
// are skipped on the fuzzing thread (the fuzzer's own threads still sleep for real).
thread_local bool skipSleeps = false;

void Require(bool condition, const char* what, const std::string& detail = std::string()) {
  if (condition) return;
  std::fprintf(stderr, "programmer: %s %s\n", what, detail.c_str());
  std::abort();
}

std::string Record(unsigned address, const std::string& bytes) {
  return HexRecord(address, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

// The four hex files an input may send: two plain records; a one-byte record (its block gets a
// filler) before a full line; an odd length at an odd address; a good record, then damage.
const std::string& HexFile(int choice) {
  static const std::string files[4] = {
      fuzz::WriteFile("a.hex", Record(0x60, "\x01\x02\x03\x04") + Record(0x64, "\x10\x20") + ":00000001ff\n"),
      fuzz::WriteFile("b.hex", Record(0x261, "\x7f") + Record(0x262, std::string(16, '\x55')) + ":00000001ff\n"),
      fuzz::WriteFile("c.hex", Record(0x101, "\xaa\xbb\xcc") + ":00000001ff\n"),
      fuzz::WriteFile("d.hex", Record(0x60, "\x01\x02") + ":02zz\n"),
  };
  return files[choice & 3];
}

// A pseudo-terminal whose master end plays the programmer on a thread of its own.
class CPeer {
 public:
  CPeer(const uint8_t* script, size_t size) : script(script), size(size) {
    master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    Require(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0, "no pseudo-terminal");
    device = ::ptsname(master);
    // Held open so the master sees no hang-up before the host opens the device.
    slave = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    Require(slave >= 0 && ::pipe2(stopPipe, O_CLOEXEC) == 0, "no device or pipe");
    server = std::thread([this] { Serve(); });
  }
  ~CPeer() {
    const char stop = 0;
    if (::write(stopPipe[1], &stop, 1) != 1) std::abort();
    server.join();
    if (master >= 0) ::close(master);
    ::close(slave);
    ::close(stopPipe[0]);
    ::close(stopPipe[1]);
  }

  std::string device;

 private:
  void Serve() {
    for (;;) {
      pollfd fds[2] = {{master, POLLIN, 0}, {stopPipe[0], POLLIN, 0}};
      if (::poll(fds, 2, -1) < 0 && errno != EINTR) return;
      if (fds[1].revents) return;
      if (!(fds[0].revents & POLLIN)) continue;
      uint8_t received[256];
      const ssize_t got = ::read(master, received, sizeof received);
      for (ssize_t i = 0; i < got; ++i) {
        if (!Answer()) {
          // Hang up: the host's reads and writes fail at once from now on.
          ::close(master);
          master = -1;
          return;
        }
      }
    }
  }

  // Sends the answer to one byte from the host; false when the script has run out.
  bool Answer() {
    if (position >= size) return false;
    size_t n = script[position++] % 8;
    if (n > size - position) n = size - position;
    if (n > 0 && ::write(master, script + position, n) != static_cast<ssize_t>(n)) return false;
    position += n;
    return true;
  }

  const uint8_t* script;
  size_t size;
  size_t position = 0;
  int master = -1;
  int slave = -1;
  int stopPipe[2] = {-1, -1};
  std::thread server;
};

void CheckTransfer(bool sent, const CProgrammer& programmer, const CRecordingInterface& ui) {
  Require(!ui.statusOpen, "the status window stayed open");
  Require(programmer.pacingDelay >= kMinPacingDelayMs && programmer.pacingDelay <= kMaxPacingDelayMs,
          "pacing delay out of bounds");
  if (!sent) Require(!programmer.errorText.empty(), "a failed transfer without a message");
  Require(programmer.hexFile.handle < 0, "the hex file stayed open");
}

}  // namespace

extern "C" int nanosleep(const timespec* request, timespec* remaining) {
  if (skipSleeps) return 0;
  const int failure = ::clock_nanosleep(CLOCK_REALTIME, 0, request, remaining);
  if (failure == 0) return 0;
  errno = failure;
  return -1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > 512) return 0;
  const int work = data[0] & 3;
  const std::string& hexPath = HexFile(data[0] >> 2);
  CPeer peer(data + 1, size - 1);
  CRecordingInterface ui;
  CProgrammer programmer;
  programmer.Setup();
  programmer.port.timeout = 0;  // one read time-out per missing answer, not a whole second
  skipSleeps = true;

  // FUZZ_VERBOSE=1 tells how far each input got (for reading a reproducer).
  static const bool verbose = std::getenv("FUZZ_VERBOSE") != nullptr;
  const bool connected = programmer.Connect(peer.device);
  Require(connected || !programmer.errorText.empty(), "a failed connection without a message");
  Require(programmer.programmerId.size() <= 7, "identification longer than 7 characters", programmer.programmerId);
  if (verbose) std::fprintf(stderr, "connect: %d %s\n", connected, programmer.errorText.c_str());
  if (connected && (work & 1)) {
    const bool sent = programmer.DownloadSram(hexPath, "a.hex");
    if (verbose) std::fprintf(stderr, "sram: %d %s\n", sent, programmer.errorText.c_str());
    CheckTransfer(sent, programmer, ui);
  }
  if (connected && (work & 2)) {
    const bool sent = programmer.DownloadFlash(hexPath, "a.hex");
    if (verbose) std::fprintf(stderr, "flash: %d %s\n", sent, programmer.errorText.c_str());
    CheckTransfer(sent, programmer, ui);
  }
  programmer.Disconnect();
  Require(!programmer.port.IsOpen(), "the port stayed open");

  skipSleeps = false;
  return 0;
}

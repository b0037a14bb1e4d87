// An emulated device programmer on a pseudo-terminal: answers the programmer's command set, keeps
// what it was sent, records the exchange and injects faults on request. It lets a download run
// without hardware and lets the tests drive the real serial code over a real tty.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct CEmulatorIdentity {
  std::string id = "TOVEMU1";           // 7 characters, sent for "I"
  uint8_t softwareVersion[2] = {1, 10};  // major, hundredths
  uint8_t hardwareVersion[2] = {2, 0};
  uint8_t type = 'F';                    // the answer to "y"
};

struct CEmulatorFaults {
  bool silent = false;       // answers nothing at all
  int garbledSyncs = 0;      // the first N synchronise answers are garbage
  int wrongSums = 0;         // the next N SRAM block sums are wrong (nothing stored)
  long refusedWord = -1;     // the Flash word address whose write is refused
  char dropReplyTo = 0;      // the command letter whose answer is left out ...
  int dropReplies = 0;       // ... this many times
  int replyDelayMs = 0;      // slow replies: the wait before each answer
  long vanishAfter = -1;     // after this many bytes from the host the line goes (unplugged)
};

class CEmulatedProgrammer {
 public:
  // One byte of the exchange as the programmer saw it.
  struct Event {
    bool fromHost;
    uint8_t byte;
    std::chrono::steady_clock::time_point time;
  };

  CEmulatedProgrammer() = default;
  ~CEmulatedProgrammer();
  CEmulatedProgrammer(const CEmulatedProgrammer&) = delete;
  CEmulatedProgrammer& operator=(const CEmulatedProgrammer&) = delete;

  // Creates the pseudo-terminal; false with errorText when the system refuses.
  bool Open(std::string& errorText);
  // The device a host opens, e.g. "/dev/pts/3".
  const std::string& DevicePath() const { return devicePath; }
  // Serves on a thread of its own until Stop (or destruction).
  bool Start();
  void Stop();
  // Serves on the calling thread until stopFd becomes readable or the programmer vanishes.
  void Serve(int stopFd);
  // True once the vanish fault closed the line.
  bool Vanished() const;

  // Takes one byte from the host; appends the answer, if any, to reply.
  void Receive(uint8_t byte, std::vector<uint8_t>& reply);

  // Identity and faults: set before serving starts; SetFaults changes them while serving.
  CEmulatorIdentity identity;
  CEmulatorFaults faults;
  void SetFaults(const CEmulatorFaults& changed);

  // What was received, safe to call while serving.
  std::vector<Event> Events() const;
  // The exchange as text: one line per run of bytes in one direction, "> 58 01" from the host,
  // "< 01" from the programmer.
  std::string Transcript() const;
  void ClearTranscript();
  std::map<unsigned, uint16_t> FlashWords() const;  // word address -> word
  std::map<unsigned, uint8_t> SramBytes() const;    // byte address -> byte
  // Both memories as Intel HEX text (Flash at byte addresses, low byte first).
  std::string FlashHex() const;
  std::string SramHex() const;

 private:
  void Answer(std::vector<uint8_t>& reply, std::initializer_list<uint8_t> bytes);
  void Execute(std::vector<uint8_t>& reply);
  bool WaitOrStop(int stopFd, int milliseconds) const;
  bool WriteReply(const std::vector<uint8_t>& reply, int stopFd);
  // Counts a byte from the host; closes the line when the vanish fault says so.
  bool VanishNow();

  int master = -1;
  int slave = -1;  // held open so the tty keeps its settings between the host's opens
  std::string devicePath;
  std::thread server;
  int stopPipe[2] = {-1, -1};

  mutable std::mutex lock;
  std::vector<Event> events;
  std::map<unsigned, uint16_t> flash;
  std::map<unsigned, uint8_t> sram;
  // The command being received: its letter, the bytes that followed, the bytes still due.
  uint8_t command = 0;
  std::vector<uint8_t> arguments;
  size_t due = 0;
  unsigned address = 0;
  bool programming = false;
  bool loading = false;
  long hostBytes = 0;     // bytes received while serving, for the vanish fault
  bool vanished = false;
};

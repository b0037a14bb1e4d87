#include "download/programmer_emulator.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "image/hex_record.h"
#include "platform/format.h"
#include "platform/system_error.h"

namespace {

constexpr uint8_t kAck = 0x01;
constexpr uint8_t kRefused = '?';
constexpr uint8_t kGarbage = 0x3F;
constexpr uint8_t kDeviceCode = 0x13;

// Bytes that follow each command letter (an SRAM block adds its count of data bytes).
size_t ArgumentCount(uint8_t letter) {
  switch (letter) {
    case 'X': case 'T': case 'l': case 'R': return 1;
    case 'A': case 'F': return 2;
    default: return 0;
  }
}

std::string HexLines(const std::map<unsigned, uint8_t>& bytes) {
  std::string text;
  auto flush = [&text](unsigned start, const std::vector<uint8_t>& line) {
    if (!line.empty()) AppendHexRecord(text, start, line.data(), line.size());
  };
  std::vector<uint8_t> line;
  unsigned start = 0;
  for (const auto& [at, byte] : bytes) {
    if (!line.empty() && (at != start + line.size() || line.size() == 16)) {
      flush(start, line);
      line.clear();
    }
    if (line.empty()) start = at;
    line.push_back(byte);
  }
  flush(start, line);
  return text + ":00000001ff";
}

}  // namespace

CEmulatedProgrammer::~CEmulatedProgrammer() {
  Stop();
  if (slave >= 0) ::close(slave);
  if (master >= 0) ::close(master);
}

bool CEmulatedProgrammer::Open(std::string& errorText) {
  master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
    errorText = SystemErrorText(errno);
    return false;
  }
  char name[128] = {};
  if (::ptsname_r(master, name, sizeof name) != 0) {
    errorText = SystemErrorText(errno);
    return false;
  }
  devicePath = name;
  slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios tio{};
  if (slave < 0 || ::tcgetattr(slave, &tio) != 0) {
    errorText = SystemErrorText(errno);
    return false;
  }
  // Raw from the start, so bytes written before the host sets its own modes pass unchanged.
  cfmakeraw(&tio);
  ::tcsetattr(slave, TCSANOW, &tio);
  ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
  return true;
}

bool CEmulatedProgrammer::Start() {
  if (master < 0 || server.joinable()) return false;
  if (::pipe2(stopPipe, O_CLOEXEC) != 0) return false;
  server = std::thread([this] { Serve(stopPipe[0]); });
  return true;
}

void CEmulatedProgrammer::Stop() {
  if (!server.joinable()) return;
  const char stop = 's';
  while (::write(stopPipe[1], &stop, 1) < 0 && errno == EINTR) {
  }
  server.join();
  ::close(stopPipe[0]);
  ::close(stopPipe[1]);
  stopPipe[0] = stopPipe[1] = -1;
}

bool CEmulatedProgrammer::WaitOrStop(int stopFd, int milliseconds) const {
  pollfd entry{stopFd, POLLIN, 0};
  int ready;
  while ((ready = ::poll(&entry, 1, milliseconds)) < 0 && errno == EINTR) {
  }
  return ready == 0;
}

void CEmulatedProgrammer::SetFaults(const CEmulatorFaults& changed) {
  std::lock_guard<std::mutex> guard(lock);
  faults = changed;
}

bool CEmulatedProgrammer::WriteReply(const std::vector<uint8_t>& reply, int stopFd) {
  int delay = 0;
  {
    std::lock_guard<std::mutex> guard(lock);
    delay = faults.replyDelayMs;
  }
  if (delay > 0 && !WaitOrStop(stopFd, delay)) return false;
  {
    // Recorded before it is sent: once the host has the answer, the transcript has it too.
    std::lock_guard<std::mutex> guard(lock);
    for (uint8_t byte : reply) events.push_back({false, byte, std::chrono::steady_clock::now()});
  }
  size_t done = 0;
  while (done < reply.size()) {
    ssize_t wrote = ::write(master, reply.data() + done, reply.size() - done);
    if (wrote > 0) {
      done += static_cast<size_t>(wrote);
      continue;
    }
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote < 0 && errno != EAGAIN) return true;  // nobody listens: the answer is lost
    pollfd entries[2] = {{master, POLLOUT, 0}, {stopFd, POLLIN, 0}};
    if (::poll(entries, 2, 100) > 0 && (entries[1].revents & POLLIN)) return false;
  }
  return true;
}

void CEmulatedProgrammer::Serve(int stopFd) {
  std::vector<uint8_t> reply;
  uint8_t chunk[256];
  for (;;) {
    pollfd entries[2] = {{master, POLLIN, 0}, {stopFd, POLLIN, 0}};
    if (::poll(entries, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (entries[1].revents & POLLIN) return;
    if (!(entries[0].revents & POLLIN)) {
      // Hung up with no host attached: wait for the next one without spinning.
      if (!WaitOrStop(stopFd, 10)) return;
      continue;
    }
    ssize_t got = ::read(master, chunk, sizeof chunk);
    if (got <= 0) continue;
    for (ssize_t i = 0; i < got; ++i) {
      reply.clear();
      Receive(chunk[i], reply);
      if (!reply.empty() && !WriteReply(reply, stopFd)) return;
      if (VanishNow()) return;
    }
  }
}

bool CEmulatedProgrammer::VanishNow() {
  std::lock_guard<std::mutex> guard(lock);
  ++hostBytes;
  if (faults.vanishAfter < 0 || hostBytes < faults.vanishAfter) return false;
  // As an adapter pulled from its socket: the device goes, and the host's next read or write
  // fails with an I/O error.
  if (slave >= 0) ::close(slave);
  ::close(master);
  slave = master = -1;
  vanished = true;
  return true;
}

bool CEmulatedProgrammer::Vanished() const {
  std::lock_guard<std::mutex> guard(lock);
  return vanished;
}

void CEmulatedProgrammer::Receive(uint8_t byte, std::vector<uint8_t>& reply) {
  std::lock_guard<std::mutex> guard(lock);
  events.push_back({true, byte, std::chrono::steady_clock::now()});
  if (command == 0) {
    command = byte;
    arguments.clear();
    due = ArgumentCount(byte);
  } else {
    arguments.push_back(byte);
    --due;
    if (command == 'R' && arguments.size() == 1) due = byte;
  }
  if (due == 0) {
    Execute(reply);
    command = 0;
  }
}

void CEmulatedProgrammer::Answer(std::vector<uint8_t>& reply, std::initializer_list<uint8_t> bytes) {
  if (faults.silent) return;
  if (faults.dropReplies > 0 && command == static_cast<uint8_t>(faults.dropReplyTo)) {
    --faults.dropReplies;
    return;
  }
  reply.insert(reply.end(), bytes);
}

void CEmulatedProgrammer::Execute(std::vector<uint8_t>& reply) {
  switch (command) {
    case 'X':
      if (arguments[0] == 0x01) {
        if (faults.garbledSyncs > 0) {
          --faults.garbledSyncs;
          Answer(reply, {kGarbage});
        } else {
          Answer(reply, {kAck});
        }
      } else if (arguments[0] == 0x08) {
        programming = loading = false;
        Answer(reply, {kAck});
      } else {
        Answer(reply, {kRefused});
      }
      return;
    case 'I': {
      std::string id = identity.id;
      id.resize(7, ' ');
      for (char c : id) Answer(reply, {static_cast<uint8_t>(c)});
      return;
    }
    case 'V':
      Answer(reply, {identity.softwareVersion[0], identity.softwareVersion[1]});
      return;
    case 'v':
      Answer(reply, {identity.hardwareVersion[0], identity.hardwareVersion[1]});
      return;
    case 'y':
      Answer(reply, {identity.type});
      return;
    case 'T':
      Answer(reply, {arguments[0] == kDeviceCode ? kAck : kRefused});
      return;
    case 'P':
      programming = true;
      Answer(reply, {kAck});
      return;
    case 'p':
      programming = false;
      Answer(reply, {kAck});
      return;
    case 'L':
      loading = true;
      Answer(reply, {kAck});
      return;
    case 'l':
      loading = false;
      Answer(reply, {kAck});
      return;
    case 'E':
      if (programming) flash.clear();
      Answer(reply, {programming ? kAck : kRefused});
      return;
    case 'A':
      address = static_cast<unsigned>(arguments[0]) << 8 | arguments[1];
      Answer(reply, {kAck});
      return;
    case 'F': {
      const bool refused = !programming || static_cast<long>(address) == faults.refusedWord;
      if (!refused) flash[address] = static_cast<uint16_t>(arguments[0] << 8 | arguments[1]);
      address = (address + 1) & 0xFFFF;
      Answer(reply, {refused ? kRefused : kAck});
      return;
    }
    case 'R': {
      uint8_t sum = 0;
      for (size_t i = 1; i < arguments.size(); ++i) sum = static_cast<uint8_t>(sum + arguments[i]);
      bool wrong = !loading;
      if (!wrong && faults.wrongSums > 0) {
        --faults.wrongSums;
        wrong = true;
      }
      if (!wrong)
        for (size_t i = 1; i < arguments.size(); ++i) sram[(address + i - 1) & 0xFFFF] = arguments[i];
      Answer(reply, {static_cast<uint8_t>(wrong ? ~sum : sum)});
      return;
    }
    default:
      Answer(reply, {kRefused});
      return;
  }
}

std::vector<CEmulatedProgrammer::Event> CEmulatedProgrammer::Events() const {
  std::lock_guard<std::mutex> guard(lock);
  return events;
}

std::string CEmulatedProgrammer::Transcript() const {
  std::lock_guard<std::mutex> guard(lock);
  std::string text;
  for (size_t i = 0; i < events.size(); ++i) {
    const bool newLine = i == 0 || events[i].fromHost != events[i - 1].fromHost;
    if (newLine) text += Format("%s%c", i == 0 ? "" : "\n", events[i].fromHost ? '>' : '<');
    text += Format(" %02X", events[i].byte);
  }
  return events.empty() ? text : text + "\n";
}

void CEmulatedProgrammer::ClearTranscript() {
  std::lock_guard<std::mutex> guard(lock);
  events.clear();
}

std::map<unsigned, uint16_t> CEmulatedProgrammer::FlashWords() const {
  std::lock_guard<std::mutex> guard(lock);
  return flash;
}

std::map<unsigned, uint8_t> CEmulatedProgrammer::SramBytes() const {
  std::lock_guard<std::mutex> guard(lock);
  return sram;
}

std::string CEmulatedProgrammer::FlashHex() const {
  std::map<unsigned, uint8_t> bytes;
  for (const auto& [word, value] : FlashWords()) {
    bytes[word * 2] = static_cast<uint8_t>(value & 0xFF);
    bytes[word * 2 + 1] = static_cast<uint8_t>(value >> 8);
  }
  return HexLines(bytes);
}

std::string CEmulatedProgrammer::SramHex() const { return HexLines(SramBytes()); }

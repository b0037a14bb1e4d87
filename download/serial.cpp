#include "download/serial.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <new>

#include "platform/system_error.h"
#include "platform/user_interface.h"

namespace {

using Clock = std::chrono::steady_clock;

// Errors after which a device never answers again: hang-up, I/O error, device removed.
bool MeansGone(int error) { return error == EIO || error == ENXIO || error == ENODEV || error == EPIPE; }

int MillisecondsLeft(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// Waits until fd is ready for events or the deadline passes; the revents seen (0 on time-out).
short WaitFor(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    pollfd entry{fd, events, 0};
    int ready = ::poll(&entry, 1, MillisecondsLeft(deadline));
    if (ready > 0) return entry.revents;
    if (ready == 0) return 0;
    if (errno != EINTR) return POLLERR;
  }
}

}  // namespace

CSerial::~CSerial() { Close(); }

bool CSerial::SetBufferSize(int n) {
  if (n <= 0) return false;
  std::unique_ptr<uint8_t[]> fresh(new (std::nothrow) uint8_t[static_cast<size_t>(n)]);
  if (!fresh) return false;
  buffer = std::move(fresh);
  bufferSize = n;
  readIndex = writeIndex = 0;
  return true;
}

bool CSerial::Configure(const std::string& name, const SettingsEditor& edit) {
  portName = name;
  config = LoadPortSettings(name);
  CPortSettings edited = config;
  settingsError.clear();
  if (!edit || !edit(edited)) return false;
  if (!SavePortSettings(name, edited, &settingsError)) return false;
  config = edited;
  return true;
}

bool CSerial::Open() {
  Close();
  lostError = 0;
  openError = 0;
  config = LoadPortSettings(portName);
  int fd = ::open(config.device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    openError = errno;
    if (showOpenFailure) ReportSystemError(openError);
    return false;
  }
  int failure = 0;
  termios tio{};
  if (!::isatty(fd)) {
    failure = ENOTTY;
  } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    // Another program of ours has the port; TIOCEXCL alone does not stop a privileged one.
    failure = EBUSY;
  } else if (::tcgetattr(fd, &tio) != 0) {
    failure = errno;
  } else if (!ApplyLineSettings(config, tio)) {
    failure = EINVAL;
  } else if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
    failure = errno;
  }
  if (failure) {
    ::close(fd);
    openError = failure;
    if (showOpenFailure) ReportSystemError(failure);
    return false;
  }
  ::ioctl(fd, TIOCEXCL);
  // Modem lines are a courtesy: pseudo-terminals refuse them and work without.
  int lines = TIOCM_DTR | TIOCM_RTS;
  ::ioctl(fd, TIOCMBIS, &lines);
  handle = fd;
  if (buffer) readIndex = writeIndex = 0;
  return true;
}

bool CSerial::Close() {
  if (handle < 0) return true;
  // The exclusive flag outlives this descriptor when another one holds the tty open.
  ::ioctl(handle, TIOCNXCL);
  ::close(handle);
  handle = -1;
  return true;
}

bool CSerial::NoteLost(int error) {
  if (!MeansGone(error)) return false;
  if (!lostError) lostError = error;
  return true;
}

bool CSerial::Write(const uint8_t* bytes, int n) {
  if (Lost()) return false;  // said once by the caller, not once per byte
  if (handle < 0) {
    ReportSystemError(EBADF);
    return false;
  }
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kWriteCallTimeoutMs);
  int done = 0;
  while (done < n) {
    ssize_t wrote = ::write(handle, bytes + done, static_cast<size_t>(n - done));
    if (wrote > 0) {
      done += static_cast<int>(wrote);
      continue;
    }
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote < 0 && errno != EAGAIN) {
      if (!NoteLost(errno)) ReportSystemError(errno);
      return false;
    }
    const short ready = MillisecondsLeft(deadline) == 0 ? 0 : WaitFor(handle, POLLOUT, deadline);
    if ((ready & (POLLHUP | POLLERR | POLLNVAL)) && !(ready & POLLOUT)) {
      NoteLost(EIO);
      return false;
    }
    if (!(ready & POLLOUT)) {
      // The bytes not taken are lost: a partial write is a failed write.
      ReportSystemError(ETIMEDOUT);
      return false;
    }
  }
  return true;
}

int CSerial::Unread() const {
  if (!buffer) return 0;
  int unread = writeIndex - readIndex;
  return unread < 0 ? unread + bufferSize : unread;
}

void CSerial::Store(uint8_t byte) {
  buffer[static_cast<size_t>(writeIndex)] = byte;
  writeIndex = (writeIndex + 1) % bufferSize;
  if (writeIndex == readIndex) readIndex = (readIndex + 1) % bufferSize;
}

void CSerial::Pump() {
  if (handle < 0 || !buffer || Lost()) return;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kReadCallTimeoutMs);
  const short ready = WaitFor(handle, POLLIN, deadline);
  // A hung-up line polls ready at once and reads empty: without noting it every read would
  // spin through its attempts and the failure would look like a silent programmer.
  const bool hungUp = ready & (POLLHUP | POLLERR | POLLNVAL);
  if (ready & POLLIN) {
    uint8_t chunk[256];
    for (;;) {
      ssize_t got = ::read(handle, chunk, sizeof chunk);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) NoteLost(errno);
      if (got <= 0) break;
      for (ssize_t i = 0; i < got; ++i) Store(chunk[i]);
    }
  }
  if (hungUp) NoteLost(EIO);
}

bool CSerial::Read(uint8_t* dest, int n) {
  if (n <= 0) return true;
  if (!buffer) return false;
  const int attempts = timeout / 100 + 1;
  // Bytes already held need no wait on the line.
  for (int attempt = 0; Unread() < n; ++attempt) {
    if (attempt >= attempts || Lost()) return false;
    Pump();
  }
  for (int i = 0; i < n; ++i) {
    dest[i] = buffer[static_cast<size_t>(readIndex)];
    readIndex = (readIndex + 1) % bufferSize;
  }
  return true;
}

void CSerial::ReportSystemError(int code) {
  UserInterface().ShowMessage(SystemErrorText(code), std::string(), MessageIcon::Information);
}

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <limits>
#include <string>
#include <thread>

#include "CliText.h"
#include "ComNumbers.h"
#include "ComResolver.h"
#include "PortSystem.h"
#include "ScopedFdPosix.h"
#include "SysCallPosix.h"

namespace {

enum class SysOutcome { kRetry, kNotReady, kFailed };

// The one place where errno becomes a result: an interrupted call is
// repeated, a call that would wait is "nothing yet", anything else failed.
SysOutcome ClassifyErrno(int err) {
  if (err == EINTR) return SysOutcome::kRetry;
  if (err == EAGAIN || err == EWOULDBLOCK) return SysOutcome::kNotReady;
  return SysOutcome::kFailed;
}

using posix::RetryInterrupted;

// The one place where errno from opening a device becomes a problem.
PortProblem ProblemOfOpenErrno(int err) {
  switch (err) {
    case ENOENT:
    case ENXIO:  // a ttyS entry with no UART behind it
    case ENODEV:
      return PortProblem::kMissing;
    case EACCES:
    case EPERM:
      return PortProblem::kPermission;
    case EBUSY:  // TIOCEXCL held by another opener
    case EWOULDBLOCK:
      return PortProblem::kBusy;
    default:
      return PortProblem::kOther;
  }
}

PortHandle Refused(PortOpenError* error, PortProblem problem, int err) {
  if (error != nullptr) *error = {problem, posix::ErrnoText(err)};
  return kNoPort;
}

struct SpeedCode {
  int baud;
  speed_t code;
};

constexpr SpeedCode kSpeeds[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},     {150, B150},
    {200, B200},       {300, B300},       {600, B600},       {1200, B1200},   {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200}, {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400},
#ifdef B460800
    {460800, B460800},
#endif
#ifdef B921600
    {921600, B921600},
#endif
};

bool FindSpeed(int baud, speed_t* code) {
  for (const SpeedCode& s : kSpeeds) {
    if (s.baud == baud) {
      *code = s.code;
      return true;
    }
  }
  return false;
}

bool FindCharSize(int byteSize, tcflag_t* flag) {
  switch (byteSize) {
    case 5:
      *flag = CS5;
      return true;
    case 6:
      *flag = CS6;
      return true;
    case 7:
      *flag = CS7;
      return true;
    case 8:
      *flag = CS8;
      return true;
    default:
      return false;
  }
}

void ModemBits(PortHandle h, unsigned long request, int bits) {
  if (bits != 0) RetryInterrupted([&] { return ioctl(h, request, &bits); });
}

long long MsUntil(std::chrono::steady_clock::time_point deadline) {
  auto left = deadline - std::chrono::steady_clock::now();
  long long ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
  return std::clamp<long long>(ms, 0, std::numeric_limits<int>::max());
}

// Bytes still queued in the driver's output, or 0 when it cannot tell
// (a pseudo-terminal passes bytes on at once).
int OutputQueued(PortHandle h) {
  int queued = 0;
  if (RetryInterrupted([&] { return ioctl(h, TIOCOUTQ, &queued); }) == -1) return 0;
  return queued;
}

}  // namespace

namespace portsys {

PortHandle OpenDevice(int n, const ComMap& map, PortOpenError* error) {
  const auto entry = map.find(n);
  if (entry != map.end() && !entry->second.empty()) return OpenDevicePath(entry->second, error);
  const ComNumberTarget target = FindComNumber(n);
  if (!target.device.empty()) return OpenDevicePath(target.device, error);
  // No device has the number: a file of remembered numbers that cannot be
  // read may be why, and then it is the reason.
  if (!target.error.empty()) {
    if (error != nullptr) *error = {PortProblem::kOther, target.error};
    return kNoPort;
  }
  return Refused(error, PortProblem::kNoDevice, ENOENT);
}

PortHandle OpenDevicePath(const std::string& path, PortOpenError* error) {
  posix::CScopedFd fd(RetryInterrupted(
      [&] { return open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); }));
  if (!fd.IsValid()) return Refused(error, ProblemOfOpenErrno(errno), errno);
  // Root opens a port that another program holds in exclusive mode (a
  // terminal program sets it): it is that program's, so it is let go at
  // once, its mode as it was (the plain close below never clears it).
  int exclusive = 0;
  if (ioctl(fd.Get(), TIOCGEXCL, &exclusive) == 0 && exclusive != 0) {
    return Refused(error, PortProblem::kBusy, EBUSY);
  }
  // flock keeps out every cooperating program, root included; TIOCEXCL
  // keeps out the rest, except root.
  if (RetryInterrupted([&] { return flock(fd.Get(), LOCK_EX | LOCK_NB); }) == -1) {
    return Refused(error, ProblemOfOpenErrno(errno), errno);
  }
  // A device that is not a terminal refuses TIOCEXCL with ENOTTY; the
  // time-outs step reports that, with the device held.
  if (RetryInterrupted([&] { return ioctl(fd.Get(), TIOCEXCL); }) == -1 && errno != ENOTTY) {
    return Refused(error, ProblemOfOpenErrno(errno), errno);
  }
  if (error != nullptr) *error = {};
  return fd.Release();
}

std::vector<const char*> FlowControlLeftOn(PortHandle h) {
  termios t{};
  if (RetryInterrupted([&] { return tcgetattr(h, &t); }) == -1) return {};
  std::vector<const char*> on;
  if (t.c_cflag & CRTSCTS) on.push_back(N_("RTS/CTS flow control"));
  if (t.c_iflag & (IXON | IXOFF)) on.push_back("XON/XOFF");
  return on;
}

void ApplyLineFormat(PortHandle h, const LineFormat& format) {
  termios t{};
  if (RetryInterrupted([&] { return tcgetattr(h, &t); }) == -1) return;
  t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                      IXON | IXOFF | IXANY | INPCK);
  t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
  t.c_cflag |= CLOCAL | CREAD;

  speed_t speed;
  if (FindSpeed(format.baud, &speed)) {
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
  }
  tcflag_t size;
  if (FindCharSize(format.byteSize, &size)) {
    t.c_cflag = (t.c_cflag & ~static_cast<tcflag_t>(CSIZE)) | size;
  }
  switch (format.parity) {
    case 0:
      t.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD);
      break;
    case 1:
      t.c_cflag |= PARENB | PARODD;
      break;
    case 2:
      t.c_cflag = (t.c_cflag | PARENB) & ~static_cast<tcflag_t>(PARODD);
      break;
    default:
      break;  // mark and space have no portable termios form
  }
  switch (format.stopBits) {
    case 0:
      t.c_cflag &= ~static_cast<tcflag_t>(CSTOPB);
      break;
    case 1:  // one and a half: the driver gives it for 5 data bits with CSTOPB
    case 2:
      t.c_cflag |= CSTOPB;
      break;
    default:
      break;
  }
  RetryInterrupted([&] { return tcsetattr(h, TCSANOW, &t); });
  ModemBits(h, TIOCMBIC, TIOCM_DTR | TIOCM_RTS);
}

bool SetNonBlockingTimeouts(PortHandle h) {
  termios t{};
  if (RetryInterrupted([&] { return tcgetattr(h, &t); }) == -1) return false;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  return RetryInterrupted([&] { return tcsetattr(h, TCSANOW, &t); }) == 0;
}

void ApplyLineControl(PortHandle h, bool rts, bool dtr) {
  const int raise = (rts ? TIOCM_RTS : 0) | (dtr ? TIOCM_DTR : 0);
  const int drop = (rts ? 0 : TIOCM_RTS) | (dtr ? 0 : TIOCM_DTR);
  ModemBits(h, TIOCMBIS, raise);
  ModemBits(h, TIOCMBIC, drop);
}

void RaiseRts(PortHandle h, bool on) { ModemBits(h, on ? TIOCMBIS : TIOCMBIC, TIOCM_RTS); }

int ReadBytes(PortHandle h, char* buf, int n) {
  ssize_t got = RetryInterrupted([&] { return read(h, buf, static_cast<size_t>(n)); });
  if (got >= 0) return static_cast<int>(got);
  return ClassifyErrno(errno) == SysOutcome::kNotReady ? 0 : -1;
}

bool WriteBytes(PortHandle h, const char* buf, int n) {
  return WriteBytesWithin(h, buf, n, 1000LL * n + 1000);
}

bool WriteBytesWithin(PortHandle h, const char* buf, int n, long long timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  int sent = 0;
  while (sent < n) {
    ssize_t put =
        RetryInterrupted([&] { return write(h, buf + sent, static_cast<size_t>(n - sent)); });
    if (put > 0) {
      sent += static_cast<int>(put);
      continue;
    }
    if (put == -1 && ClassifyErrno(errno) == SysOutcome::kFailed) return false;
    const long long left = MsUntil(deadline);
    if (left == 0) return false;
    pollfd p{h, POLLOUT, 0};
    RetryInterrupted([&] { return poll(&p, 1, static_cast<int>(left)); });
  }
  // tcdrain could wait without limit on a stuck line, so watch the output
  // queue instead. Like the flush it stands for, its outcome is not judged.
  while (OutputQueued(h) > 0 && MsUntil(deadline) > 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

void CloseDevice(PortHandle h) {
  // Bytes still queued would make close() wait for the driver's closing
  // delay (30 s by default on a serial port).
  tcflush(h, TCOFLUSH);
  // A real port drops its exclusive flag at the last close; a pseudo-terminal
  // whose other side stays open keeps it, and the next open would be refused.
  // OpenDevice set it (it gives no handle to a port held so by another).
  ioctl(h, TIOCNXCL);
  close(h);
}

}  // namespace portsys

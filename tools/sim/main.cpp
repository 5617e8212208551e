// zeta7-sim: a simulated ZETA-7 unit on a pseudo-terminal (usage: --help).
//
// The loop reads what the program writes to the device, feeds it to
// CSimUnit, and writes the unit's bytes back one at a time, each when the
// line speed (10 bits a byte) and its extra gap allow.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "SimUnit.h"
#include "SysCallPosix.h"
#include "version.h"

namespace {

using Clock = std::chrono::steady_clock;

int g_signalPipe[2] = {-1, -1};

void OnSignal(int) {
  const char c = 1;
  const ssize_t r = write(g_signalPipe[1], &c, 1);
  static_cast<void>(r);
}

void Fail(const char* what) {
  std::fprintf(stderr, "zeta7-sim: %s: %s\n", what, std::strerror(errno));
}

int SpeedToBaud(speed_t speed) {
  switch (speed) {
    case B300:
      return 300;
    case B600:
      return 600;
    case B1200:
      return 1200;
    case B2400:
      return 2400;
    case B4800:
      return 4800;
    case B9600:
      return 9600;
    case B19200:
      return 19200;
    case B38400:
      return 38400;
    case B57600:
      return 57600;
    case B115200:
      return 115200;
    case B230400:
      return 230400;
    default:
      return 0;
  }
}

int LineBaud(int slave);

// A byte as it arrives at another speed: never a line end.
unsigned char Garbled(unsigned char b) {
  const unsigned char g = static_cast<unsigned char>(b * 7 + 0x81);
  return g == '\r' || g == '\n' ? 0xFE : g;
}

bool SpeedsDiffer(const SimOptions& options, int slave) {
  return options.unitBaud != 0 && LineBaud(slave) != options.unitBaud;
}

// The speed the program set on its side of the line, else 38400.
int LineBaud(int slave) {
  termios t;
  if (tcgetattr(slave, &t) != 0) return 38400;
  const int baud = SpeedToBaud(cfgetospeed(&t));
  return baud != 0 ? baud : 38400;
}

using posix::WriteAll;

// Points linkPath at target through a temporary name, so that the link is
// never missing for a reader. Refuses to replace anything but a symlink.
bool MakeLink(const std::string& linkPath, const std::string& target) {
  struct stat st;
  if (lstat(linkPath.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
    std::fprintf(stderr, "zeta7-sim: %s exists and is not a symlink\n", linkPath.c_str());
    return false;
  }
  const std::string temp = linkPath + ".zeta7-sim." + std::to_string(getpid());
  unlink(temp.c_str());
  if (symlink(target.c_str(), temp.c_str()) != 0) {
    Fail(linkPath.c_str());
    return false;
  }
  if (rename(temp.c_str(), linkPath.c_str()) != 0) {
    Fail(linkPath.c_str());
    unlink(temp.c_str());
    return false;
  }
  return true;
}

// Removes the link only while it still points at our device: another sim
// may have taken the name over since.
void RemoveLink(const std::string& linkPath, const std::string& target) {
  char buf[4096];
  const ssize_t n = readlink(linkPath.c_str(), buf, sizeof buf - 1);
  if (n < 0) return;
  buf[n] = '\0';
  if (target == buf) unlink(linkPath.c_str());
}

class CPtyLine {
 public:
  ~CPtyLine() {
    if (m_nSlave >= 0) close(m_nSlave);
    if (m_nMaster >= 0) close(m_nMaster);
  }

  bool Open() {
    m_nMaster = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_nMaster < 0 || grantpt(m_nMaster) != 0 || unlockpt(m_nMaster) != 0) {
      Fail("pseudo-terminal");
      return false;
    }
    const char* name = ptsname(m_nMaster);
    if (name == nullptr) {
      Fail("ptsname");
      return false;
    }
    m_strPath = name;
    // Holding the slave open keeps the master readable while the program
    // has the device closed (with no slave open, reads give EIO), keeps the
    // line settings alive between opens, and lets us read the speed.
    m_nSlave = open(name, O_RDWR | O_NOCTTY);
    termios t;
    if (m_nSlave < 0 || tcgetattr(m_nSlave, &t) != 0) {
      Fail(name);
      return false;
    }
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&t, B38400);
    cfsetospeed(&t, B38400);
    if (tcsetattr(m_nSlave, TCSANOW, &t) != 0) {
      Fail("raw mode");
      return false;
    }
    fcntl(m_nMaster, F_SETFL, fcntl(m_nMaster, F_GETFL) | O_NONBLOCK);
    return true;
  }

  // A serial device forgets TIOCEXCL at its last close; a pty keeps it for
  // as long as its master lives, so a program that closed the device could
  // not reopen it unless privileged. The program's flock still keeps a
  // second opener out while the first holds the device.
  void ForgetExclusive() { ioctl(m_nSlave, TIOCNXCL); }

  int Master() const { return m_nMaster; }
  int Slave() const { return m_nSlave; }
  const std::string& Path() const { return m_strPath; }

 private:
  int m_nMaster = -1;
  int m_nSlave = -1;
  std::string m_strPath;
};

int Run(const SimOptions& options) {
  if (pipe(g_signalPipe) != 0) {
    Fail("pipe");
    return 1;
  }
  for (int fd : g_signalPipe) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    fcntl(fd, F_SETFD, FD_CLOEXEC);
  }
  struct sigaction sa;
  std::memset(&sa, 0, sizeof sa);
  sa.sa_handler = OnSignal;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);

  CPtyLine line;
  if (!line.Open()) return 1;

  int logFd = -1;
  if (!options.logPath.empty()) {
    logFd = open(options.logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (logFd < 0) {
      Fail(options.logPath.c_str());
      return 1;
    }
  }
  if (!options.linkPath.empty() && !MakeLink(options.linkPath, line.Path())) {
    return 1;
  }
  std::printf("%s\n", line.Path().c_str());
  std::fflush(stdout);

  CSimUnit unit(options);
  Clock::time_point lineFree = Clock::now();  // end of the last byte sent
  Clock::time_point lastInput = lineFree;     // when output last got queued
  Clock::time_point due;                      // when the planned byte is out
  bool planned = false;
  bool writeBlocked = false;
  bool hungUp = false;

  for (;;) {
    Clock::time_point now = Clock::now();
    if (!planned && unit.HasOutput()) {
      const SimByte& b = unit.Front();
      const int baud = options.baud ? options.baud : LineBaud(line.Slave());
      const auto start = std::max(lineFree, lastInput) + std::chrono::milliseconds(b.gapMs);
      // A byte is there for the reader once its stop bit is through.
      due = b.hangUp ? start : start + std::chrono::microseconds(10000000LL / baud);
      planned = true;
    }
    if (planned && !writeBlocked && now >= due) {
      const SimByte& b = unit.Front();
      if (b.hangUp) {
        hungUp = true;
        break;
      }
      const unsigned char value = SpeedsDiffer(options, line.Slave()) ? Garbled(b.value) : b.value;
      const ssize_t w = write(line.Master(), &value, 1);
      if (w == 1) {
        unit.Pop();
        lineFree = due;
        planned = false;
        continue;
      }
      if (w < 0 && errno != EAGAIN && errno != EINTR) {
        Fail("write");
        break;
      }
      writeBlocked = w < 0 && errno == EAGAIN;
    }

    pollfd fds[3];
    nfds_t count = 0;
    fds[count++] = {g_signalPipe[0], POLLIN, 0};
    fds[count++] = {line.Master(), static_cast<short>(POLLIN | (writeBlocked ? POLLOUT : 0)), 0};
    if (options.quitOnEof) fds[count++] = {STDIN_FILENO, POLLIN, 0};
    auto wait = std::chrono::nanoseconds(std::chrono::milliseconds(100));
    if (planned && !writeBlocked) {
      wait = std::min(wait, std::chrono::nanoseconds(due - now));
    }
    timespec ts;
    ts.tv_sec = static_cast<time_t>(wait.count() / 1000000000);
    ts.tv_nsec = static_cast<long>(wait.count() % 1000000000);
    const int ready = ppoll(fds, count, &ts, nullptr);
    if (ready < 0 && errno != EINTR) {
      Fail("poll");
      break;
    }
    line.ForgetExclusive();
    if (ready <= 0) continue;
    if (fds[0].revents & POLLIN) break;
    if (fds[1].revents & POLLOUT) writeBlocked = false;
    if (fds[1].revents & POLLIN) {
      char buf[256];
      const ssize_t n = read(line.Master(), buf, sizeof buf);
      if (n > 0) {
        const size_t size = static_cast<size_t>(n);
        // Logged before it is answered: once the program has seen an
        // answer, the log holds the line.
        if (logFd >= 0 && !WriteAll(logFd, buf, size)) {
          Fail(options.logPath.c_str());
        }
        if (SpeedsDiffer(options, line.Slave())) {
          // Heard at the wrong speed: framing noise comes back, no line.
          for (size_t i = 0; i < size; ++i) buf[i] = static_cast<char>(Garbled(buf[i]));
          if (!WriteAll(line.Master(), buf, size)) Fail("write");
          continue;
        }
        if (!planned) lastInput = Clock::now();
        unit.Receive(buf, size);
      }
    }
    if (options.quitOnEof && (fds[2].revents & (POLLIN | POLLHUP))) {
      char buf[64];
      const ssize_t n = read(STDIN_FILENO, buf, sizeof buf);
      if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) break;
    }
  }

  if (!options.linkPath.empty()) RemoveLink(options.linkPath, line.Path());
  if (logFd >= 0) close(logFd);
  if (hungUp) std::fprintf(stderr, "zeta7-sim: hung up\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  SimOptions options;
  bool help = false;
  bool version = false;
  std::string error;
  if (!ParseSimArgs(argc - 1, argv + 1, options, help, version, error)) {
    std::fprintf(stderr, "zeta7-sim: %s\n%s", error.c_str(), SimUsage().c_str());
    return 2;
  }
  if (help) {
    std::printf("%s", SimUsage().c_str());
    return 0;
  }
  if (version) {
    std::printf("zeta7-sim %s\n", ZETA7_VERSION_STRING);
    return 0;
  }
  if (!options.replayPath.empty()) {
    std::string trace;
    FILE* f = std::fopen(options.replayPath.c_str(), "rb");
    if (f == nullptr) {
      Fail(options.replayPath.c_str());
      return 2;
    }
    char buf[65536];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) trace.append(buf, n);
    std::fclose(f);
    if (!ParseReplay(trace, options.replayPort, options.replay, error)) {
      std::fprintf(stderr, "zeta7-sim: %s: %s\n", options.replayPath.c_str(), error.c_str());
      return 2;
    }
    options.replaying = true;
  }
  return Run(options);
}

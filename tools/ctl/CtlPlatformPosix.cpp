#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "ComNumbers.h"
#include "ComResolver.h"
#include "CtlPlatform.h"
#include "CtlText.h"
#include "ScopedFdPosix.h"
#include "SysCallPosix.h"

namespace {

InterruptState* g_state = nullptr;

// What the first and the second request say, made in the user's language
// before the handler is installed; the handler only reads them. Plain
// arrays: nothing is freed under a handler that runs at exit.
struct RequestText {
  char text[512];
  size_t size;
};
RequestText g_firstRequest{};
RequestText g_secondRequest{};

void SetRequestText(RequestText* r, const char* said) {
  const std::string line = std::string("zeta7ctl: ") + said + "\n";
  r->size = std::min(line.size(), sizeof r->text);
  std::memcpy(r->text, line.data(), r->size);
}

// Only atomics and write(2): both are safe in a signal handler.
void OnInterrupt(int sig) {
  if (g_state == nullptr) return;
  const int savedErrno = errno;
  int none = 0;
  g_state->signal.compare_exchange_strong(none, sig);
  const int n = g_state->count.fetch_add(1) + 1;
  const RequestText& text = n == 1 ? g_firstRequest : g_secondRequest;
  if (n <= 2) {
    const ssize_t ignored = write(STDERR_FILENO, text.text, text.size);
    (void)ignored;
  }
  errno = savedErrno;
}

using posix::RetryInterrupted;

}  // namespace

void InstallInterruptHandler(InterruptState* state) {
  SetRequestText(&g_firstRequest, Tr(kTextStopping));
  SetRequestText(&g_secondRequest, Tr(kTextStopWaiting));
  g_state = state;
  struct sigaction sa;
  std::memset(&sa, 0, sizeof sa);
  sa.sa_handler = OnInterrupt;
  // Calls in flight are resumed; the exchanges retry what is not.
  sa.sa_flags = SA_RESTART;
  sigemptyset(&sa.sa_mask);
  // A closed terminal (SIGHUP) must leave the records as Ctrl+C does.
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &sa, nullptr);
  // A record or the progress line written to a closed pipe must not end
  // the batch before every port is closed; the write reports it instead.
  signal(SIGPIPE, SIG_IGN);
}

// A signal handler cannot be stopped from ending in time: nothing to wait
// for.
void InterruptHandled() {}

bool ProgressTerminal() {
  const char* term = std::getenv("TERM");
  return isatty(STDERR_FILENO) == 1 && term != nullptr && std::strcmp(term, "dumb") != 0;
}

int TerminalColumns() {
  winsize ws{};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) != 0) return 0;
  return ws.ws_col;
}

std::tm UtcTime(std::time_t t) {
  std::tm tm{};
  gmtime_r(&t, &tm);
  return tm;
}

bool IsDevicePathName(const std::string& name) { return name.find('/') != std::string::npos; }

std::string ResolveComIn(int n, const ComMap& map, const DeviceRoots& roots) {
  const auto it = map.find(n);
  if (it != map.end() && !it->second.empty()) return it->second;
  return FindComNumber(n, roots.sys, roots.dev).device;
}

bool DevicePresent(const std::string& device) {
  struct stat st;
  return stat(device.c_str(), &st) == 0;
}

std::vector<std::string> ByIdPaths(const DeviceRoots& roots) {
  std::vector<std::string> paths;
  std::error_code ec;
  for (std::filesystem::directory_iterator
           it(std::filesystem::path(roots.dev) / "serial" / "by-id", ec),
       end;
       !ec && it != end; it.increment(ec)) {
    paths.push_back(it->path().string());
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

std::string DeviceIdentity(const std::string& device) {
  std::error_code ec;
  const std::filesystem::path c = std::filesystem::canonical(device, ec);
  return ec ? device : c.string();
}

std::string HostName() {
  char name[256] = {};
  return gethostname(name, sizeof name - 1) == 0 ? std::string(name) : std::string();
}

std::string LoginName() {
  // The session's login (under sudo the technician, not root), else the
  // account behind the process, before what the environment claims.
  char buf[1024];
  if (getlogin_r(buf, sizeof buf) == 0 && buf[0] != '\0') return buf;
  passwd entry{}, *found = nullptr;
  if (getpwuid_r(geteuid(), &entry, buf, sizeof buf, &found) == 0 && found != nullptr) {
    return found->pw_name;
  }
  const char* user = std::getenv("LOGNAME");
  return user != nullptr ? user : "";
}

CRecordFile::~CRecordFile() { Close(); }

bool CRecordFile::Open(const std::string& path, std::string* reason) {
  Close();
  std::string ignored;
  std::string& why = reason != nullptr ? *reason : ignored;
  const std::filesystem::path folder = std::filesystem::u8path(path).parent_path();
  std::error_code ec;
  if (!folder.empty() && !std::filesystem::is_directory(folder, ec) &&
      !std::filesystem::create_directories(folder, ec) && ec) {
    why = Tr(kTextFolderNotMade) + (" (" + ec.message() + ")");
    return false;
  }
  // O_NONBLOCK: a FIFO that nobody reads fails with ENXIO instead of
  // waiting for a reader for ever; one with a reader (a shell's >(...)) is
  // fine.
  posix::CScopedFd fd(RetryInterrupted([&] {
    return open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK,
                0666);
  }));
  struct stat st;
  if (!fd.IsValid()) {
    const int err = errno;
    why = err == ENXIO && lstat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode)
              ? std::string(Tr(kTextFifoWithoutReader))
              : posix::ErrnoText(err);
    return false;
  }
  if (fstat(fd.Get(), &st) != 0) {
    why = posix::ErrnoText(errno);
    return false;
  }
  if (!S_ISREG(st.st_mode) && !S_ISCHR(st.st_mode) && !S_ISFIFO(st.st_mode)) {
    why = Tr(kTextNotRegularFile);
    return false;
  }
  // access() says yes to root for any file: a file without a single write
  // bit is read-only whoever runs the program, as the settings layer holds.
  if (S_ISREG(st.st_mode) && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
    why = posix::ErrnoText(EACCES) + " (" + Tr(kTextNoWriteBit) + ")";
    return false;
  }
  const int flags = fcntl(fd.Get(), F_GETFL);
  if (flags == -1 || fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK) == -1) {
    why = posix::ErrnoText(errno);
    return false;
  }
  m_nFd = fd.Release();
  m_strError.clear();
  return true;
}

bool CRecordFile::IsOpen() const { return m_nFd >= 0; }

bool CRecordFile::Append(const std::string& line) {
  if (m_nFd < 0) return false;
  struct stat st;
  const bool sized = fstat(m_nFd, &st) == 0 && S_ISREG(st.st_mode);
  size_t done = 0;
  while (done < line.size()) {
    const ssize_t n =
        RetryInterrupted([&] { return write(m_nFd, line.data() + done, line.size() - done); });
    if (n <= 0) {
      m_strError = posix::ErrnoText(n < 0 ? errno : ENOSPC);
      // A full disk takes part of the line; the file is cut back to where
      // the line began.
      if (sized && done > 0) {
        const int ignored = RetryInterrupted([&] { return ftruncate(m_nFd, st.st_size); });
        (void)ignored;
      }
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

bool CRecordFile::Close() {
  posix::CScopedFd fd(m_nFd);
  m_nFd = -1;
  if (fd.Close()) return true;
  m_strError = posix::ErrnoText(errno);
  return false;
}

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "SimProcess.h"
#include "SysCallPosix.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

int MillisLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

void CloseFd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

}  // namespace

struct CSimProcess::CChild {
  pid_t pid;
  int nStdin;  // write end of the unit's standard input
};

CSimProcess::CSimProcess() = default;

CSimProcess::~CSimProcess() {
  Kill();
  if (!m_strLog.empty()) unlink(m_strLog.c_str());
}

std::string CSimProcess::DefaultProgram() {
  const char* dir = std::getenv("ZETA7_BIN_DIR");
  if (dir != nullptr && *dir != '\0') return std::string(dir) + "/zeta7-sim";
  // Test programs are built into the same folder as the unit.
  const std::string path = posix::ProgramPath();
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return std::string();
  return path.substr(0, slash + 1) + "zeta7-sim";
}

bool CSimProcess::Start(const std::vector<std::string>& args, int timeoutMs) {
  const std::string program = DefaultProgram();
  if (program.empty()) {
    m_strError = "ZETA7_BIN_DIR is not set and this program's own folder is unknown";
    return false;
  }
  return Start(program, args, timeoutMs);
}

bool CSimProcess::Start(const std::string& program, const std::vector<std::string>& args,
                        int timeoutMs) {
  if (m_pChild) {
    m_strError = "the unit is already running";
    return false;
  }
  m_strDevice.clear();
  m_strError.clear();
  if (access(program.c_str(), X_OK) != 0) {
    m_strError = program + ": " + std::strerror(errno);
    return false;
  }

  if (!m_strLog.empty()) unlink(m_strLog.c_str());
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/zeta7-sim-XXXXXX.log";
  const int logFd = mkstemps(&pattern[0], 4);
  if (logFd < 0) {
    m_strError = pattern + ": " + std::strerror(errno);
    m_strLog.clear();
    return false;
  }
  close(logFd);
  m_strLog = pattern;

  std::vector<std::string> argStrings;
  argStrings.push_back(program);
  argStrings.insert(argStrings.end(), args.begin(), args.end());
  argStrings.insert(argStrings.end(), {"--log", m_strLog, "--quit-on-eof"});
  std::vector<char*> argv;
  for (std::string& a : argStrings) argv.push_back(&a[0]);
  argv.push_back(nullptr);

  int out[2];
  int in[2];
  if (pipe2(out, O_CLOEXEC) != 0) {
    m_strError = std::string("pipe: ") + std::strerror(errno);
    return false;
  }
  if (pipe2(in, O_CLOEXEC) != 0) {
    m_strError = std::string("pipe: ") + std::strerror(errno);
    close(out[0]);
    close(out[1]);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);
  if (rc != 0) {
    m_strError = program + ": " + std::strerror(rc);
    close(in[1]);
    close(out[0]);
    return false;
  }
  m_pChild.reset(new CChild{pid, in[1]});

  // The first line is the device path.
  std::string line;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  bool gotLine = false;
  while (!gotLine) {
    pollfd pfd = {out[0], POLLIN, 0};
    const int ready = poll(&pfd, 1, MillisLeft(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) {
      m_strError = "no device path from " + program + " in time";
      break;
    }
    char buf[256];
    const ssize_t n = read(out[0], buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      m_strError = program + " exited before printing its device path";
      break;
    }
    line.append(buf, static_cast<size_t>(n));
    const size_t end = line.find('\n');
    if (end != std::string::npos) {
      line.resize(end);
      gotLine = true;
    }
  }
  close(out[0]);
  if (!gotLine || line.empty()) {
    if (m_strError.empty()) m_strError = "empty device path";
    Kill();
    return false;
  }
  m_strDevice = line;
  return true;
}

bool CSimProcess::Running() {
  if (!m_pChild) return false;
  int status = 0;
  const pid_t r = waitpid(m_pChild->pid, &status, WNOHANG);
  if (r == 0) return true;
  if (r == m_pChild->pid) m_nStatus = status;
  CloseFd(m_pChild->nStdin);
  m_pChild.reset();
  return false;
}

int CSimProcess::Stop() {
  if (!Running()) return m_nStatus;
  kill(m_pChild->pid, SIGTERM);
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(2);
  while (Running() && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  Kill();
  return m_nStatus;
}

void CSimProcess::Kill() {
  if (!m_pChild) return;
  kill(m_pChild->pid, SIGKILL);
  int status = 0;
  while (waitpid(m_pChild->pid, &status, 0) < 0 && errno == EINTR) {
  }
  m_nStatus = status;
  CloseFd(m_pChild->nStdin);
  m_pChild.reset();
}

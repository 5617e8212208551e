#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "CtlPlatform.h"

namespace {

std::atomic<bool>* g_interrupted = nullptr;

void OnInterrupt(int) {
  if (g_interrupted != nullptr) g_interrupted->store(true);
}

}  // namespace

void InstallInterruptHandler(std::atomic<bool>* flag) {
  g_interrupted = flag;
  struct sigaction sa;
  std::memset(&sa, 0, sizeof sa);
  sa.sa_handler = OnInterrupt;
  // Calls in flight are resumed; the exchanges retry what is not.
  sa.sa_flags = SA_RESTART;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  // A record or the progress line written to a closed pipe must not end
  // the batch before every port is closed.
  signal(SIGPIPE, SIG_IGN);
}

// A signal handler cannot be stopped from ending in time: nothing to wait
// for.
void InterruptHandled() {}

bool StdoutIsTerminal() { return isatty(STDOUT_FILENO) == 1; }

int TerminalColumns() {
  winsize ws{};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) != 0) return 0;
  return ws.ws_col;
}

std::tm UtcTime(std::time_t t) {
  std::tm tm{};
  gmtime_r(&t, &tm);
  return tm;
}

bool IsDevicePathName(const std::string& name) { return name.find('/') != std::string::npos; }

std::FILE* OpenRecordFile(const std::string& path) { return std::fopen(path.c_str(), "a"); }

std::string DeviceIdentity(const std::string& device) {
  std::error_code ec;
  const std::filesystem::path c = std::filesystem::canonical(device, ec);
  return ec ? device : c.string();
}

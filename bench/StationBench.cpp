// zeta7-bench-station: zeta7ctl station against simulated units at
// 38400 bit/s (fast pacing), plugged into a device tree of its own.
//
//  1. One unit at a time (--force: every unit written): the time from the unit's by-id link
//  appearing to
//     its record on the station's standard output, against the apply's line
//     floor (the bytes of prompt, V, R, S and R each way at the line speed
//     plus the simulator's turnaround, as zeta7-bench-fleet prints it).
//     Goal: within the floor + 50 ms.
//  2. 16 units plugged in at once: the time to the last record, against one
//     unit's. Goal: within 2 x.
//  3. 1,000 plug / unplug cycles of one unit (--again: each plug a whole
//     session): the station's resident memory after them against after 10,
//     and its open descriptors. Goal: within 1.1 x, none left open.
//
// Prints tables; never fails a build. Linux only (the tree is inotify's).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "ApplyFloor.h"
#include "SimProcess.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

class CStationChild {
 public:
  bool Start(const std::string& program, const std::vector<std::string>& args) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> all = args;
    all.insert(all.begin(), program);
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    const int rc = posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    m_nOut = out[0];
    return rc == 0;
  }
  ~CStationChild() {
    // Its output closed first: a station blocked writing a line we do not
    // read would not see the signal.
    if (m_nOut >= 0) close(m_nOut);
    m_nOut = -1;
    if (m_pid > 0) {
      kill(m_pid, SIGTERM);
      waitpid(m_pid, nullptr, 0);
    }
    if (m_nOut >= 0) close(m_nOut);
  }
  // The next whole line of standard output, or "" after timeoutMs.
  std::string Line(int timeoutMs = 10000) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      const size_t nl = m_strBuffer.find('\n');
      if (nl != std::string::npos) {
        std::string line = m_strBuffer.substr(0, nl);
        m_strBuffer.erase(0, nl + 1);
        return line;
      }
      const int left = static_cast<int>(Ms(deadline - Clock::now()));
      pollfd p{m_nOut, POLLIN, 0};
      if (left <= 0 || poll(&p, 1, left) <= 0) return {};
      char buf[4096];
      const ssize_t n = read(m_nOut, buf, sizeof buf);
      if (n <= 0) return {};
      m_strBuffer.append(buf, static_cast<size_t>(n));
    }
  }
  long RssKiB() const { return Status("VmRSS:"); }
  int Descriptors() const {
    int n = 0;
    std::error_code ec;
    for (fs::directory_iterator it("/proc/" + std::to_string(m_pid) + "/fd", ec), end;
         !ec && it != end; it.increment(ec)) {
      ++n;
    }
    return n;
  }

 private:
  long Status(const char* key) const {
    std::ifstream in("/proc/" + std::to_string(m_pid) + "/status");
    for (std::string line; std::getline(in, line);) {
      if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key));
    }
    return 0;
  }
  pid_t m_pid = -1;
  int m_nOut = -1;
  std::string m_strBuffer;
};

class CTree {
 public:
  explicit CTree(const std::string& root) : m_root(root) {
    fs::create_directories(m_root / "sys/class/tty");
    fs::create_directories(m_root / "dev");
  }
  void Plug(int n, const std::string& serial, const std::string& device) {
    const std::string name = "ttyUSB" + std::to_string(n);
    fs::create_directories(m_root / "sys/class/tty" / name);
    fs::create_symlink(device, m_root / "dev" / name);
    fs::create_directories(m_root / "dev/serial/by-id");
    fs::create_symlink("../../" + name, ById(n, serial));
  }
  void Unplug(int n, const std::string& serial) {
    const std::string name = "ttyUSB" + std::to_string(n);
    fs::remove(ById(n, serial));
    fs::remove(m_root / "dev" / name);
    fs::remove(m_root / "sys/class/tty" / name);
  }

 private:
  fs::path ById(int n, const std::string& serial) const {
    return m_root / "dev/serial/by-id" /
           ("usb-Bench_Unit_" + serial + "-if00-port" + std::to_string(n));
  }
  fs::path m_root;
};

std::string Program() {
  const char* bin = std::getenv("ZETA7_BIN_DIR");
  return (bin != nullptr ? std::string(bin)
                         : fs::read_symlink("/proc/self/exe").parent_path().string()) +
         "/zeta7ctl";
}

// Whether the record says ok; a failure's code goes to standard error.
bool Ok(const std::string& line) {
  if (line.find("\"outcome\":\"ok\"") != std::string::npos) return true;
  const size_t at = line.find("\"error\":");
  std::fprintf(stderr, "not ok: %s\n",
               line.empty() ? "(no record in 10 s)"
                            : line.substr(at == std::string::npos ? 0 : at, 160).c_str());
  return false;
}

}  // namespace

int main() {
  setvbuf(stdout, nullptr, _IOLBF, 0);
  constexpr int kUnits = 16;
  constexpr int kSingles = 10;
  constexpr int kCycles = 1000;
  const std::string root =
      fs::temp_directory_path() / ("zeta7-bench-station." + std::to_string(getpid()));
  fs::remove_all(root);
  setenv("ZETA7_DEVICE_ROOT", root.c_str(), 1);
  CTree tree(root);
  const std::string profile = root + "/unit.ini";
  std::ofstream(profile) << "[parameters]\nchannel=20\nid=4\nretry_count=-1\nretry_interval=500\n";

  std::vector<std::unique_ptr<CSimProcess>> sims;
  for (int i = 0; i < kUnits; ++i) {
    sims.push_back(std::make_unique<CSimProcess>());
    if (!sims.back()->Start({"--baud", std::to_string(kApplyBaud)})) {
      std::fprintf(stderr, "zeta7-bench-station: %s\n", sims.back()->Error().c_str());
      return 1;
    }
  }
  const double floorMs = ApplyFloorMs(MeasureTurnaround(sims[0]->DevicePath()));
  std::printf("apply's line floor at %d bit/s: %.1f ms a unit (goal: floor + 50 ms)\n\n",
              kApplyBaud, floorMs);

  auto station = std::make_unique<CStationChild>();
  if (!station->Start(Program(), {"station", profile, "--json", "--pace", "fast", "--force",
                                  "--baud", std::to_string(kApplyBaud)})) {
    std::fprintf(stderr, "zeta7-bench-station: cannot start %s\n", Program().c_str());
    return 1;
  }
  // 1. One at a time, each a new serial number: a full apply.
  std::vector<double> singles;
  int failed = 0;
  for (int i = 0; i < kSingles; ++i) {
    const std::string serial = "ONE" + std::to_string(i);
    const Clock::time_point plugged = Clock::now();
    tree.Plug(i % 2, serial, sims[static_cast<size_t>(i)]->DevicePath());
    const std::string line = station->Line();
    singles.push_back(Ms(Clock::now() - plugged));
    failed += Ok(line) ? 0 : 1;
    tree.Unplug(i % 2, serial);
  }
  std::sort(singles.begin(), singles.end());
  const double one = singles[singles.size() / 2];
  std::printf("%-34s %10s %10s %10s %7s\n", "", "median ms", "max ms", "- floor", "failed");
  std::printf("%-34s %10.1f %10.1f %10.1f %7d\n", "appearance to result, one unit", one,
              singles.back(), one - floorMs, failed);
  std::printf("  (--force: prompt, V, R, S and R for every unit, as the floor counts them)\n");

  // 2. Sixteen at once.
  std::vector<double> batches;
  failed = 0;
  for (int run = 0; run < 3; ++run) {
    const Clock::time_point plugged = Clock::now();
    for (int i = 0; i < kUnits; ++i) {
      tree.Plug(10 + i, "MANY" + std::to_string(run) + "x" + std::to_string(i),
                sims[i]->DevicePath());
    }
    for (int i = 0; i < kUnits; ++i) failed += Ok(station->Line()) ? 0 : 1;
    batches.push_back(Ms(Clock::now() - plugged));
    for (int i = 0; i < kUnits; ++i)
      tree.Unplug(10 + i, "MANY" + std::to_string(run) + "x" + std::to_string(i));
  }
  std::sort(batches.begin(), batches.end());
  const double many = batches[1];
  std::printf("%-34s %10.1f %10.1f %10s %7d\n", "16 at once, to the last result", many,
              batches.back(), "", failed);
  std::printf("  16 at once / one: %.2f (goal: within 2)\n\n", many / one);

  // 3. Plug / unplug cycles of one unit, served each time (--again), by a
  // station of its own: the first one would serve them too.
  station.reset();
  CStationChild cycler;
  if (!cycler.Start(Program(), {"station", profile, "--json", "--pace", "fast", "--again", "--baud",
                                std::to_string(kApplyBaud)})) {
    return 1;
  }
  // Counted after a first cycle: right after the spawn the child may not
  // have reached its exec, and still hold ours.
  int fd1 = 0;
  long rss10 = 0;
  int fd10 = 0;
  failed = 0;
  const Clock::time_point start = Clock::now();
  for (int i = 1; i <= kCycles; ++i) {
    // Another node each time, as the kernel gives a replugged adapter.
    tree.Plug(i % 2, "CYCLE", sims[1]->DevicePath());
    failed += Ok(cycler.Line()) ? 0 : 1;
    tree.Unplug(i % 2, "CYCLE");
    if (i == 1) {
      usleep(300 * 1000);
      fd1 = cycler.Descriptors();
    }
    if (i == 10) {
      usleep(300 * 1000);
      rss10 = cycler.RssKiB();
      fd10 = cycler.Descriptors();
    }
  }
  const double cycleMs = Ms(Clock::now() - start) / kCycles;
  // The last unit's thread may still be on its way out after its record.
  usleep(300 * 1000);
  const long rss1000 = cycler.RssKiB();
  const int fd1000 = cycler.Descriptors();
  std::printf("%d plug/unplug cycles (%.1f ms a cycle, %d failed)\n", kCycles, cycleMs, failed);
  std::printf("  resident memory: after 10 %ld KiB, after %d %ld KiB: %.3f x (goal: within 1.1)\n",
              rss10, kCycles, rss1000, static_cast<double>(rss1000) / static_cast<double>(rss10));
  std::printf("  open descriptors: after 1 %d, after 10 %d, after %d %d\n", fd1, fd10, kCycles,
              fd1000);
  fs::remove_all(root);
  return 0;
}

// zeta7-bench-startup [RUNS]: time from process start to the window shown,
// and peak memory, for the main window and for two references built in the
// same tree: the same dialog template with its font and controls but no
// program logic (what the program itself adds shows against it), and a bare
// Qt dialog with one label (the floor of any Qt dialog). The three run in
// turn, run by run, so that a change in the machine's load falls on all of
// them; prints medians and the main window's ratios to each reference. Uses
// the platform in QT_QPA_PLATFORM (offscreen when unset).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Sample {
  double ms;
  long peakKiB;
};

std::string ProbePath(const char* argv0) {
  std::string self(argv0);
  const auto slash = self.rfind('/');
  return (slash == std::string::npos ? std::string(".") : self.substr(0, slash)) +
         "/zeta7-startup-probe";
}

bool RunOnce(const std::string& probe, const char* mode, const std::string& folder,
             Sample* sample) {
  int out[2];
  if (pipe(out) != 0) return false;
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    execl(probe.c_str(), probe.c_str(), mode, folder.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  char line[16] = {};
  const ssize_t n = read(out[0], line, sizeof line - 1);
  const auto shown = std::chrono::steady_clock::now();
  close(out[0]);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  if (n <= 0 || std::string(line).rfind("shown", 0) != 0) return false;
  sample->ms = std::chrono::duration<double, std::milli>(shown - start).count();
  sample->peakKiB = usage.ru_maxrss;
  return true;
}

template <class T>
T Median(std::vector<T> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", getenv("QT_QPA_PLATFORM") ? getenv("QT_QPA_PLATFORM") : "offscreen", 1);
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  const std::string probe = ProbePath(argv[0]);
  std::printf("platform %s, %d runs each\n", getenv("QT_QPA_PLATFORM"), runs);
  std::printf("%-12s %12s %14s\n", "window", "median ms", "peak RSS KiB");
  // One settings folder for all runs, as a user's stays between starts; the
  // first run, which makes it, is not counted.
  char folderTemplate[] = "/tmp/zeta7-bench-startup.XXXXXX";
  if (mkdtemp(folderTemplate) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::string folder = folderTemplate;
  Sample warmUp{};
  RunOnce(probe, "zeta7", folder, &warmUp);
  constexpr int kModes = 3;
  const char* modes[kModes] = {"zeta7", "template", "bare"};
  std::vector<double> times[kModes];
  std::vector<long> peaks[kModes];
  for (int i = 0; i < runs; ++i) {
    for (int m = 0; m < kModes; ++m) {
      Sample sample{};
      if (!RunOnce(probe, modes[m], folder, &sample)) {
        std::fprintf(stderr, "probe %s failed\n", modes[m]);
        std::filesystem::remove_all(folder);
        return 1;
      }
      times[m].push_back(sample.ms);
      peaks[m].push_back(sample.peakKiB);
    }
  }
  double ms[kModes];
  long kib[kModes];
  for (int m = 0; m < kModes; ++m) {
    ms[m] = Median(times[m]);
    kib[m] = Median(peaks[m]);
    std::printf("%-12s %12.1f %14ld\n", modes[m], ms[m], kib[m]);
  }
  for (int m = 1; m < kModes; ++m) {
    const std::string label = std::string("/ ") + modes[m];
    std::printf("%-12s %12.2f %14.2f\n", label.c_str(), ms[0] / ms[m],
                static_cast<double>(kib[0]) / static_cast<double>(kib[m]));
  }
  std::filesystem::remove_all(folder);
  return 0;
}

// zeta7-bench-exchange: wall time of each command's exchange against the
// simulated unit, beside the floor its fixed waits set.
//
// The floor of one exchange is 12 * L + 68 ms (L = line length with CR LF)
// plus 4 ms for every byte pause it actually took, counted by a clock that
// wraps the real one. Prints a table; never fails a build.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "CComPort.h"
#include "ComResolver.h"
#include "SimProcess.h"
#include "Transact.h"

namespace {

constexpr int kRuns = 15;

// SystemClock that counts the byte pauses; the two fixed waits are never
// as short as a pause.
struct CountingClock {
  SystemClock inner;
  int pauses = 0;
  void Sleep(int ms) {
    if (ms == kBytePauseMs) ++pauses;
    inner.Sleep(ms);
  }
};

template <class T>
T Median(std::vector<T> v) {
  std::sort(v.begin(), v.end());
  const size_t mid = v.size() / 2;
  return v.size() % 2 ? v[mid] : (v[mid - 1] + v[mid]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string program = CSimProcess::DefaultProgram();
  if (argc > 1) program = argv[1];
  const char* commands[] = {"", "V", "R", "S 12 3 5 1000"};

  std::printf("%-15s %6s %5s %10s %9s %6s %7s %6s\n", "command", "bit/s", "runs", "median ms",
              "floor ms", "ratio", "pauses", "chars");
  for (int baud : {38400, 4800}) {
    CSimProcess sim;
    if (!sim.Start(program, {"--baud", std::to_string(baud)})) {
      std::fprintf(stderr, "zeta7-bench-exchange: %s\n", sim.Error().c_str());
      return 1;
    }
    CComPort port;
    port.SetComMap({{1, sim.DevicePath()}});
    if (port.Reopen(1, baud, 8, 0, 0) != 1) {
      std::fprintf(stderr, "zeta7-bench-exchange: cannot open %s\n", sim.DevicePath().c_str());
      return 1;
    }
    port.SetLineControl(1, 0);
    port.SetRts(1);

    for (const char* cmd : commands) {
      const int len = static_cast<int>(std::strlen(cmd)) + 2;
      std::vector<double> wall;
      std::vector<double> floor;
      std::vector<int> pauses;
      int chars = 0;
      for (int run = 0; run < kRuns; ++run) {
        CountingClock clock;
        char reply[256];
        const auto start = std::chrono::steady_clock::now();
        chars = TransactOn(port, clock, cmd, reply, 256);
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        wall.push_back(took.count());
        floor.push_back(12.0 * len + 68 + kBytePauseMs * clock.pauses);
        pauses.push_back(clock.pauses);
      }
      const double medianWall = Median(wall);
      const double medianFloor = Median(floor);
      const std::string name = std::string("\"") + cmd + "\"";
      std::printf("%-15s %6d %5d %10.1f %9.0f %6.3f %7d %6d\n", name.c_str(), baud, kRuns,
                  medianWall, medianFloor, medianWall / medianFloor, Median(pauses), chars);
    }
    port.Close();
    sim.Stop();
  }
  return 0;
}

// zeta7-bench-fleet: "apply" of one profile to 1, 8 and 32 simulated units at
// 38400 bit/s, with the window's fixed pacing and with the fast one.
//
// Per batch: the wall time. Per unit: the time from its session's start to
// its end, against the physical floor: 10 bits for every byte each way at
// the line speed (the five exchanges of an apply: prompt, V, R, S, R) plus
// the simulator's turnaround for each exchange, measured here as the time
// from sending a line to its first echo byte, less that byte's time on the
// line. The goals: fast per unit within 1.5 x the floor; 32 units in
// parallel within 2 x the time of one. Then an apply that changes nothing
// (the units hold the profile already: prompt, V and R, no S), and
// "zeta7ctl scan" of 1, 8 and 32 ports, with every unit at 38400 bit/s and
// with the units spread over the four speeds (the first at 4800, the
// slowest to find); goal: 32 ports within 1 s. Prints tables; never fails a
// build.
//
//   zeta7-bench-fleet [DEVICE...]
//
// With devices named, those are the units (at least 32, each a zeta7-sim at
// 38400 bit/s): under Wine, where bench/wine-fleet.sh maps COM ports to units
// it started, this prints the same table for the Windows build.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "ApplyFloor.h"
#include "CComPort.h"
#include "CtlBatch.h"
#include "SimProcess.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kBaud = kApplyBaud;
constexpr int kRuns = 3;
const UnitParams kProfile{20, 4, -1, 500};

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct Run {
  double batchMs;
  double unitMeanMs;
  double unitMaxMs;
  int failed;
};

enum class Job { kApply, kApplyUnchanged, kScan };

Run RunOnce(const std::vector<UnitTarget>& targets, Pace pace, Job what = Job::kApply) {
  SessionOptions options;
  options.baud = kBaud;
  options.pace = what == Job::kScan ? Pace::kFast : pace;
  if (what == Job::kScan) options.timeoutMs = kDefaultScanWaitMs;
  BatchOutput output;
  output.human = false;
  const InterruptState never;
  const UnitJob apply = [](CUnitSession& s) {
    UnitParams before{};
    return s.Connect() && s.ReadParams(&before) && s.WriteParams(kProfile) && s.Verify(kProfile);
  };
  // As apply does for a unit that holds the profile: read, compare, done.
  const UnitJob unchanged = [](CUnitSession& s) {
    UnitParams before{};
    return s.Connect() && s.ReadParams(&before) && SameParams(before, kProfile);
  };
  const UnitJob scan = [](CUnitSession& s) { return s.Scan({38400, 19200, 9600, 4800}); };
  const UnitJob& job = what == Job::kApply ? apply : what == Job::kScan ? scan : unchanged;
  const Clock::time_point start = Clock::now();
  const BatchCounts counts = RunBatch(targets, options, "apply", false, job, output, never);
  Run run{Ms(Clock::now() - start), 0, 0, counts.failed};
  for (const UnitRecord& r : counts.records) {
    run.unitMeanMs += static_cast<double>(r.elapsedMs) / static_cast<double>(counts.records.size());
    run.unitMaxMs = std::max(run.unitMaxMs, static_cast<double>(r.elapsedMs));
  }
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  constexpr size_t kMaxUnits = 32;
  std::vector<std::unique_ptr<CSimProcess>> sims;
  std::vector<UnitTarget> all;
  for (int i = 1; i < argc; ++i) all.push_back({argv[i], 0, argv[i], {}, {}});
  if (!all.empty() && all.size() < kMaxUnits) {
    std::fprintf(stderr, "zeta7-bench-fleet: %d devices named, %d needed\n", argc - 1,
                 static_cast<int>(kMaxUnits));
    return 2;
  }
  while (all.size() < kMaxUnits) {
    sims.push_back(std::make_unique<CSimProcess>());
    if (!sims.back()->Start({"--baud", std::to_string(kBaud)})) {
      std::fprintf(stderr, "zeta7-bench-fleet: %s\n", sims.back()->Error().c_str());
      return 1;
    }
    all.push_back({sims.back()->DevicePath(), 0, sims.back()->DevicePath(), {}, {}});
  }

  const double turnaround = MeasureTurnaround(all[0].device);
  const long long bytes = ApplyBytes();
  const double floorMs = ApplyFloorMs(turnaround);
  std::printf("apply at %d bit/s: %lld bytes on the line (both ways), %.3f ms a byte,\n", kBaud,
              bytes, ApplyByteMs());
  std::printf("simulator turnaround %.3f ms an exchange; floor per unit %.1f ms\n\n", turnaround,
              floorMs);
  std::printf("%6s %6s %10s %12s %12s %10s %10s %7s\n", "units", "pace", "batch ms", "unit ms mean",
              "unit ms max", "mean/floor", "batch/one", "failed");
  for (Pace pace : {Pace::kFixed, Pace::kFast}) {
    double oneUnitBatch = 0;
    for (int units : {1, 8, 32}) {
      const std::vector<UnitTarget> targets(all.begin(), all.begin() + units);
      std::vector<Run> runs;
      for (int i = 0; i < kRuns; ++i) runs.push_back(RunOnce(targets, pace));
      std::sort(runs.begin(), runs.end(),
                [](const Run& a, const Run& b) { return a.batchMs < b.batchMs; });
      const Run& median = runs[runs.size() / 2];
      int failed = 0;
      for (const Run& r : runs) failed += r.failed;
      if (units == 1) oneUnitBatch = median.batchMs;
      std::printf("%6d %6s %10.1f %12.1f %12.1f %10.2f %10.2f %7d\n", units,
                  pace == Pace::kFast ? "fast" : "fixed", median.batchMs, median.unitMeanMs,
                  median.unitMaxMs, median.unitMeanMs / floorMs, median.batchMs / oneUnitBatch,
                  failed);
    }
  }

  std::printf("\n%-26s %6s %10s %12s %12s %7s\n", "", "units", "batch ms", "unit ms mean",
              "unit ms max", "failed");
  auto row = [&](const char* what, const std::vector<UnitTarget>& set, Pace pace, Job job) {
    for (int units : {1, 8, 32}) {
      const std::vector<UnitTarget> targets(set.begin(), set.begin() + units);
      std::vector<Run> runs;
      for (int i = 0; i < kRuns; ++i) runs.push_back(RunOnce(targets, pace, job));
      std::sort(runs.begin(), runs.end(),
                [](const Run& a, const Run& b) { return a.batchMs < b.batchMs; });
      int failed = 0;
      for (const Run& r : runs) failed += r.failed;
      const Run& median = runs[runs.size() / 2];
      std::printf("%-26s %6d %10.1f %12.1f %12.1f %7d\n", what, units, median.batchMs,
                  median.unitMeanMs, median.unitMaxMs, failed);
    }
  };
  row("apply, no change, fixed", all, Pace::kFixed, Job::kApplyUnchanged);
  row("apply, no change, fast", all, Pace::kFast, Job::kApplyUnchanged);
  row("scan, all at 38400", all, Pace::kFast, Job::kScan);

  // Units that answer at one speed only, spread over the four.
  const int kSpeeds[] = {4800, 9600, 19200, 38400};
  std::vector<std::unique_ptr<CSimProcess>> mixedSims;
  std::vector<UnitTarget> mixed;
  for (size_t i = 0; i < kMaxUnits; ++i) {
    mixedSims.push_back(std::make_unique<CSimProcess>());
    if (!mixedSims.back()->Start({"--unit-baud", std::to_string(kSpeeds[i % 4])})) {
      std::fprintf(stderr, "zeta7-bench-fleet: %s\n", mixedSims.back()->Error().c_str());
      return 1;
    }
    mixed.push_back({mixedSims.back()->DevicePath(), 0, mixedSims.back()->DevicePath(), {}, {}});
  }
  row("scan, four speeds mixed", mixed, Pace::kFast, Job::kScan);
  std::printf(
      "\n(median of %d batches a row; unit times are whole milliseconds; scan waits\n"
      "%d ms a speed, the first unit of the mixed set answers at 4800 only)\n",
      kRuns, kDefaultScanWaitMs);
  return 0;
}

// The line floor of one apply at 38400 bit/s, shared by the benchmarks that
// compare against it: 10 bits for every byte each way (the five exchanges
// prompt, V, R, S, R, as the simulated unit answers them) plus the
// simulator's turnaround for each exchange, measured on a unit.
#pragma once

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "CComPort.h"

inline constexpr int kApplyBaud = 38400;

inline long long ApplyBytes() {
  const std::string prompt = "ZETA7>";
  const std::string lines[] = {"", "V", "R", "S 20 4 -1 500", "R"};
  const std::string replies[] = {"", "V1.02.03", "12  3     5  1000", "OK", "20  4    -1   500"};
  long long bytes = 0;
  for (int i = 0; i < 5; ++i) {
    const long long sent = static_cast<long long>(lines[i].size()) + 2;
    long long got = sent + static_cast<long long>(prompt.size());
    if (!lines[i].empty()) got += static_cast<long long>(replies[i].size()) + 2;
    bytes += sent + got;
  }
  return bytes;
}

inline double ApplyByteMs() { return 10.0 * 1000.0 / kApplyBaud; }

// Median time from the end of a write of CR LF to the first echo byte, less
// that byte's time on the line.
inline double MeasureTurnaround(const std::string& device) {
  using Clock = std::chrono::steady_clock;
  CComPort port;
  port.SetComMap({{1, device}});
  if (port.Reopen(1, kApplyBaud, 8, 0, 0) != 1) return 0;
  std::vector<double> samples;
  for (int i = 0; i < 20; ++i) {
    while (port.ReadByte() != 0) {
    }
    const Clock::time_point sent = Clock::now();
    port.WriteString("\r\n");
    if (port.WaitByte(1000) <= 0) continue;
    samples.push_back(std::max(
        0.0,
        std::chrono::duration<double, std::milli>(Clock::now() - sent).count() - ApplyByteMs()));
    while (port.WaitByte(20) > 0) {  // the rest of the echo and the prompt
    }
  }
  if (samples.empty()) return 0;
  std::sort(samples.begin(), samples.end());
  return samples[samples.size() / 2];
}

inline double ApplyFloorMs(double turnaroundMs) {
  return static_cast<double>(ApplyBytes()) * ApplyByteMs() + 5 * turnaroundMs;
}

#include <poll.h>

#include <cerrno>
#include <chrono>

#include "PortWait.h"

namespace portsys {

namespace {

// The one place where a poll outcome becomes a result; EINTR is retried by
// the caller with the time that is left.
WaitResult FromPoll(int ready, short revents) {
  if (ready == 0) return WaitResult::kTimedOut;
  if (revents & POLLNVAL) return WaitResult::kFailed;
  return WaitResult::kByte;  // POLLIN, POLLHUP and POLLERR all end in a read
}

WaitResult Poll(PortHandle h, int ms) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(ms > 0 ? ms : 0);
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd p{h, POLLIN, 0};
    const int ready = poll(&p, 1, left.count() > 0 ? static_cast<int>(left.count()) : 0);
    if (ready >= 0) return FromPoll(ready, p.revents);
    if (errno != EINTR) return WaitResult::kFailed;
  }
}

}  // namespace

WaitResult WaitByte(PortHandle h, int ms, char* byte) {
  const WaitResult r = Poll(h, ms);
  if (r != WaitResult::kByte) return r;
  // Readable with nothing to read is a hung-up line or an end of file.
  const int got = ReadBytes(h, byte, 1);
  return got == 1 ? WaitResult::kByte : got == 0 ? WaitResult::kEnded : WaitResult::kFailed;
}

}  // namespace portsys

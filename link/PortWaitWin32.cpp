#include <windows.h>

#include <chrono>

#include "CommCallsWin32.h"
#include "PortWait.h"

namespace portsys {

namespace {

using Clock = std::chrono::steady_clock;

// The one place where a Win32 result becomes ours. The port is opened for
// synchronous I/O, where a communications event cannot be waited on with a
// deadline; the wait is a read with time-outs of its own instead. A read
// that gives nothing well before its time-out (half of it) did not wait:
// the device has ended, and a caller that asked again would spin.
WaitResult FromTimedRead(BOOL ok, DWORD got, Clock::duration took, int ms) {
  if (!ok) return WaitResult::kFailed;
  if (got == 1) return WaitResult::kByte;
  return took < std::chrono::milliseconds(ms) / 2 ? WaitResult::kEnded : WaitResult::kTimedOut;
}

}  // namespace

// {MAXDWORD, MAXDWORD, ms} makes ReadFile return as soon as one byte is
// there, or after ms with none, without waking in between; the time-outs
// the port's other reads need (return at once) are put back before the
// byte is handed on.
WaitResult WaitByte(PortHandle h, int ms, char* byte) {
  if (ms <= 0) {
    const int got = ReadBytes(h, byte, 1);
    return got == 1 ? WaitResult::kByte : got == 0 ? WaitResult::kTimedOut : WaitResult::kFailed;
  }
  const CommCalls& calls = CommCallsInUse();
  COMMTIMEOUTS saved;
  if (!calls.getCommTimeouts(h, &saved)) return WaitResult::kFailed;
  COMMTIMEOUTS timed = saved;
  timed.ReadIntervalTimeout = MAXDWORD;
  timed.ReadTotalTimeoutMultiplier = MAXDWORD;
  timed.ReadTotalTimeoutConstant = static_cast<DWORD>(ms);
  if (!calls.setCommTimeouts(h, &timed)) return WaitResult::kFailed;
  DWORD got = 0;
  const Clock::time_point start = Clock::now();
  const BOOL ok = calls.readFile(h, byte, 1, &got, nullptr);
  const WaitResult r = FromTimedRead(ok, got, Clock::now() - start, ms);
  // A port left waiting would make every later read wait.
  return calls.setCommTimeouts(h, &saved) ? r : WaitResult::kFailed;
}

}  // namespace portsys

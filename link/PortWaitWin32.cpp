#include <windows.h>

#include "PortWait.h"

namespace portsys {

namespace {

// The one place where a Win32 failure becomes a result. A port opened for
// synchronous I/O cannot wait on a communications event with a time-out, so
// the input queue is looked at once a millisecond.
WaitResult FromQueue(BOOL ok, const COMSTAT& stat) {
  if (!ok) return WaitResult::kFailed;
  return stat.cbInQue > 0 ? WaitResult::kReadable : WaitResult::kTimedOut;
}

}  // namespace

WaitResult WaitReadable(PortHandle h, int ms) {
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(ms > 0 ? ms : 0);
  for (;;) {
    DWORD errors = 0;
    COMSTAT stat{};
    const WaitResult r = FromQueue(ClearCommError(static_cast<HANDLE>(h), &errors, &stat), stat);
    if (r != WaitResult::kTimedOut || GetTickCount64() >= deadline) return r;
    Sleep(1);
  }
}

}  // namespace portsys

// Waiting for input on an open port, for the exchange that is paced by the
// arrival of bytes (FastTransact.h). One implementation file per platform
// (PortWaitPosix.cpp here); the caller owns the handle and its thread.
#pragma once

#include "PortSystem.h"

namespace portsys {

enum class WaitResult {
  kReadable,  // a byte is waiting, or the line has hung up (a read tells)
  kTimedOut,
  kFailed  // the handle cannot be waited on
};

// Waits at most ms milliseconds (0: only looks) for input on h. A signal
// does not cut the wait short.
WaitResult WaitReadable(PortHandle h, int ms);

}  // namespace portsys

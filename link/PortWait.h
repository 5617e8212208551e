// Waiting for input on an open port, for the exchange that is paced by the
// arrival of bytes (FastTransact.h). One implementation file per platform
// (PortWaitPosix.cpp, PortWaitWin32.cpp); the caller owns the handle and its
// thread. The wait takes the byte it waited for: on Windows the wait is a
// read of its own.
#pragma once

#include "PortSystem.h"

namespace portsys {

enum class WaitResult {
  kByte,      // a byte came: it is in *byte
  kTimedOut,  // none came within the time
  kEnded,     // the line has hung up or the device ended: none will come
  kFailed     // the handle cannot be waited on or read
};

// Waits at most ms milliseconds (0: only looks) for a byte on h and reads
// it. A signal does not cut the wait short.
WaitResult WaitByte(PortHandle h, int ms, char* byte);

}  // namespace portsys

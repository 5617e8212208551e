// The operating-system side of CComPort, one implementation file per platform
// (PortSystemPosix.cpp here). CComPort decides what to call and when; these
// functions only translate each step into the platform's calls.
#pragma once

#include <string>

#ifdef _WIN32
using PortHandle = void*;
inline constexpr PortHandle kNoPort = nullptr;
#else
using PortHandle = int;
inline constexpr PortHandle kNoPort = -1;
#endif

// Line format as CComPort stores it: parity and stop-bit codes are the
// Windows ones (parity 0 none, 1 odd, 2 even; stop bits 0 one, 1 one and a
// half, 2 two).
struct LineFormat {
  int baud;
  int byteSize;
  int parity;
  int stopBits;
};

namespace portsys {

// Opens COM port n exclusively; kNoPort on failure.
PortHandle OpenDevice(int n);
// Applies the line format with parity checking off and DTR/RTS control off;
// failures are not reported, as a refused speed must not stop the open.
void ApplyLineFormat(PortHandle h, const LineFormat& format);
// Makes reads return at once; false when the device refuses (not a terminal).
bool SetNonBlockingTimeouts(PortHandle h);
// Enables or disables RTS and DTR control; not examined by the caller.
void ApplyLineControl(PortHandle h, bool rts, bool dtr);
void RaiseRts(PortHandle h, bool on);
// -1 on a platform failure, else the byte count (0 when nothing is waiting).
int ReadBytes(PortHandle h, char* buf, int n);
// Writes n bytes within 1000 * n + 1000 ms and waits for them to leave the
// driver; false on a platform failure.
bool WriteBytes(PortHandle h, const char* buf, int n);
void CloseDevice(PortHandle h);

}  // namespace portsys

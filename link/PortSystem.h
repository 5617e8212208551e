// The operating-system side of CComPort, one implementation file per platform
// (PortSystemPosix.cpp, PortSystemWin32.cpp). CComPort decides what to call and when and
// holds the handle; these functions only translate each step into the
// platform's calls and turn its errors into plain results. They keep no state
// of their own and are called from the thread that owns the port.
#pragma once

#include <map>
#include <string>
#include <vector>

#ifdef _WIN32
using PortHandle = void*;
inline constexpr PortHandle kNoPort = nullptr;
#else
using PortHandle = int;
inline constexpr PortHandle kNoPort = -1;
#endif

// Line format as CComPort stores it: parity and stop-bit codes are the
// Windows ones (parity 0 none, 1 odd, 2 even, 3 mark, 4 space; stop bits
// 0 one, 1 one and a half, 2 two). A value the platform cannot express is
// left as the driver had it.
// Explicit COM number -> device path entries (the settings file's [ports]
// section). Where devices are named COMn (Windows) an entry still wins for
// its number.
using ComMap = std::map<int, std::string>;

struct LineFormat {
  int baud;
  int byteSize;
  int parity;
  int stopBits;
};

// Why a device does not open, decided at the call that failed.
enum class PortProblem {
  kNone,         // opens: this user can use it now
  kNoDevice,     // the number leads to no device (no [ports] entry, too few devices)
  kMissing,      // the device path does not exist (unplugged, a stale [ports] entry)
  kPermission,   // the system refuses this user
  kBusy,         // another program holds it (a lock, or its exclusive mode)
  kNotTerminal,  // it opens but is not a serial line
  kOther         // any other refusal; see systemError
};

struct PortOpenError {
  PortProblem problem = PortProblem::kNone;
  std::string systemError;  // the system's words for the failed call
};

namespace portsys {

// Opens COM port n for reading and writing, held exclusively (no other
// process, root included, may open it meanwhile); kNoPort on failure, with
// the failure in *error. A port that another program holds in exclusive
// mode (TIOCEXCL, which root could open through) is refused as kBusy and
// left as it was: nothing is sent and its mode stays set.
PortHandle OpenDevice(int n, const ComMap& map, PortOpenError* error = nullptr);
// The same for a device named by its path.
PortHandle OpenDevicePath(const std::string& path, PortOpenError* error = nullptr);
// Raw 8-bit line, receiver on, modem status lines ignored, no flow control,
// parity checking off, DTR and RTS dropped, then the given format. Failures
// are not reported: a speed or format the driver refuses must not stop the
// open.
void ApplyLineFormat(PortHandle h, const LineFormat& format);
// Makes reads return at once with what has arrived; false when the device
// refuses (it is not a terminal).
bool SetNonBlockingTimeouts(PortHandle h);
// Raises or drops RTS and DTR; the result is not reported (a
// pseudo-terminal refuses modem control and must still work).
void ApplyLineControl(PortHandle h, bool rts, bool dtr);
void RaiseRts(PortHandle h, bool on);
// Never waits. -1 on a platform failure, else the byte count: 0 when nothing
// is waiting and also at end of file on a hung-up line.
int ReadBytes(PortHandle h, char* buf, int n);
// Writes n bytes within 1000 * n + 1000 ms and waits, within the same
// deadline, for them to leave the driver; false on a platform failure or
// when the bytes could not all be written in time.
bool WriteBytes(PortHandle h, const char* buf, int n);
// WriteBytes with an explicit deadline, for tests of the bound.
bool WriteBytesWithin(PortHandle h, const char* buf, int n, long long timeoutMs);
// The handshakes the driver has on (another program may have left them so)
// that can hold the output back, for a failure's detail: their names as
// English texts of the catalogue (CliText.h), none when none is on. The port
// does not change them: it sets only speed and format.
std::vector<const char*> FlowControlLeftOn(PortHandle h);
// Closes a handle OpenDevice gave; the exclusive mode it set is dropped.
void CloseDevice(PortHandle h);

}  // namespace portsys

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>

#include "CliText.h"
#include "CommCallsWin32.h"
#include "PortSystem.h"
#include "WideTextWin32.h"

namespace {

// Flags kept by Open: fParity, fDtrControl and fRtsControl cleared (no parity
// checking, DTR and RTS disabled), everything else as the driver had it.
constexpr DWORD kOpenFlagsMask = 0xFFFFCFCD;
// Flags kept by SetLineControl: only fDtrControl and fRtsControl cleared.
constexpr DWORD kLineControlMask = 0xFFFFCFCF;
constexpr DWORD kDtrControlShift = 4;
constexpr DWORD kRtsControlShift = 12;

// The bit-field word follows DCBlength and BaudRate.
constexpr size_t kDcbFlagsOffset = 2 * sizeof(DWORD);
static_assert(offsetof(DCB, wReserved) == kDcbFlagsOffset + sizeof(DWORD),
              "DCB flags word is not where the masks expect it");

const CommCalls kSystemCalls = {CreateFileW,     GetCommState,       SetCommState, GetCommTimeouts,
                                SetCommTimeouts, EscapeCommFunction, ReadFile,     WriteFile,
                                ClearCommError,  CloseHandle,        Sleep};
const CommCalls* g_calls = &kSystemCalls;

const CommCalls& Calls() { return *g_calls; }

// The one place where a Win32 result becomes ours. Serial handles here are
// synchronous, so there is no pending or interrupted state to retry: FALSE
// is a failure whatever GetLastError says.
bool Succeeded(BOOL result) { return result != FALSE; }

// A DCB as the driver reports it; zeroed with its length set when the read
// fails, which the port rules do not test for.
DCB ReadDcb(PortHandle h) {
  DCB dcb;
  std::memset(&dcb, 0, sizeof dcb);
  dcb.DCBlength = sizeof dcb;
  Calls().getCommState(h, &dcb);
  return dcb;
}

// The one place where GetLastError from opening a device becomes a
// problem. Windows opens a COM port for one handle at a time, so a refusal
// of access is another program holding it (the error the system gives
// whatever the holder is: a terminal program, a modem service, a second
// zeta7ctl).
PortProblem ProblemOfOpenError(DWORD err) {
  switch (err) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DEV_NOT_EXIST:  // unplugged while the name was still listed
      return PortProblem::kMissing;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      return PortProblem::kBusy;
    default:
      return PortProblem::kOther;
  }
}

}  // namespace

const CommCalls& SystemCommCalls() { return kSystemCalls; }

void UseCommCalls(const CommCalls* calls) { g_calls = calls != nullptr ? calls : &kSystemCalls; }

const CommCalls& CommCallsInUse() { return Calls(); }

DWORD DcbFlags(const DCB& dcb) {
  DWORD flags;
  std::memcpy(&flags, reinterpret_cast<const char*>(&dcb) + kDcbFlagsOffset, sizeof flags);
  return flags;
}

void SetDcbFlags(DCB* dcb, DWORD flags) {
  std::memcpy(reinterpret_cast<char*>(dcb) + kDcbFlagsOffset, &flags, sizeof flags);
}

namespace portsys {

// COMn is a device name of its own here. A [ports] entry still names the
// device for its number, as elsewhere: a port driver that gives its ports
// other names (\\.\CNCA0), or a path on zeta7ctl's command line. A name
// that is not valid UTF-8 opens nothing rather than some other device.
PortHandle OpenDevice(int n, const ComMap& map, PortOpenError* error) {
  const auto entry = map.find(n);
  if (entry != map.end() && !entry->second.empty()) return OpenDevicePath(entry->second, error);
  return OpenDevicePath("\\\\.\\COM" + std::to_string(n), error);
}

PortHandle OpenDevicePath(const std::string& path, PortOpenError* error) {
  std::wstring name;
  if (!win32::ToWide(path, &name)) {
    if (error != nullptr) {
      *error = {PortProblem::kOther, win32::SystemErrorText(ERROR_NO_UNICODE_TRANSLATION)};
    }
    return kNoPort;
  }
  HANDLE h = Calls().createFile(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD err = GetLastError();
    if (error != nullptr) *error = {ProblemOfOpenError(err), win32::SystemErrorText(err)};
    return kNoPort;
  }
  if (error != nullptr) *error = {};
  return h;
}

void ApplyLineFormat(PortHandle h, const LineFormat& format) {
  DCB dcb = ReadDcb(h);
  SetDcbFlags(&dcb, DcbFlags(dcb) & kOpenFlagsMask);
  dcb.BaudRate = static_cast<DWORD>(format.baud);
  dcb.ByteSize = static_cast<BYTE>(format.byteSize & 0xFF);
  dcb.Parity = static_cast<BYTE>(format.parity & 0xFF);
  dcb.StopBits = static_cast<BYTE>(format.stopBits & 0xFF);
  // A speed or format the driver refuses must not stop the open.
  Calls().setCommState(h, &dcb);
}

bool SetNonBlockingTimeouts(PortHandle h) {
  COMMTIMEOUTS t;
  if (!Succeeded(Calls().getCommTimeouts(h, &t))) return false;
  t.ReadIntervalTimeout = MAXDWORD;
  t.ReadTotalTimeoutMultiplier = 0;
  t.ReadTotalTimeoutConstant = 0;
  t.WriteTotalTimeoutMultiplier = 1000;
  t.WriteTotalTimeoutConstant = 1000;
  return Succeeded(Calls().setCommTimeouts(h, &t));
}

void ApplyLineControl(PortHandle h, bool rts, bool dtr) {
  DCB dcb = ReadDcb(h);
  DWORD flags = DcbFlags(dcb) & kLineControlMask;
  if (rts) flags |= static_cast<DWORD>(RTS_CONTROL_ENABLE) << kRtsControlShift;
  if (dtr) flags |= static_cast<DWORD>(DTR_CONTROL_ENABLE) << kDtrControlShift;
  SetDcbFlags(&dcb, flags);
  Calls().setCommState(h, &dcb);
}

void RaiseRts(PortHandle h, bool on) { Calls().escapeCommFunction(h, on ? SETRTS : CLRRTS); }

int ReadBytes(PortHandle h, char* buf, int n) {
  DWORD got = 0;
  if (!Succeeded(Calls().readFile(h, buf, static_cast<DWORD>(n), &got, nullptr))) return -1;
  return static_cast<int>(got);
}

namespace {

// Waits, until the deadline, for the driver's output queue to empty. Not
// FlushFileBuffers: with a handshake line held low that waits for ever. A
// driver that cannot tell its queue has nothing to wait for. Between looks
// it sleeps as long as the queued bytes take on the line (ten bits a byte),
// not a millisecond at a time: on Windows every Sleep lasts at least a
// timer tick, about 15.6 ms, and a thousand looks a second would be waste.
bool DrainedBy(PortHandle h, ULONGLONG deadline) {
  DWORD baud = 0;
  for (;;) {
    DWORD errors = 0;
    COMSTAT stat{};
    if (!Succeeded(Calls().clearCommError(h, &errors, &stat)) || stat.cbOutQue == 0) return true;
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return false;
    if (baud == 0) baud = ReadDcb(h).BaudRate;
    const ULONGLONG lineMs = baud > 0 ? (10000ULL * stat.cbOutQue + baud - 1) / baud : 1;
    Calls().sleep(static_cast<DWORD>(std::max<ULONGLONG>(1, std::min(lineMs, deadline - now))));
  }
}

bool WriteAndDrain(PortHandle h, const char* buf, int n, ULONGLONG deadline) {
  DWORD put = 0;
  if (!Succeeded(Calls().writeFile(h, buf, static_cast<DWORD>(n), &put, nullptr))) return false;
  return put == static_cast<DWORD>(n) && DrainedBy(h, deadline);
}

}  // namespace

// The write time-outs that Open set bound the write; a write cut short by
// them reports fewer bytes, which counts as a failure.
bool WriteBytes(PortHandle h, const char* buf, int n) {
  return WriteAndDrain(h, buf, n, GetTickCount64() + 1000ULL * static_cast<ULONGLONG>(n) + 1000);
}

std::vector<const char*> FlowControlLeftOn(PortHandle h) {
  const DCB dcb = ReadDcb(h);
  std::vector<const char*> on;
  const auto add = [&on](bool set, const char* what) {
    if (set) on.push_back(what);
  };
  add(dcb.fOutxCtsFlow, N_("CTS flow control"));
  add(dcb.fOutxDsrFlow, N_("DSR flow control"));
  add(dcb.fDsrSensitivity, N_("DSR sensitivity"));
  add(dcb.fOutX || dcb.fInX, "XON/XOFF");
  return on;
}

bool WriteBytesWithin(PortHandle h, const char* buf, int n, long long timeoutMs) {
  COMMTIMEOUTS saved;
  if (!Succeeded(Calls().getCommTimeouts(h, &saved))) return false;
  COMMTIMEOUTS bounded = saved;
  bounded.WriteTotalTimeoutMultiplier = 0;
  // Both zero would mean no bound at all.
  bounded.WriteTotalTimeoutConstant = static_cast<DWORD>(timeoutMs > 0 ? timeoutMs : 1);
  if (!Succeeded(Calls().setCommTimeouts(h, &bounded))) return false;
  const ULONGLONG start = GetTickCount64();
  const bool ok =
      WriteAndDrain(h, buf, n, start + static_cast<ULONGLONG>(timeoutMs > 0 ? timeoutMs : 1));
  Calls().setCommTimeouts(h, &saved);
  return ok;
}

void CloseDevice(PortHandle h) { Calls().closeHandle(h); }

}  // namespace portsys

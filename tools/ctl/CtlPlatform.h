// What zeta7ctl needs of the operating system beyond the standard library
// and ToolConsole.h: the interrupt requests (Ctrl+C, termination, hang-up),
// the terminal, device names and the record file. One implementation file
// per platform (CtlPlatformPosix.cpp, CtlPlatformWin32.cpp). Called from the
// main thread; the interrupt state is then read by every unit's thread.
#pragma once

#include <atomic>
#include <ctime>
#include <string>
#include <vector>

#include "PortSystem.h"
#include "ProgramSettings.h"

// Set by the handlers only. The first request stops new commands; a second
// one gives up the waits in flight.
struct InterruptState {
  std::atomic<int> signal{0};  // the first request's signal number (Windows: SIGINT or SIGHUP)
  std::atomic<int> count{0};

  bool Requested() const { return count.load() > 0; }
  bool GivenUp() const { return count.load() > 1; }
  // 128 + the first request's signal, as a shell reports a process it ends.
  int ExitCode() const { return 128 + signal.load(); }
};

// From now on SIGINT, SIGTERM and SIGHUP (on Windows Ctrl+C, Ctrl+Break and
// the console's close, log-off and shut-down events) only count in *state,
// acknowledged at once on standard error. The state must outlive the process's
// handling of signals.
void InstallInterruptHandler(InterruptState* state);
// The records are written and the ports closed. Windows ends a process
// whose console is closed as soon as the handler returns, so there the
// handler waits for this (within the few seconds the system allows).
void InterruptHandled();

// Whether the progress line may be drawn: standard error is a terminal that
// can move its cursor (not TERM=dumb); and that terminal's width in columns
// (0 when unknown).
bool ProgressTerminal();
int TerminalColumns();

// Broken-down UTC time, thread-safe.
std::tm UtcTime(std::time_t t);

// Whether a -p argument that is not COMn names a device by its path
// ("/dev/ttyUSB0"; "\\.\COM12" on Windows).
bool IsDevicePathName(const std::string& name);

// The device COM port n leads to, as CComPort would find it, with the
// device tree of roots; "" when none.
std::string ResolveComIn(int n, const ComMap& map, const DeviceRoots& roots);

// Whether something is there to open: false for a path that leads to
// nothing (an unplugged adapter's by-id link; on Windows a COM name that
// the system no longer knows), so that a missing port is a usage error on
// every system.
bool DevicePresent(const std::string& device);

// The /dev/serial/by-id names of the tree of roots (USB adapters by their
// serial numbers); none on Windows, which names no devices so.
std::vector<std::string> ByIdPaths(const DeviceRoots& roots);

// One text for every name of one device, so that a device named twice in a
// batch is caught before two threads share it: the path with its links
// resolved; on Windows, where names are case-blind, in capitals.
std::string DeviceIdentity(const std::string& device);

// The computer's name, and the name the user logged in with ("" when the
// system gives none), for the records.
std::string HostName();
std::string LoginName();

// The record file: whole lines appended, the same bytes on every system.
// Each line goes out in one write and reaches the file before Append
// returns (a reader following the file sees each unit as it ends); a line
// that cannot be written whole is taken back, so the file never holds half
// a record. Used from one thread at a time.
class CRecordFile {
 public:
  CRecordFile() = default;
  ~CRecordFile();
  CRecordFile(const CRecordFile&) = delete;
  CRecordFile& operator=(const CRecordFile&) = delete;

  // path is UTF-8. Its folder is made when missing. A FIFO that nobody
  // reads is refused (it would stall the batch), and so is a file without
  // a single write bit (read-only for root too); a folder or a socket is no
  // record. False with the reason in the system's words in *reason.
  bool Open(const std::string& path, std::string* reason = nullptr);
  bool Append(const std::string& line);
  // False when the system reports a failure at the close.
  bool Close();
  bool IsOpen() const;
  // Why the last Append or Close failed, in the system's words.
  const std::string& Error() const { return m_strError; }

 private:
  std::string m_strError;
#ifdef _WIN32
  void* m_hFile = nullptr;
#else
  int m_nFd = -1;
#endif
};

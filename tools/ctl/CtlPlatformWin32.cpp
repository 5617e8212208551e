#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "ComResolver.h"
#include "CtlPlatform.h"
#include "ToolConsole.h"
#include "WideTextWin32.h"

namespace {

// The system ends the process this long after a close, log-off or shut-down
// event reached the handler (5 s for a console close), returned or not; the
// handler gives the batch a little less to write its records.
constexpr DWORD kCloseGraceMs = 4500;

InterruptState* g_state = nullptr;
HANDLE g_handled = nullptr;  // manual-reset event: records written, ports closed

constexpr int kSigInt = 2;
constexpr int kSigHup = 1;

// Counts the request and says so; the system runs this on a thread of its
// own, so standard error is written as any thread writes it.
void Count(int sig, int requests) {
  if (g_state == nullptr) return;
  int none = 0;
  g_state->signal.compare_exchange_strong(none, sig);
  const int n = g_state->count.fetch_add(requests) + requests;
  if (n - requests < 1) WriteStderr("zeta7ctl: 中断します… (もう一度で応答の待ちを打ち切ります)\n");
  if (n - requests < 2 && n >= 2) WriteStderr("zeta7ctl: 応答の待ちを打ち切ります\n");
}

BOOL WINAPI OnConsoleControl(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      Count(kSigInt, 1);
      return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      // The console's hang-up. Returning ends the process at once and the
      // system ends it anyway a few seconds later, so the waits in flight
      // are given up at once and the records get that time.
      Count(kSigHup, 2);
      if (g_handled != nullptr) WaitForSingleObject(g_handled, kCloseGraceMs);
      return TRUE;
    default:
      return FALSE;
  }
}

HANDLE Stderr() { return GetStdHandle(STD_ERROR_HANDLE); }

}  // namespace

void InstallInterruptHandler(InterruptState* state) {
  g_state = state;
  if (g_handled == nullptr) g_handled = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  // A program started with CREATE_NEW_PROCESS_GROUP has Ctrl+C turned off;
  // a batch is still meant to stop on it.
  SetConsoleCtrlHandler(nullptr, FALSE);
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

void InterruptHandled() {
  if (g_handled != nullptr) SetEvent(g_handled);
}

bool ProgressTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(Stderr(), &mode) != 0;
}

int TerminalColumns() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(Stderr(), &info)) return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
}

std::tm UtcTime(std::time_t t) {
  std::tm tm{};
  gmtime_s(&tm, &t);
  return tm;
}

bool IsDevicePathName(const std::string& name) {
  return name.find('\\') != std::string::npos || name.find('/') != std::string::npos;
}

// "\\.\com3" and "\\.\COM3" are one port; a name that is not UTF-8 opens
// nothing and stays as it is.
std::string DeviceIdentity(const std::string& device) {
  std::wstring wide;
  if (!ToWide(device, &wide) || wide.empty()) return device;
  CharUpperBuffW(&wide[0], static_cast<DWORD>(wide.size()));
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                    0, nullptr, nullptr);
  if (n <= 0) return device;
  std::string upper(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &upper[0], n, nullptr,
                      nullptr);
  return upper;
}

std::string ResolveComIn(int n, const ComMap& map, const DeviceRoots&) {
  return ResolveComDevice(n, map);
}

bool DevicePresent(const std::string&) { return true; }

std::vector<std::string> ByIdPaths(const DeviceRoots&) { return {}; }

CRecordFile::~CRecordFile() { Close(); }

// Appended through a handle of its own position: the lines end in LF as on
// every system, and a line that did not go out whole is cut off again.
bool CRecordFile::Open(const std::string& path) {
  Close();
  std::wstring wide;
  if (path.empty() || !ToWide(path, &wide)) return false;
  const HANDLE h = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  m_hFile = h;
  return true;
}

bool CRecordFile::IsOpen() const { return m_hFile != nullptr; }

bool CRecordFile::Append(const std::string& line) {
  if (m_hFile == nullptr) return false;
  LARGE_INTEGER end{};
  if (!SetFilePointerEx(m_hFile, LARGE_INTEGER{}, &end, FILE_END)) return false;
  DWORD written = 0;
  const BOOL ok =
      WriteFile(m_hFile, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  if (ok && written == line.size()) return true;
  if (written > 0 && SetFilePointerEx(m_hFile, end, nullptr, FILE_BEGIN)) SetEndOfFile(m_hFile);
  return false;
}

bool CRecordFile::Close() {
  if (m_hFile == nullptr) return true;
  const BOOL ok = CloseHandle(m_hFile);
  m_hFile = nullptr;
  return ok != 0;
}

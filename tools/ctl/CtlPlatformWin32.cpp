#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "CtlPlatform.h"
#include "WideTextWin32.h"

namespace {

// The system ends the process this long after a close, log-off or shut-down
// event reached the handler (5 s for a console close), returned or not; the
// handler gives the batch a little less to write its records.
constexpr DWORD kCloseGraceMs = 4500;

std::atomic<bool>* g_interrupted = nullptr;
HANDLE g_handled = nullptr;  // manual-reset event: records written, ports closed

// Runs on a thread of its own that the system starts for the event.
BOOL WINAPI OnConsoleControl(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      if (g_interrupted != nullptr) g_interrupted->store(true);
      return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      // Returning ends the process at once, so the exchanges in flight get
      // the time the system gives before it ends it anyway.
      if (g_interrupted != nullptr) g_interrupted->store(true);
      if (g_handled != nullptr) WaitForSingleObject(g_handled, kCloseGraceMs);
      return TRUE;
    default:
      return FALSE;
  }
}

HANDLE Stdout() { return GetStdHandle(STD_OUTPUT_HANDLE); }

}  // namespace

void InstallInterruptHandler(std::atomic<bool>* flag) {
  g_interrupted = flag;
  if (g_handled == nullptr) g_handled = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  // A program started with CREATE_NEW_PROCESS_GROUP has Ctrl+C turned off;
  // a batch is still meant to stop on it.
  SetConsoleCtrlHandler(nullptr, FALSE);
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

void InterruptHandled() {
  if (g_handled != nullptr) SetEvent(g_handled);
}

bool StdoutIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(Stdout(), &mode) != 0;
}

int TerminalColumns() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(Stdout(), &info)) return 0;
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

// Binary, so that the lines end in LF as on every system and a record file
// reads the same wherever it was written.
std::FILE* OpenRecordFile(const std::string& path) {
  std::wstring wide;
  if (path.empty() || !ToWide(path, &wide)) return nullptr;
  return _wfopen(wide.c_str(), L"ab");
}

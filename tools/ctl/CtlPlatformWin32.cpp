#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <filesystem>

#include "ComResolver.h"
#include "CtlPlatform.h"
#include "CtlText.h"
#include "ScopedHandleWin32.h"
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
  if (n - requests < 1) WriteStderr(std::string("zeta7ctl: ") + Tr(kTextStopping) + "\n");
  if (n - requests < 2 && n >= 2) {
    WriteStderr(std::string("zeta7ctl: ") + Tr(kTextStopWaiting) + "\n");
  }
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
  std::string upper;
  if (!win32::ToWide(device, &wide) || wide.empty()) return device;
  CharUpperBuffW(&wide[0], static_cast<DWORD>(wide.size()));
  return win32::ToUtf8(wide, &upper) ? upper : device;
}

std::string ResolveComIn(int n, const ComMap& map, const DeviceRoots&) {
  return ResolveComDevice(n, map);
}

// Windows names its ports without files: a port whose adapter is gone has
// no DOS name left ("COM12" for "\\.\COM12"), which the system tells
// without opening anything. A name that stays while its device is gone
// (Wine keeps a mapped name whose path has gone) is left to the open.
bool DevicePresent(const std::string& device) {
  std::wstring wide;
  if (!win32::ToWide(device, &wide)) return true;  // the open reports the name
  const std::wstring prefix = L"\\\\.\\";
  if (wide.compare(0, prefix.size(), prefix) != 0) return true;
  wchar_t target[1024];
  return QueryDosDeviceW(wide.substr(prefix.size()).c_str(), target, 1024) != 0 ||
         GetLastError() != ERROR_FILE_NOT_FOUND;
}

std::string HostName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  std::string utf8;
  return GetComputerNameW(name, &size) && win32::ToUtf8(name, &utf8) ? utf8 : std::string();
}

std::string LoginName() {
  wchar_t name[257] = {};
  DWORD size = 257;
  std::string utf8;
  return GetUserNameW(name, &size) && win32::ToUtf8(name, &utf8) ? utf8 : std::string();
}

std::vector<std::string> ByIdPaths(const DeviceRoots&) { return {}; }

CRecordFile::~CRecordFile() { Close(); }

// A handle that may only append (FILE_APPEND_DATA without FILE_WRITE_DATA):
// Windows puts every write at the end of the file as one step, as O_APPEND
// does, so two zeta7ctl runs recording to one file keep every line whole.
// Wine (and a share whose server does not append as one step) finds the end
// first and writes there after, so each append also holds a lock that every
// zeta7ctl takes for it (a byte far past any end, so that no reader of the
// file meets it). Read access is what the lock needs; the lines end in LF as
// on every system.
bool CRecordFile::Open(const std::string& path, std::string* reason) {
  Close();
  std::string ignored;
  std::string& why = reason != nullptr ? *reason : ignored;
  std::wstring wide;
  if (path.empty() || !win32::ToWide(path, &wide)) {
    why = win32::SystemErrorText(ERROR_INVALID_NAME);
    return false;
  }
  const std::filesystem::path folder = std::filesystem::path(wide).parent_path();
  std::error_code ec;
  if (!folder.empty() && !std::filesystem::is_directory(folder, ec) &&
      !std::filesystem::create_directories(folder, ec) && ec) {
    why = Tr(kTextFolderNotMade) +
          (" (" + win32::SystemErrorText(static_cast<DWORD>(ec.value())) + ")");
    return false;
  }
  win32::CScopedHandle file(CreateFileW(
      wide.c_str(), FILE_READ_DATA | FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) {
    why = win32::SystemErrorText(GetLastError());
    return false;
  }
  m_hFile = file.Release();
  m_strError.clear();
  return true;
}

bool CRecordFile::IsOpen() const { return m_hFile != nullptr; }

// A line that went out in part (a full disk) is cut off again through a
// second handle that may write, back to the size before it, as the POSIX
// side does.
bool CRecordFile::Append(const std::string& line) {
  if (m_hFile == nullptr) return false;
  OVERLAPPED lock{};
  lock.Offset = 0xFFFFFFFE;
  lock.OffsetHigh = 0x7FFFFFFF;
  if (!LockFileEx(m_hFile, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &lock)) {
    m_strError = win32::SystemErrorText(GetLastError());
    return false;
  }
  LARGE_INTEGER end{};
  const bool sized = GetFileSizeEx(m_hFile, &end) != FALSE;
  DWORD written = 0;
  const bool whole =
      WriteFile(m_hFile, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
      written == line.size();
  if (!whole) m_strError = win32::SystemErrorText(written > 0 ? ERROR_DISK_FULL : GetLastError());
  if (!whole && written > 0 && sized) {
    const win32::CScopedHandle cut(
        ReOpenFile(m_hFile, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, 0));
    if (cut.IsValid() && SetFilePointerEx(cut.Get(), end, nullptr, FILE_BEGIN)) {
      SetEndOfFile(cut.Get());
    }
  }
  UnlockFileEx(m_hFile, 0, 1, 0, &lock);
  return whole;
}

bool CRecordFile::Close() {
  win32::CScopedHandle file(m_hFile);
  m_hFile = nullptr;
  if (file.Close()) return true;
  m_strError = win32::SystemErrorText(GetLastError());
  return false;
}

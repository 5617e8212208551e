// Before windows.h, which without WIN32_LEAN_AND_MEAN brings the old winsock.h.
#include <winsock2.h>
//
#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

#include "ScopedHandleWin32.h"
#include "SimProcess.h"
#include "WideTextWin32.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kStopWaitMs = 2000;

int MillisLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// "what: reason" for a Win32 or Winsock error code.
std::string Win32Error(const std::string& what, DWORD code) {
  return what + ": " + win32::SystemErrorText(code);
}

class CSocket {
 public:
  explicit CSocket(SOCKET s = INVALID_SOCKET) : m_s(s) {}
  ~CSocket() { Close(); }
  CSocket(const CSocket&) = delete;
  CSocket& operator=(const CSocket&) = delete;
  SOCKET Get() const { return m_s; }
  void Reset(SOCKET s) {
    Close();
    m_s = s;
  }
  void Close() {
    if (m_s != INVALID_SOCKET) closesocket(m_s);
    m_s = INVALID_SOCKET;
  }

 private:
  SOCKET m_s;
};

template <typename Fn>
Fn WineExport(const char* name) {
  const FARPROC proc = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name);
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(proc));
}

const char* const kNotWine = "kernel32 has no wine_get_unix_file_name: not running under Wine";

// The Unix path Wine maps a Windows path to (the last part need not exist).
bool UnixPath(const std::string& path, std::string& unixPath, std::string& error) {
  using Fn = char*(CDECL*)(const wchar_t*);
  const Fn toUnix = WineExport<Fn>("wine_get_unix_file_name");
  if (toUnix == nullptr) {
    error = kNotWine;
    return false;
  }
  char* name = toUnix(win32::Wide(path).c_str());
  if (name == nullptr) {
    error = path + ": Wine knows no Unix path for it";
    return false;
  }
  unixPath = name;
  HeapFree(GetProcessHeap(), 0, name);
  return true;
}

bool WindowsPath(const std::string& unixPath, std::string& path, std::string& error) {
  using Fn = wchar_t*(CDECL*)(const char*);
  const Fn toDos = WineExport<Fn>("wine_get_dos_file_name");
  if (toDos == nullptr) {
    error = kNotWine;
    return false;
  }
  wchar_t* name = toDos(unixPath.c_str());
  if (name == nullptr) {
    error = unixPath + ": Wine knows no Windows path for it";
    return false;
  }
  path = win32::Utf8(name);
  HeapFree(GetProcessHeap(), 0, name);
  return true;
}

// $ZETA7_SIM as a Windows path.
bool ProgramFromEnvironment(std::string& program, std::string& error) {
  wchar_t value[4096];
  const DWORD n = GetEnvironmentVariableW(L"ZETA7_SIM", value, 4096);
  if (n == 0 || n >= 4096) {
    error = "ZETA7_SIM is not set (scripts/wine-test.sh sets it to the Linux zeta7-sim)";
    return false;
  }
  const std::string path = win32::Utf8(std::wstring_view(value, n));
  if (path[0] != '/') {
    program = path;
    return true;
  }
  if (WindowsPath(path, program, error)) return true;
  error = "ZETA7_SIM: " + error;
  return false;
}

// Quoted so that the command line splits back into exactly these arguments,
// by the rules of CommandLineToArgvW, which Wine also follows when it builds
// a Unix program's argv.
std::wstring QuoteArg(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
  std::wstring quoted = L"\"";
  for (size_t i = 0;; ++i) {
    size_t backslashes = 0;
    for (; i < arg.size() && arg[i] == L'\\'; ++i) ++backslashes;
    if (i == arg.size()) {
      quoted.append(backslashes * 2, L'\\');
      break;
    }
    if (arg[i] == L'"') {
      quoted.append(backslashes * 2 + 1, L'\\');
    } else {
      quoted.append(backslashes, L'\\');
    }
    quoted += arg[i];
  }
  return quoted + L'"';
}

// The caller's arguments with the paths of --link and --log made Unix paths.
bool UnixArgs(const std::vector<std::string>& args, std::vector<std::string>& out,
              std::string& error) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string option;
    std::string value;
    bool separate = false;
    for (const char* name : {"--link", "--log"}) {
      const std::string prefix = std::string(name) + "=";
      if (arg == name) {
        option = name;
        separate = true;
        if (i + 1 < args.size()) value = args[i + 1];
      } else if (arg.compare(0, prefix.size(), prefix) == 0) {
        option = name;
        value = arg.substr(prefix.size());
      }
    }
    if (option.empty()) {
      out.push_back(arg);
      continue;
    }
    std::string unixPath;
    if (value.empty()) {
      error = option + ": no path given";
      return false;
    }
    if (!UnixPath(value, unixPath, error)) return false;
    out.push_back(option);
    out.push_back(unixPath);
    if (separate) ++i;
  }
  return true;
}

bool StartWinsock(std::string& error) {
  static const int result = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data);
  }();
  if (result != 0) error = Win32Error("WSAStartup", static_cast<DWORD>(result));
  return result == 0;
}

// A connected pair of loopback TCP sockets. Wine gives a Unix child only
// handles it can turn into file descriptors, which its pipes are not; a
// socket is one.
bool SocketPair(CSocket& ours, CSocket& theirs, std::string& error) {
  if (!StartWinsock(error)) return false;
  CSocket listener(WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, 0));
  ours.Reset(WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, 0));
  if (listener.Get() == INVALID_SOCKET || ours.Get() == INVALID_SOCKET) {
    error = Win32Error("socket", static_cast<DWORD>(WSAGetLastError()));
    return false;
  }
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int size = sizeof address;
  sockaddr* const a = reinterpret_cast<sockaddr*>(&address);
  if (bind(listener.Get(), a, sizeof address) != 0 || getsockname(listener.Get(), a, &size) != 0 ||
      listen(listener.Get(), 1) != 0 || connect(ours.Get(), a, sizeof address) != 0) {
    error = Win32Error("loopback socket", static_cast<DWORD>(WSAGetLastError()));
    return false;
  }
  // The connection is queued once connect returns, so accept does not wait;
  // one that is not ours (another local program found the port first) is
  // refused rather than handed to the unit.
  sockaddr_in mine = {};
  size = sizeof mine;
  getsockname(ours.Get(), reinterpret_cast<sockaddr*>(&mine), &size);
  sockaddr_in peer = {};
  size = sizeof peer;
  theirs.Reset(accept(listener.Get(), reinterpret_cast<sockaddr*>(&peer), &size));
  if (theirs.Get() == INVALID_SOCKET) {
    error = Win32Error("accept", static_cast<DWORD>(WSAGetLastError()));
    return false;
  }
  if (peer.sin_port != mine.sin_port || peer.sin_addr.s_addr != mine.sin_addr.s_addr) {
    error = "loopback socket: a stranger connected first";
    return false;
  }
  return true;
}

enum class Wait { kData, kEnd, kTimeout };

// Waits up to timeoutMs for the socket to be readable: data, or its end
// (which a reset also is: the unit has gone either way).
Wait WaitReadable(SOCKET s, int timeoutMs) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  timeval tv = {timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  const int ready = select(0, &set, nullptr, nullptr, &tv);
  if (ready == 0) return Wait::kTimeout;
  if (ready < 0) return Wait::kEnd;
  char c;
  const int n = recv(s, &c, 1, MSG_PEEK);
  return n > 0 ? Wait::kData : Wait::kEnd;
}

// True once the socket has reached its end within timeoutMs; anything the
// unit still writes to its output is dropped.
bool ReachesEnd(SOCKET s, int timeoutMs) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    switch (WaitReadable(s, MillisLeft(deadline))) {
      case Wait::kEnd:
        return true;
      case Wait::kTimeout:
        return false;
      case Wait::kData: {
        char buf[256];
        recv(s, buf, sizeof buf, 0);
        break;
      }
    }
  }
}

// A new empty file in the temporary folder.
bool TempFile(const wchar_t* prefix, std::string& path, std::string& error) {
  wchar_t folder[MAX_PATH + 1];
  wchar_t name[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, folder);
  if (n == 0 || n > MAX_PATH || GetTempFileNameW(folder, prefix, 0, name) == 0) {
    error = Win32Error("temporary file", GetLastError());
    return false;
  }
  path = win32::Utf8(name);
  return true;
}

}  // namespace

struct CSimProcess::CChild {
  CSocket socket;  // the unit's standard input and output

  // Shut down, not only closed: should a unit started later hold a copy of
  // this end, closing ours alone would not end the unit's input.
  ~CChild() { shutdown(socket.Get(), SD_SEND); }
};

CSimProcess::CSimProcess() = default;

CSimProcess::~CSimProcess() {
  // The unit may still append to the log until it has gone.
  Stop();
  if (!m_strLog.empty()) DeleteFileW(win32::Wide(m_strLog).c_str());
}

std::string CSimProcess::DefaultProgram() {
  std::string program;
  std::string error;
  return ProgramFromEnvironment(program, error) ? program : std::string();
}

bool CSimProcess::Start(const std::vector<std::string>& args, int timeoutMs) {
  std::string program;
  if (!ProgramFromEnvironment(program, m_strError)) return false;
  return Start(program, args, timeoutMs);
}

bool CSimProcess::Start(const std::string& program, const std::vector<std::string>& args,
                        int timeoutMs) {
  if (m_pChild) {
    m_strError = "the unit is already running";
    return false;
  }
  m_strDevice.clear();
  m_strError.clear();
  const std::wstring wideProgram = win32::Wide(program);
  if (GetFileAttributesW(wideProgram.c_str()) == INVALID_FILE_ATTRIBUTES) {
    m_strError = Win32Error(program, GetLastError());
    return false;
  }

  if (!m_strLog.empty()) DeleteFileW(win32::Wide(m_strLog).c_str());
  m_strLog.clear();
  std::string log;
  std::string unixLog;
  if (!TempFile(L"z7l", log, m_strError)) return false;
  m_strLog = log;
  std::vector<std::string> unixArgs;
  if (!UnixPath(log, unixLog, m_strError) || !UnixArgs(args, unixArgs, m_strError)) return false;
  unixArgs.insert(unixArgs.end(), {"--log", unixLog, "--quit-on-eof"});
  std::wstring commandLine = QuoteArg(wideProgram);
  for (const std::string& arg : unixArgs) commandLine += L" " + QuoteArg(win32::Wide(arg));

  std::unique_ptr<CChild> child(new CChild);
  CSocket theirs;
  if (!SocketPair(child->socket, theirs, m_strError)) return false;
  const HANDLE io = reinterpret_cast<HANDLE>(theirs.Get());
  SetHandleInformation(io, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  SetHandleInformation(reinterpret_cast<HANDLE>(child->socket.Get()), HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = io;
  startup.hStdOutput = io;
  // Wine hands a Unix child only its standard input and output; its errors
  // go where this program's own go, as they do on Linux.
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(wideProgram.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                      nullptr, &startup, &info)) {
    m_strError = Win32Error(program, GetLastError());
    return false;
  }
  // A Unix child comes without these; a Windows one would not.
  const win32::CScopedHandle thread(info.hThread);
  const win32::CScopedHandle process(info.hProcess);
  // Only the unit holds its end from here, so our end reaches EOF when it
  // exits.
  theirs.Close();
  m_pChild = std::move(child);

  // The first line is the device path.
  const SOCKET s = m_pChild->socket.Get();
  std::string line;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  bool gotLine = false;
  while (!gotLine) {
    const Wait ready = WaitReadable(s, MillisLeft(deadline));
    if (ready == Wait::kTimeout) {
      m_strError = "no device path from " + program + " in time";
      break;
    }
    char buf[256];
    const int n = ready == Wait::kData ? recv(s, buf, sizeof buf, 0) : 0;
    if (n <= 0) {
      m_strError = program + " exited before printing its device path";
      break;
    }
    line.append(buf, static_cast<size_t>(n));
    const size_t end = line.find('\n');
    if (end != std::string::npos) {
      line.resize(end);
      gotLine = true;
    }
  }
  if (!gotLine || line.empty()) {
    if (m_strError.empty()) m_strError = "empty device path";
    Kill();
    return false;
  }
  m_strDevice = line;
  return true;
}

bool CSimProcess::Running() {
  if (!m_pChild) return false;
  if (!ReachesEnd(m_pChild->socket.Get(), 0)) return true;
  m_nStatus = 0;
  m_pChild.reset();
  return false;
}

int CSimProcess::Stop() {
  if (!Running()) return m_nStatus;
  shutdown(m_pChild->socket.Get(), SD_SEND);
  if (ReachesEnd(m_pChild->socket.Get(), kStopWaitMs)) {
    m_nStatus = 0;
  } else {
    m_nStatus = -1;
    m_strError = "the unit did not end within " + std::to_string(kStopWaitMs / 1000) +
                 " s of its input closing";
  }
  m_pChild.reset();
  return m_nStatus;
}

// Without a process to signal, closing its input is all there is: it then
// ends within its poll interval by itself.
void CSimProcess::Kill() { m_pChild.reset(); }

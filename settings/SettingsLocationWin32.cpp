#include <windows.h>

#include <vector>

#include "SettingsLocation.h"
#include "UserDirKit/UserDirKit.h"
#include "WideTextWin32.h"

const char kPathSeparator = '\\';
const char kPathSeparators[] = "\\/";
const char kMessageLineBreak[] = "\r\n";

namespace {

// A path longer than MAX_PATH is possible with long-path support, so the
// buffer grows until the name fits; this bound only stops a runaway loop.
constexpr DWORD kMaxModulePath = 32768;

std::optional<std::string> ReadOwnPath() {
  std::vector<wchar_t> buf(MAX_PATH);
  for (;;) {
    const DWORD size = static_cast<DWORD>(buf.size());
    const DWORD n = GetModuleFileNameW(nullptr, buf.data(), size);
    if (n == 0) return std::nullopt;
    if (n < size) {
      std::string path;
      if (!win32::ToUtf8(std::wstring_view(buf.data(), n), &path)) return std::nullopt;
      return path;
    }
    if (size >= kMaxModulePath) return std::nullopt;
    buf.resize(static_cast<size_t>(size) * 2);  // cut short: the result is the buffer's size
  }
}

}  // namespace

LocationServices SystemLocationServices() {
  LocationServices services;
  services.programPath = ReadOwnPath;
  services.fileExists = udk_FileExists;
  services.getUserAppFolder = udk_GetUserAppFolder;
  services.makeFolder = udk_MakeFolder;
  services.lastErrorText = [] { return win32::SystemErrorText(GetLastError()); };
  return services;
}

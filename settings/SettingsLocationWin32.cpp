#include <windows.h>

#include <vector>

#include "SettingsLocation.h"
#include "TextWin32.h"
#include "UserDirKit/UserDirKit.h"

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
      if (!ToUtf8(std::wstring(buf.data(), n), &path)) return std::nullopt;
      return path;
    }
    if (size >= kMaxModulePath) return std::nullopt;
    buf.resize(static_cast<size_t>(size) * 2);  // cut short: the result is the buffer's size
  }
}

// The system's words for the last error (in the user's language), without
// the line break FormatMessage ends them with.
std::string LastErrorText() {
  const DWORD err = GetLastError();
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, err, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring wide = n > 0 && text != nullptr ? std::wstring(text, n) : std::wstring();
  LocalFree(text);
  while (!wide.empty() && (wide.back() == L'\r' || wide.back() == L'\n' || wide.back() == L' ')) {
    wide.pop_back();
  }
  std::string utf8;
  if (wide.empty() || !ToUtf8(wide, &utf8)) return "error " + std::to_string(err);
  return utf8;
}

}  // namespace

LocationServices SystemLocationServices() {
  LocationServices services;
  services.programPath = ReadOwnPath;
  services.fileExists = udk_FileExists;
  services.getUserAppFolder = udk_GetUserAppFolder;
  services.makeFolder = udk_MakeFolder;
  services.lastErrorText = LastErrorText;
  return services;
}

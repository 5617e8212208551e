#include <windows.h>
// After windows.h:
#include <knownfolders.h>
#include <shlobj.h>

#include <cstring>
#include <string>

#include "UserDirKit/UserDirKit.h"
#include "WideTextWin32.h"

namespace {

// Windows 7 with Service Pack 1 is the oldest system supported.
constexpr DWORD kMinMajor = 6;
constexpr DWORD kMinMinor = 1;
constexpr WORD kMinServicePack = 1;

using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOEXW*);

// The true system version: GetVersionEx reports what the program's manifest
// claims to know about, RtlGetVersion what is running.
bool SystemIsSupported() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  if (ntdll == nullptr) return false;
  // Through void(*)(), which any function pointer type converts to cleanly.
  const auto fn = reinterpret_cast<RtlGetVersionFn>(
      reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "RtlGetVersion")));
  if (fn == nullptr) return false;
  OSVERSIONINFOEXW info;
  std::memset(&info, 0, sizeof info);
  info.dwOSVersionInfoSize = sizeof info;
  if (fn(&info) != 0) return false;
  if (info.dwMajorVersion != kMinMajor) return info.dwMajorVersion > kMinMajor;
  if (info.dwMinorVersion != kMinMinor) return info.dwMinorVersion > kMinMinor;
  return info.wServicePackMajor >= kMinServicePack;
}

bool RoamingAppData(std::string* folder) {
  PWSTR path = nullptr;
  const HRESULT hr = SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_DEFAULT, nullptr, &path);
  // The path is allocated even on some failures; it is freed on every road.
  const bool ok =
      SUCCEEDED(hr) && path != nullptr && win32::ToUtf8(path, folder) && !folder->empty();
  CoTaskMemFree(path);
  return ok;
}

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

extern "C" UDK_API int UDK_CALL udk_FileExists(const char* path) {
  try {
    std::wstring wide;
    if (path == nullptr || path[0] == '\0' || !win32::ToWide(path, &wide)) return 0;
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    return (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
               ? 1
               : 0;
  } catch (...) {
    return 0;  // out of memory
  }
}

extern "C" UDK_API int UDK_CALL udk_GetUserAppFolder(char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return -1;
  buffer[0] = '\0';
  try {
    std::string folder;
    if (!SystemIsSupported() || !RoamingAppData(&folder)) return -1;
    if (folder.size() + 1 > static_cast<size_t>(size)) return -1;
    std::memcpy(buffer, folder.c_str(), folder.size() + 1);
    return static_cast<int>(folder.size());
  } catch (...) {
    return -1;  // out of memory; nothing may cross the C boundary
  }
}

extern "C" UDK_API int UDK_CALL udk_MakeFolder(const char* folder) {
  if (folder == nullptr || folder[0] == '\0') return -1;
  try {
    std::wstring path;
    if (!win32::ToWide(folder, &path)) return -1;
    // Every prefix that ends before a separator, then the whole path. A
    // drive ("C:"), a server or share name, or a folder already there fails
    // to be created and is passed over: whether the whole path is a folder
    // at the end decides, so a file in the way still gives -1.
    // On failure the error of the last refused creation is left for the
    // caller to report (GetLastError).
    DWORD err = ERROR_SUCCESS;
    auto make = [&err](const std::wstring& folder) {
      if (!IsFolder(folder) && !CreateDirectoryW(folder.c_str(), nullptr)) err = GetLastError();
    };
    for (size_t pos = path.find_first_of(L"\\/", 1); pos != std::wstring::npos;
         pos = path.find_first_of(L"\\/", pos + 1)) {
      make(path.substr(0, pos));
    }
    make(path);
    if (IsFolder(path)) return 0;
    SetLastError(err != ERROR_SUCCESS ? err : ERROR_PATH_NOT_FOUND);
    return -1;
  } catch (...) {
    return -1;
  }
}

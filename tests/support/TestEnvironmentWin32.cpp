#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "TestEnvironment.h"

namespace {

// Where the private registry view lives while a test program runs. (Wine's
// shell does not look into a volatile key, so it is an ordinary one, removed
// at exit and again at the next start should a program have been killed.)
constexpr const wchar_t* kPrivateKeyRoot = L"Software\\Quillbeck\\zeta7-tests\\";
constexpr const wchar_t* kShellFolders =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

std::wstring g_privateKey;

void RemovePrivateKey() {
  RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  RegDeleteTreeW(HKEY_CURRENT_USER, g_privateKey.c_str());
}

void Fail(const char* what) {
  std::fprintf(stderr, "test environment: %s failed (error %lu)\n", what, GetLastError());
  std::exit(3);
}

// From now on this process sees HKEY_CURRENT_USER as a fresh key of its own,
// whose shell folders name appData as the roaming application-data folder.
void RedirectUserRegistry(const std::wstring& name, const std::wstring& appData) {
  HKEY user = nullptr;
  const std::wstring keyPath = kPrivateKeyRoot + name;
  RegDeleteTreeW(HKEY_CURRENT_USER, keyPath.c_str());
  if (RegCreateKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &user, nullptr) != ERROR_SUCCESS) {
    Fail("creating the private user key");
  }
  HKEY folders = nullptr;
  if (RegCreateKeyExW(user, kShellFolders, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                      nullptr, &folders, nullptr) != ERROR_SUCCESS ||
      RegSetValueExW(folders, L"AppData", 0, REG_SZ, reinterpret_cast<const BYTE*>(appData.c_str()),
                     static_cast<DWORD>((appData.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS) {
    Fail("naming the private application-data folder");
  }
  RegCloseKey(folders);
  if (RegOverridePredefKey(HKEY_CURRENT_USER, user) != ERROR_SUCCESS) Fail("RegOverridePredefKey");
  RegCloseKey(user);
  g_privateKey = keyPath;
  std::atexit(RemovePrivateKey);
}

}  // namespace

void PrepareTestEnvironment() {
  wchar_t buf[32768];
  const DWORD n = GetModuleFileNameW(nullptr, buf, static_cast<DWORD>(std::size(buf)));
  if (n == 0 || n >= std::size(buf)) Fail("GetModuleFileNameW");
  const std::wstring exe(buf, n);
  const std::wstring bin = exe.substr(0, exe.rfind(L'\\'));
  const std::wstring name = exe.substr(exe.rfind(L'\\') + 1);
  const std::wstring home = bin + L"\\..\\test-home\\" + name;
  for (const std::wstring& folder :
       {bin + L"\\..\\test-home", home, home + L"\\AppData", home + L"\\AppData\\Roaming",
        home + L"\\AppData\\Local", home + L"\\Temp"}) {
    CreateDirectoryW(folder.c_str(), nullptr);
  }
  // Full paths, without the "..", as the system itself would give them.
  const DWORD length =
      GetFullPathNameW(home.c_str(), static_cast<DWORD>(std::size(buf)), buf, nullptr);
  if (length == 0 || length >= std::size(buf)) Fail("GetFullPathNameW");
  const std::wstring profile(buf, length);

  // A helper program started by a test may be given its folder instead.
  const wchar_t* given = _wgetenv(L"ZETA7_TEST_APPDATA");
  const std::wstring appData = given != nullptr ? given : profile + L"\\AppData\\Roaming";
  RedirectUserRegistry(name, appData);
  // _wputenv_s updates the C runtime's copy and the process environment.
  _wputenv_s(L"USERPROFILE", profile.c_str());
  _wputenv_s(L"APPDATA", appData.c_str());
  _wputenv_s(L"LOCALAPPDATA", (profile + L"\\AppData\\Local").c_str());
  _wputenv_s(L"TEMP", (profile + L"\\Temp").c_str());
  _wputenv_s(L"TMP", (profile + L"\\Temp").c_str());
  if (_wgetenv(L"ZETA7_BIN_DIR") == nullptr) _wputenv_s(L"ZETA7_BIN_DIR", bin.c_str());
}

#include <windows.h>

#include "UnitOnCom.h"
#include "WideTextWin32.h"

std::string ComMappingText(int, const std::string&) { return std::string(); }

std::string ComHintFor(int n, const std::string&) { return "\\\\.\\COM" + std::to_string(n); }

std::string UnitLinkPath(int n, const std::string&) {
  const std::wstring name = L"ZETA7_COM" + std::to_wstring(n) + L"_LINK";
  wchar_t value[4096];
  const DWORD length = GetEnvironmentVariableW(name.c_str(), value, 4096);
  if (length == 0 || length >= 4096) return std::string();
  return win32::Utf8(std::wstring_view(value, length));
}

#include <windows.h>

#include "UnitOnCom.h"

std::string ComMappingText(int, const std::string&) { return std::string(); }

std::string ComHintFor(int n, const std::string&) { return "\\\\.\\COM" + std::to_string(n); }

std::string UnitLinkPath(int n, const std::string&) {
  const std::wstring name = L"ZETA7_COM" + std::to_wstring(n) + L"_LINK";
  wchar_t value[4096];
  const DWORD length = GetEnvironmentVariableW(name.c_str(), value, 4096);
  if (length == 0 || length >= 4096) return std::string();
  const int size = static_cast<int>(length);
  const int n8 = WideCharToMultiByte(CP_UTF8, 0, value, size, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(n8), '\0');
  WideCharToMultiByte(CP_UTF8, 0, value, size, &utf8[0], n8, nullptr, nullptr);
  return utf8;
}

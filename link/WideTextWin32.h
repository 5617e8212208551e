// UTF-8 <-> UTF-16 at the Win32 calls of the link layer. Device names are UTF-8 inside the program
// (a [ports] entry, a path on the command line); only the W functions see
// UTF-16. Text that is not valid in its encoding converts to nothing
// (false), so that a damaged name never opens a different device.
#pragma once

#include <windows.h>

#include <string>

inline bool LinkToWide(const std::string& text, std::wstring* wide) {
  wide->clear();
  if (text.empty()) return true;
  const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                    static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return false;
  wide->resize(static_cast<size_t>(n));
  return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                             static_cast<int>(text.size()), &(*wide)[0], n) == n;
}

// Unpaired surrogates become U+FFFD: names read from the system are shown,
// never used to open anything.
inline std::string LinkToUtf8(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                    0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string text(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &text[0], n, nullptr,
                      nullptr);
  return text;
}

// UTF-8 <-> UTF-16 at the Win32 calls of the link and settings layers. Text
// is UTF-8 inside the program; only the W functions see UTF-16. A name that
// is not valid in its encoding converts to nothing (false), so that a
// damaged name never reaches the system as a different one.
#pragma once

#include <windows.h>

#include <string>

inline bool ToWide(const std::string& text, std::wstring* wide) {
  wide->clear();
  if (text.empty()) return true;
  const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                    static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return false;
  wide->resize(static_cast<size_t>(n));
  return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                             static_cast<int>(text.size()), &(*wide)[0], n) == n;
}

inline bool ToUtf8(const std::wstring& wide, std::string* text) {
  text->clear();
  if (wide.empty()) return true;
  const int n = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(),
                                    static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return false;
  text->resize(static_cast<size_t>(n));
  return WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(),
                             static_cast<int>(wide.size()), &(*text)[0], n, nullptr, nullptr) == n;
}

// For names read from the system, which are shown and never used to open
// anything: unpaired surrogates become U+FFFD.
inline std::string ShownUtf8(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                    0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string text(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &text[0], n, nullptr,
                      nullptr);
  return text;
}

// The system's words for err (in the user's language), without the line
// break FormatMessage ends them with; "error N" when it has none.
inline std::string SystemErrorText(DWORD err) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, err, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring wide = n > 0 && text != nullptr ? std::wstring(text, n) : std::wstring();
  LocalFree(text);
  while (!wide.empty() && (wide.back() == L'\r' || wide.back() == L'\n' || wide.back() == L' ')) {
    wide.pop_back();
  }
  const std::string utf8 = ShownUtf8(wide);
  return utf8.empty() ? "error " + std::to_string(err) : utf8;
}

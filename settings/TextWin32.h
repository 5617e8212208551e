// UTF-8 <-> UTF-16 at the Win32 calls of the settings layer. Text is UTF-8
// everywhere inside the program; only the W functions see UTF-16. A text
// that is not valid in its encoding converts to nothing (false), so that a
// damaged name never reaches the file system as a different name.
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

// Closes a file handle on every path out of a scope.
class CFileHandle {
 public:
  explicit CFileHandle(HANDLE h) : m_handle(h) {}
  ~CFileHandle() { Close(); }
  CFileHandle(const CFileHandle&) = delete;
  CFileHandle& operator=(const CFileHandle&) = delete;

  HANDLE Get() const { return m_handle; }
  bool IsValid() const { return m_handle != INVALID_HANDLE_VALUE; }
  // false when closing reported an error (the data may not all be written).
  bool Close() {
    if (!IsValid()) return true;
    const BOOL ok = CloseHandle(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
    return ok != FALSE;
  }

 private:
  HANDLE m_handle;
};

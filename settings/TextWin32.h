// Win32 helpers of the settings layer: the text conversions (shared with the
// link layer) and a file handle closed on every path out of a scope.
#pragma once

#include <windows.h>

#include <string>

#include "WideTextWin32.h"

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

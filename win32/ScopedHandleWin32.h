// A kernel handle (file, port, process, thread, event, find handle) closed
// on every path out of its owner's scope. Both of the system's "no handle"
// values, nullptr and INVALID_HANDLE_VALUE, count as none. The closing call
// is the system's unless the handle came from a call table of its own (the
// serial port's, which a test fills with a fake driver; FindClose for a find
// handle). Movable, not copyable; any thread, one owner at a time.
#pragma once

#include <windows.h>

namespace win32 {

class CScopedHandle {
 public:
  using CloseFn = BOOL(WINAPI*)(HANDLE);

  CScopedHandle() = default;
  explicit CScopedHandle(HANDLE h, CloseFn close = ::CloseHandle) : m_h(h), m_close(close) {}
  ~CScopedHandle() { Close(); }
  CScopedHandle(const CScopedHandle&) = delete;
  CScopedHandle& operator=(const CScopedHandle&) = delete;
  CScopedHandle(CScopedHandle&& other) noexcept : m_h(other.Release()), m_close(other.m_close) {}
  CScopedHandle& operator=(CScopedHandle&& other) noexcept {
    if (this != &other) {
      Close();
      m_close = other.m_close;
      m_h = other.Release();
    }
    return *this;
  }

  bool IsValid() const { return m_h != nullptr && m_h != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return m_h; }
  // Gives the handle up without closing it.
  HANDLE Release() {
    const HANDLE h = m_h;
    m_h = INVALID_HANDLE_VALUE;
    return h;
  }
  // False when the system reported a failure at the close (for a file: what
  // was written may not all be there). Closing nothing succeeds.
  bool Close() {
    if (!IsValid()) return true;
    const BOOL ok = m_close(Release());
    return ok != FALSE;
  }

 private:
  HANDLE m_h = INVALID_HANDLE_VALUE;
  CloseFn m_close = ::CloseHandle;
};

}  // namespace win32

// A file descriptor closed on every path out of its owner's scope, the twin
// of win32::CScopedHandle. Close is not retried on EINTR: on Linux the
// descriptor is gone whatever close returns. Movable, not copyable; any
// thread, one owner at a time.
#pragma once

#include <unistd.h>

#include <cerrno>

namespace posix {

class CScopedFd {
 public:
  CScopedFd() = default;
  explicit CScopedFd(int fd) : m_nFd(fd) {}
  ~CScopedFd() { Close(); }
  CScopedFd(const CScopedFd&) = delete;
  CScopedFd& operator=(const CScopedFd&) = delete;
  CScopedFd(CScopedFd&& other) noexcept : m_nFd(other.Release()) {}
  CScopedFd& operator=(CScopedFd&& other) noexcept {
    if (this != &other) {
      Close();
      m_nFd = other.Release();
    }
    return *this;
  }

  bool IsValid() const { return m_nFd >= 0; }
  int Get() const { return m_nFd; }
  // Gives the descriptor up without closing it.
  int Release() {
    const int fd = m_nFd;
    m_nFd = -1;
    return fd;
  }
  // False when the system reported a failure at the close (for a file: what
  // was written may not all be there); EINTR counts as closed. Closing
  // nothing succeeds.
  bool Close() {
    if (m_nFd < 0) return true;
    const int rc = ::close(Release());
    return rc == 0 || errno == EINTR;
  }

 private:
  int m_nFd = -1;
};

}  // namespace posix

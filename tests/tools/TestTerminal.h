// CTerminal: a pseudo-terminal for a program's standard error, in raw
// mode (no CR added to LF), 100 columns wide, its output collected by a
// thread of its own, for tests of what a person sees on a terminal.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

class CTerminal {
 public:
  CTerminal() {
    m_nMaster = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_nMaster < 0 || grantpt(m_nMaster) != 0 || unlockpt(m_nMaster) != 0) return;
    m_strDevice = ptsname(m_nMaster);
    m_nSlave = open(m_strDevice.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios t{};
    if (m_nSlave < 0 || tcgetattr(m_nSlave, &t) != 0) return;
    cfmakeraw(&t);
    tcsetattr(m_nSlave, TCSANOW, &t);
    const winsize ws{24, 100, 0, 0};
    ioctl(m_nSlave, TIOCSWINSZ, &ws);
    m_thread = std::thread([this] {
      while (!m_bStop) {
        pollfd p{m_nMaster, POLLIN, 0};
        char buf[512];
        if (poll(&p, 1, 20) <= 0) continue;
        const ssize_t n = read(m_nMaster, buf, sizeof buf);
        std::lock_guard<std::mutex> lock(m_mutex);
        if (n > 0) m_strText.append(buf, static_cast<size_t>(n));
      }
    });
  }
  ~CTerminal() {
    m_bStop = true;
    if (m_thread.joinable()) m_thread.join();
    if (m_nSlave >= 0) close(m_nSlave);
    if (m_nMaster >= 0) close(m_nMaster);
  }
  bool Ok() const { return m_thread.joinable(); }
  const std::string& Device() const { return m_strDevice; }
  std::string Text() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_strText;
  }

 private:
  int m_nMaster = -1;
  int m_nSlave = -1;
  std::string m_strDevice;
  mutable std::mutex m_mutex;
  std::string m_strText;
  std::atomic<bool> m_bStop{false};
  std::thread m_thread;
};

// CFakeUnit: a unit written from the command set alone, apart from
// zeta7-sim, on a pseudo-terminal of its own: it echoes each line, answers
// the empty line with the prompt, "V" with its version, "R" with its four
// values and "S ch id rc ri" with "OK", each answer followed by CR LF and
// the prompt. Per command a fault can take the place of the answer. A thread
// of its own serves the line; tests wait on what it has received.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CFakeUnit {
 public:
  enum class Fault {
    kNone,
    kSilent,          // neither echo nor answer
    kStuckAfterEcho,  // the echo, then nothing
    kHangUp,          // the line is closed as the command arrives
    kHangUpAfterOk,   // "S": stores, answers OK, then closes the line at the next command
    kStoreHangUp,     // "S": stores, then closes the line without an answer
    kOkNoStore,       // "S": "OK", values unchanged
    kNg,              // "NG"
    kNoise,           // bytes of another speed instead of echo and answer
    kHeld,            // the echo, then the answer only once Release() is called
    kCutReply         // the echo and the answer's first bytes, then the line is closed
  };

  CFakeUnit() {
    m_nMaster = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_nMaster < 0 || grantpt(m_nMaster) != 0 || unlockpt(m_nMaster) != 0) return;
    m_strDevice = ptsname(m_nMaster);
    // Held open so that the master does not read as hung up before the
    // program opens its side.
    m_nSlave = open(m_strDevice.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    m_thread = std::thread([this] { Serve(); });
  }
  ~CFakeUnit() {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_bStop = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable()) m_thread.join();
    CloseLine();
    if (m_nSlave >= 0) close(m_nSlave);
  }
  CFakeUnit(const CFakeUnit&) = delete;
  CFakeUnit& operator=(const CFakeUnit&) = delete;

  bool Ok() const { return m_nSlave >= 0; }
  const std::string& Device() const { return m_strDevice; }
  // Before the program starts: what the unit does on the command whose
  // first character is cmd ('\0' for the empty line).
  void SetFault(char cmd, Fault fault) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults[cmd] = fault;
  }
  void SetVersion(const std::string& v) { m_strVersion = v; }

  void Release() {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_bReleased = true;
    }
    m_changed.notify_all();
  }

  std::vector<std::string> Lines() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lines;
  }
  // Waits (bounded) until a received line starts with prefix.
  bool WaitForLine(const std::string& prefix, int timeoutMs = 10000) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
      for (const std::string& l : m_lines)
        if (l.compare(0, prefix.size(), prefix) == 0) return true;
      return false;
    });
  }

 private:
  void Send(const std::string& bytes) {
    if (m_nMaster >= 0 && write(m_nMaster, bytes.data(), bytes.size()) < 0) {
      // the program's side is gone; nothing to tell
    }
  }
  void CloseLine() {
    if (m_nMaster >= 0) close(m_nMaster);
    m_nMaster = -1;
  }
  void Answer(const std::string& line) {
    if (m_bHangUpNext) return CloseLine();
    const char key = line.empty() ? '\0' : line[0];
    Fault fault = Fault::kNone;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      const auto it = m_faults.find(key);
      if (it != m_faults.end()) fault = it->second;
    }
    switch (fault) {
      case Fault::kSilent:
        return;
      case Fault::kHangUp:
        CloseLine();
        return;
      case Fault::kNoise:
        Send("\xf8\x80\x9e\xe0\x06\x78\xfe");
        return;
      default:
        break;
    }
    Send(line + "\r\n");
    if (fault == Fault::kStuckAfterEcho) return;
    if (fault == Fault::kCutReply) {
      Send("12  3");
      return CloseLine();
    }
    if (fault == Fault::kHeld) {
      std::unique_lock<std::mutex> lock(m_mutex);
      m_changed.wait(lock, [&] { return m_bReleased || m_bStop; });
    }
    if (fault == Fault::kNg) return Send("NG\r\nZETA7>");
    if (line.empty()) return Send("ZETA7>");
    if (line == "V") return Send(m_strVersion + "\r\nZETA7>");
    if (line == "R") {
      char text[32];
      std::snprintf(text, sizeof text, "%2d %2d %5d %5d", m_values[0], m_values[1], m_values[2],
                    m_values[3]);
      return Send(std::string(text) + "\r\nZETA7>");
    }
    int v[4];
    if (line[0] == 'S' &&
        std::sscanf(line.c_str(), "S %d %d %d %d", &v[0], &v[1], &v[2], &v[3]) == 4) {
      if (fault != Fault::kOkNoStore) std::copy(v, v + 4, m_values);
      if (fault == Fault::kStoreHangUp) return CloseLine();
      Send("OK\r\nZETA7>");
      m_bHangUpNext = fault == Fault::kHangUpAfterOk;
      return;
    }
    Send("NG\r\nZETA7>");
  }
  void Serve() {
    std::string line;
    bool afterCr = false;
    while (!m_bStop && m_nMaster >= 0) {
      pollfd p{m_nMaster, POLLIN, 0};
      if (poll(&p, 1, 20) <= 0) continue;
      char buf[256];
      const ssize_t n = read(m_nMaster, buf, sizeof buf);
      if (n <= 0) continue;
      for (ssize_t i = 0; i < n && m_nMaster >= 0; ++i) {
        const char c = buf[i];
        if (c == '\n' && afterCr) {
          afterCr = false;
          continue;
        }
        afterCr = c == '\r';
        if (c != '\r' && c != '\n') {
          line += c;
          continue;
        }
        {
          std::lock_guard<std::mutex> lock(m_mutex);
          m_lines.push_back(line);
        }
        m_changed.notify_all();
        Answer(line);
        line.clear();
      }
    }
  }

  int m_nMaster = -1;
  int m_nSlave = -1;
  std::string m_strDevice;
  std::string m_strVersion = "V2.00";
  std::map<char, Fault> m_faults;
  int m_values[4] = {12, 3, 5, 1000};
  bool m_bHangUpNext = false;
  bool m_bReleased = false;
  mutable std::mutex m_mutex;
  mutable std::condition_variable m_changed;
  std::vector<std::string> m_lines;
  std::atomic<bool> m_bStop{false};
  std::thread m_thread;
};

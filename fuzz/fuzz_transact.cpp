// The command exchange over an arbitrary byte timeline.
//
// The input chooses a command, a reply cap (1..300) and a list of bytes with
// their arrival delays; optionally the unit then streams its last byte for
// ever. The port hands out a byte once its arrival time has passed on a
// virtual clock that moves only when the exchange sleeps. Whatever arrives,
// the exchange must end within the reads and the virtual time its loop
// bounds allow, store at most cap - 1 characters in a buffer of exactly cap
// bytes, terminate them, and store nothing but a run of the bytes it read:
// the last ones, or the last ones before the CR that ended the line.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "FuzzCheck.h"
#include "Transact.h"

namespace {

const char* const kCommands[] = {"R", "S 1 2 3 4", "", nullptr,
                                 "S -2147483648 -2147483648 -2147483648 -2147483648"};
constexpr int kCommandCount = sizeof kCommands / sizeof kCommands[0];
constexpr int kMaxCap = 300;

// Checks the bound at every sleep, so a loop that would never end is
// reported where it overruns rather than as a time-out.
class VirtualClock {
 public:
  explicit VirtualClock(long long limit) : m_llLimit(limit) {}
  void Sleep(int ms) {
    FUZZ_CHECK(ms >= 0);
    m_llNow += ms;
    FUZZ_CHECK(m_llNow <= m_llLimit);
  }
  long long Now() const { return m_llNow; }

 private:
  long long m_llNow = 0;
  long long m_llLimit;
};

struct Arrival {
  long long at;
  unsigned char byte;
};

class TimelinePort {
 public:
  TimelinePort(const VirtualClock& clock, std::vector<Arrival> script, bool streamLast,
               long long maxReads)
      : m_clock(clock),
        m_script(std::move(script)),
        m_bStream(streamLast && !m_script.empty()),
        m_llMaxReads(maxReads) {}

  int ReadByte() {
    FUZZ_CHECK(++m_llReads <= m_llMaxReads);
    unsigned char byte;
    if (m_nNext < m_script.size()) {
      if (m_script[m_nNext].at > m_clock.Now()) return 0;
      byte = m_script[m_nNext++].byte;
    } else if (m_bStream && m_script.back().at <= m_clock.Now()) {
      byte = m_script.back().byte;
    } else {
      return 0;
    }
    m_strConsumed.push_back(static_cast<char>(byte));
    return 0x100 | byte;
  }

  int WriteString(const char* s) {
    m_strWritten += s;
    ++m_nWrites;
    return 1;
  }

  const std::string& consumed() const { return m_strConsumed; }
  const std::string& written() const { return m_strWritten; }
  int writes() const { return m_nWrites; }

 private:
  const VirtualClock& m_clock;
  std::vector<Arrival> m_script;
  bool m_bStream;
  long long m_llMaxReads;
  size_t m_nNext = 0;
  long long m_llReads = 0;
  std::string m_strConsumed;
  std::string m_strWritten;
  int m_nWrites = 0;
};

bool EndsWith(const std::string& s, const char* tail, size_t n) {
  return s.size() >= n && std::memcmp(s.data() + s.size() - n, tail, n) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const char* cmd = kCommands[data[0] % kCommandCount];
  const bool streamLast = (data[0] & 0xC0) == 0xC0;
  const int cap = 1 + ((data[1] << 8) | data[2]) % kMaxCap;

  // Small delays around the 4 ms pause matter most; the top of the range
  // makes gaps long enough to end any step.
  std::vector<Arrival> script;
  long long at = 0;
  for (size_t i = 3; i + 1 < size; i += 2) {
    const int d = data[i];
    at += d < 0xF0 ? d : (d - 0xEF) * 100;
    script.push_back({at, data[i + 1]});
  }

  // The bounds follow from the loops. Reads: the drain at most its limit, the
  // echo and the CR skip at most theirs, the reply at most cap - 1. Pauses:
  // one before every read of a step but its first.
  const std::string line = std::string(cmd != nullptr ? cmd : "") + "\r\n";
  const long long len = static_cast<long long>(line.size());
  const long long maxReads = kMaxDrainBytes + kMaxEchoBytes + kMaxLeadingCrs + cap - 1;
  const long long maxPauses = (kMaxEchoBytes - 1) + (kMaxLeadingCrs - 1) + std::max(cap - 2, 0);
  const long long maxTime = (4 * len + 28) + (8 * len + 40) + kBytePauseMs * maxPauses;

  VirtualClock clock(maxTime);
  TimelinePort port(clock, std::move(script), streamLast, maxReads);
  // Exactly cap bytes on the heap, so any access past them is caught.
  std::unique_ptr<char[]> reply(new char[cap]);
  std::memset(reply.get(), 0x5A, cap);

  const int got = TransactOn(port, clock, cmd, reply.get(), cap);

  FUZZ_CHECK(got >= 0 && got <= cap - 1);
  FUZZ_CHECK(reply[got] == '\0');
  for (int i = got + 1; i < cap; ++i) FUZZ_CHECK(reply[i] == 0x5A);

  FUZZ_CHECK(port.writes() == 1 && port.written() == line);

  if (got > 0) {
    FUZZ_CHECK(std::memchr(reply.get(), '\r', got) == nullptr);
    const std::string& seen = port.consumed();
    const std::string withCr = std::string(reply.get(), got) + '\r';
    FUZZ_CHECK(EndsWith(seen, reply.get(), got) || EndsWith(seen, withCr.data(), withCr.size()));
  }
  return 0;
}

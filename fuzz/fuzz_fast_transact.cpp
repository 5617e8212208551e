// The fast exchange against the fixed one, on the same byte timelines.
//
// The input chooses a command, a reply cap and the bytes the unit sends with
// their arrival delays (the first ones may arrive before the line is sent,
// as leftovers). Both exchanges run on virtual time against the same
// timeline, and a reference reads it the way the unit frames its answer,
// with no clock: the echo up to its LF, leading CRs and one LF, the reply up
// to its CR or the cap, and a reply that ends in the prompt ends where the
// line then stays silent for more than one pause.
//
// The fixed exchange counts as right on a timeline when the caller's
// verdict on its reply (prompt accepted, version, parameters, write
// accepted) is the verdict on the reference's. Where it is right and the
// reference's reply was complete within the fast exchange's time-out, the
// fast exchange must reach the same verdict; in fact it must store the
// reference's very bytes. Beyond the time-out it must fail cleanly: store a
// prefix of the reference's reply, end within its bounds, send one line.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "FastTransact.h"
#include "FuzzCheck.h"
#include "ParamReply.h"
#include "Transact.h"

namespace {

const char* const kCommands[] = {"", "V", "R", "S 12 3 5 1000", "S 20 4 -1 500"};
constexpr int kCommandCount = sizeof kCommands / sizeof kCommands[0];
constexpr int kMaxCap = 300;
constexpr int kTimeoutMs = kDefaultFastTimeoutMs;

struct Arrival {
  long long at;
  unsigned char byte;
};

// The unit's line on a virtual clock that the exchange under test moves:
// the fixed one by sleeping, the fast one by waiting.
class TimelineUnit {
 public:
  explicit TimelineUnit(const std::vector<Arrival>& script) : m_script(script) {}

  int ReadByte() {
    FUZZ_CHECK(++m_llReads <= kMaxDrainBytes + kMaxEchoBytes + kMaxLeadingCrs + 2 * kMaxCap + 16);
    if (m_nNext >= m_script.size() || m_script[m_nNext].at > m_llNow) return 0;
    return 0x100 | m_script[m_nNext++].byte;
  }
  int WaitByte(int ms) {
    FUZZ_CHECK(ms >= 0);
    if (m_nNext < m_script.size() && m_script[m_nNext].at <= m_llNow + ms) {
      m_llNow = std::max(m_llNow, m_script[m_nNext].at);
      return ReadByte();
    }
    m_llNow += ms;
    return 0;
  }
  int WriteString(const char* s) {
    m_strWritten += s;
    ++m_nWrites;
    return 1;
  }
  void Sleep(int ms) {
    FUZZ_CHECK(ms >= 0);
    m_llNow += ms;
  }
  long long NowMs() const { return m_llNow; }

  const std::string& written() const { return m_strWritten; }
  int writes() const { return m_nWrites; }

 private:
  const std::vector<Arrival>& m_script;
  size_t m_nNext = 0;
  long long m_llNow = 0;
  long long m_llReads = 0;
  std::string m_strWritten;
  int m_nWrites = 0;
};

struct Framed {
  std::string reply;
  long long lastAt = 0;  // arrival of the last byte the framing needed
};

bool EndsWithPrompt(const std::string& s) {
  const std::string prompt = kUnitPrompt;
  return s.size() >= prompt.size() &&
         s.compare(s.size() - prompt.size(), prompt.size(), prompt) == 0;
}

// The answer as the unit frames it, with the exchanges' own bounds.
Framed Reference(const std::vector<Arrival>& script, int cap) {
  Framed f;
  size_t i = 0;
  for (int drained = 0; drained < kMaxDrainBytes && i < script.size() && script[i].at <= 0;
       ++drained) {
    ++i;
  }
  auto at = [&](size_t k) { return std::max(script[k].at, 0LL); };
  auto take = [&]() {
    f.lastAt = at(i);
    return script[i++].byte;
  };
  for (int seen = 1;; ++seen) {
    if (i >= script.size()) return f;
    if (take() == '\n' || seen >= kMaxEchoBytes) break;
  }
  bool crBound = false;
  int seen = 0;
  while (i < script.size() && script[i].byte == '\r') {
    take();
    if (++seen >= kMaxLeadingCrs) {
      crBound = true;
      break;
    }
  }
  if (!crBound) {
    if (i >= script.size()) return f;
    const unsigned char c = take();
    if (c != '\n' && static_cast<int>(f.reply.size()) < cap - 1) f.reply += static_cast<char>(c);
  }
  while (static_cast<int>(f.reply.size()) < cap - 1 && i < script.size()) {
    if (EndsWithPrompt(f.reply) && at(i) - f.lastAt > kBytePauseMs) break;
    const unsigned char c = take();
    if (c == '\r') break;
    f.reply += static_cast<char>(c);
  }
  return f;
}

// What the caller concludes from a reply, as the window and zeta7ctl do.
std::string Verdict(const char* cmd, const std::string& reply) {
  const char* text = reply.c_str();
  if (*cmd == '\0') return std::strcmp(text, kUnitPrompt) == 0 ? "prompt ok" : "no prompt";
  if (cmd[0] == 'V') return text[0] == 'V' ? std::string("version ") + text : "bad version";
  if (reply.empty()) return "no reply";
  if (cmd[0] == 'R') {
    UnitParams p{};
    if (ParseReadReply(text, static_cast<int>(reply.size()), &p) != ReadReplyResult::kOk) {
      return "bad data";
    }
    return "params " + FormatWriteCommand(p);
  }
  return std::strcmp(text, "OK") == 0 ? "written" : "refused";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const char* cmd = kCommands[data[0] % kCommandCount];
  const int cap = (data[1] & 0x80) ? 256 : 1 + ((data[1] << 8) | data[2]) % kMaxCap;

  // Gaps of a few ms around the 4 ms pause matter most; some are long
  // enough to pass the fixed waits or the time-out. Time 0 is the send:
  // bytes at or before it are leftovers.
  std::vector<Arrival> script;
  long long at = -1;
  for (size_t i = 3; i + 1 < size; i += 2) {
    const int d = data[i];
    at += d < 0xC0 ? d % 8 : d < 0xF0 ? d - 0xC0 : (d - 0xEF) * 150;
    script.push_back({at, data[i + 1]});
  }
  const std::string line = std::string(cmd) + "\r\n";

  TimelineUnit fixedUnit(script);
  std::unique_ptr<char[]> fixedBuf(new char[cap]);
  const int fixedCount = TransactOn(fixedUnit, fixedUnit, cmd, fixedBuf.get(), cap);
  const std::string fixedReply(fixedBuf.get(), static_cast<size_t>(fixedCount));

  TimelineUnit fastUnit(script);
  std::unique_ptr<char[]> fastBuf(new char[cap]);
  std::memset(fastBuf.get(), 0x5A, cap);
  const FastReply fast = FastTransactOn(fastUnit, fastUnit, cmd, fastBuf.get(), cap, kTimeoutMs);
  FUZZ_CHECK(fast.count >= 0 && fast.count <= cap - 1);
  FUZZ_CHECK(fastBuf[fast.count] == '\0');
  for (int i = fast.count + 1; i < cap; ++i) FUZZ_CHECK(fastBuf[i] == 0x5A);
  FUZZ_CHECK(fastUnit.writes() == 1 && fastUnit.written() == line);
  FUZZ_CHECK(fastUnit.NowMs() <= kTimeoutMs + kPromptGraceMs + kBytePauseMs);
  const std::string fastReply(fastBuf.get(), static_cast<size_t>(fast.count));

  const Framed ref = Reference(script, cap);
  if (ref.lastAt <= kTimeoutMs) {
    FUZZ_CHECK(fastReply == ref.reply);
    if (Verdict(cmd, fixedReply) == Verdict(cmd, ref.reply)) {
      FUZZ_CHECK(Verdict(cmd, fastReply) == Verdict(cmd, fixedReply));
    }
  } else {
    FUZZ_CHECK(ref.reply.compare(0, fastReply.size(), fastReply) == 0);
  }
  return 0;
}

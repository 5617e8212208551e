// The fixed exchange (Transact.h) and the fast one (FastTransact.h) against
// one scripted unit on virtual time.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "FastTransact.h"
#include "Transact.h"

namespace {

constexpr int kCap = 256;
constexpr int kTimeout = 1000;

// The unit, its line and the clock in one fake: bytes become waiting at
// given moments, gapMs apart. StreamForever then has ReadByte give one byte
// for far longer than any exchange may read (so that an unbounded loop ends
// and is seen). Sleep advances time and records the wait; WaitByte moves the
// clock to the next scripted byte or to the end of the wait, and a hang-up
// at a moment makes later waits report a lost line.
class ScriptedUnit {
 public:
  void Arrive(long long at, const std::string& bytes, int gapMs = 0) {
    for (char c : bytes) {
      queue_.emplace_back(at, c);
      at += gapMs;
    }
  }
  void StreamForever(char byte) {
    streamLeft_ = 1LL << 24;
    streamByte_ = byte;
  }
  void HangUpAt(long long at) { hangUpAt_ = at; }

  int ReadByte() {
    ++reads;
    if (!queue_.empty()) {
      if (queue_.front().first > now) return 0;
      const char c = queue_.front().second;
      queue_.pop_front();
      return 0x100 | static_cast<unsigned char>(c);
    }
    if (streamLeft_ == 0) return 0;
    --streamLeft_;
    return 0x100 | static_cast<unsigned char>(streamByte_);
  }
  int WaitByte(int ms) {
    const long long until = now + ms;
    if (!queue_.empty() && queue_.front().first <= until) {
      now = std::max(now, queue_.front().first);
      return ReadByte();
    }
    if (hangUpAt_ >= 0 && hangUpAt_ <= until) {
      now = std::max(now, hangUpAt_);
      return -1;
    }
    now = until;
    return 0;
  }
  int WriteString(const char* s) {
    written += s;
    return writeWorks ? 1 : 0;
  }
  long long NowMs() const { return now; }
  void Sleep(int ms) {
    sleeps.push_back(ms);
    now += ms;
  }
  size_t pending() const { return queue_.size(); }

  long long now = 0;
  long long reads = 0;
  bool writeWorks = true;
  std::vector<int> sleeps;
  std::string written;

 private:
  std::deque<std::pair<long long, char>> queue_;
  long long streamLeft_ = 0;
  char streamByte_ = 0;
  long long hangUpAt_ = -1;
};

// One exchange of each kind; the reply as stored, NULs included, up to the
// count. The buffer has four guard bytes past the 256 the exchange may use.
std::string Fixed(ScriptedUnit& unit, const std::string& cmd) {
  std::array<char, kCap + 4> buf;
  buf.fill('#');
  const int n = TransactOn(unit, unit, cmd.c_str(), buf.data(), kCap);
  EXPECT_TRUE(n >= 0 && n < kCap) << n;
  EXPECT_EQ(buf[static_cast<size_t>(n)], '\0');
  EXPECT_EQ(std::string(buf.data() + kCap, 4), "####");
  return std::string(buf.data(), static_cast<size_t>(n));
}

struct Outcome {
  std::string text;
  FastEnd end;
  long long at;  // virtual time when the exchange returned
};

Outcome Fast(ScriptedUnit& unit, const std::string& cmd, int cap = kCap) {
  std::array<char, kCap + 4> buf;
  buf.fill('#');
  const FastReply r = FastTransactOn(unit, unit, cmd.c_str(), buf.data(), cap, kTimeout);
  EXPECT_TRUE(r.count >= 0 && r.count < cap) << r.count;
  EXPECT_EQ(buf[static_cast<size_t>(r.count)], '\0');
  EXPECT_EQ(std::string(buf.data() + kCap, 4), "####");
  return {std::string(buf.data(), static_cast<size_t>(r.count)), r.end, unit.now};
}

// The waits after sending follow the line's length (4L + 28, then 8L + 40
// ms, CR LF included); then each step reads at once and pauses 4 ms before
// every further read, so a byte late for a pause cuts the reply. After the
// waits of "V" (104 ms) the reads run at 104, 108, 112 (echo), 112 ('V'),
// 112 ('1'), 116 ('.'), 120: a byte due by then continues the reply.
TEST(TransactTest, WaitsFollowTheLineAndAByteLateForThePauseCutsTheReply) {
  const struct {
    std::string cmd;
    long long tailAt;  // when "02\r\n" follows "V\r\nV1." at 1 ms; 0: a silent unit
    std::string reply;
    std::vector<int> sleeps;
    long long reads;
  } cases[] = {
      // Drain, echo, CRs, reply: each ends at its first empty read.
      {"", 0, "", {36, 56}, 4},
      {std::string(1000, 'S'), 0, "", {4 * 1002 + 28, 8 * 1002 + 40}, 4},
      {"V", 120, "V1.02", {40, 64, 4, 4, 4, 4, 4, 4}, 10},
      {"V", 121, "V1.", {40, 64, 4, 4, 4, 4}, 8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.cmd.size()) + " " + std::to_string(c.tailAt));
    ScriptedUnit unit;
    if (c.tailAt > 0) {
      unit.Arrive(1, "V\r\nV1.");
      unit.Arrive(c.tailAt, "02\r\n");
    }
    EXPECT_EQ(Fixed(unit, c.cmd), c.reply);
    EXPECT_EQ(unit.written, c.cmd + "\r\n");
    EXPECT_EQ(unit.sleeps, c.sleeps);
    EXPECT_EQ(unit.reads, c.reads);
  }
}

// An answer that is all there when the fixed exchange's waits end: both
// exchanges store the same bytes, the bounds included. Before it a backlog
// waits, a second of data at 460800 bit/s (46080 bytes) and a stale line,
// which both drain whole before the line goes out.
TEST(TransactTest, ReplyIsTheLineAfterTheEcho) {
  const std::string backlog = std::string(46080, 'n') + "\nZETA7>stale\r\n";
  const std::string crs(512, '\r');
  const std::string longLine = "S " + std::string(36, '9');  // 40 bytes with its CR LF
  const struct {
    const char* what;
    std::string cmd;
    std::string unitSends;
    std::string reply;
    size_t left;  // bytes the fixed exchange leaves
  } cases[] = {
      {"prompt", "", "\r\nZETA7>", "ZETA7>", 0},
      {"LF and prompt left", "V", "V\r\nV1.02\r\nZETA7>", "V1.02", 7},
      {"leading CRs skipped", "S", "S\r\n\r\r\rOK\r", "OK", 0},
      {"one bare LF skipped", "S", "S\r\n\nOK\r", "OK", 0},
      {"CRs and one LF skipped", "S", "S\r\n\r\r\nOK\r\nZETA7>", "OK", 7},
      {"a second LF opens the reply", "S", "S\r\n\r\n\nOK\r", "\nOK", 0},
      {"LF inside the reply kept", "S", "S\r\nO\nK\r\n", "O\nK", 1},
      {"NUL stored and counted", "V", std::string("V\r\nA\0B\r\n", 8), std::string("A\0B", 3), 1},
      {"no echo: first line taken for it", "V", "V1.02\r\nZETA7>", "ZETA7>", 0},
      {"no echo: bare prompt consumed", "", "ZETA7>", "", 0},
      {"echo of a long line skipped whole", longLine, longLine + "\r\nOK\r\n", "OK", 1},
      {"511 CRs, then the reply", "V", "V\r\n" + crs.substr(1) + "V1\r\n", "V1", 1},
      {"512 CRs, then the reply", "V", "V\r\n" + crs + "V1\r\n", "V1", 1},
      {"513 CRs: the last one ends an empty reply", "V", "V\r\n" + crs + "\rV1\r\n", "", 4},
      {"512 CRs and an LF: the LF is the reply's", "V", "V\r\n" + crs + "\nV1\r\n", "\nV1", 1},
      {"capped at 255", "R", "R\r\n" + std::string(300, 'a'), std::string(255, 'a'), 45},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedUnit fixed;
    ScriptedUnit fast;
    for (ScriptedUnit* unit : {&fixed, &fast}) {
      unit->Arrive(0, backlog);
      unit->Arrive(1, c.unitSends);
    }
    EXPECT_EQ(Fixed(fixed, c.cmd), c.reply);
    EXPECT_EQ(fixed.pending(), c.left);
    EXPECT_EQ(Fast(fast, c.cmd).text, c.reply);
  }
}

// A device that never stops sending must not hold the exchange. What it may
// take, from the outside: it drains at most 64 KiB (over a second of data at
// 460800 bit/s), skips at most 512 bytes of echo (no command line reaches 40
// bytes) and at most 512 CRs, keeps at most 255 characters, and after the
// 40 + 64 ms of "V" pauses 4 ms before each read of a step but its first.
TEST(TransactTest, EndlessInputEndsWithinTheBounds) {
  const struct {
    const char* what;
    std::string before;  // arrives at 1 ms, after the line is sent
    char endless;
    std::string reply;
    long long mostReads, mostMs;
  } cases[] = {
      {"bytes without line ends", "", 'x', std::string(255, 'x'), 65536 + 512 + 255,
       104 + 4 * (512 + 255)},
      // One empty drain read, the echo, the CRs, and the CR ending the reply.
      {"CRs after the echo", "V\r\n", '\r', "", 1 + 3 + 512 + 1, 104 + 4 * (3 + 512)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedUnit unit;
    unit.Arrive(1, c.before);
    unit.StreamForever(c.endless);
    EXPECT_EQ(Fixed(unit, "V"), c.reply);
    EXPECT_EQ(unit.written, "V\r\n");
    EXPECT_LE(unit.reads, c.mostReads);
    EXPECT_LE(unit.now, c.mostMs);
  }
}

// A hang-up is a lost line wherever it comes, before the echo as much as
// mid-reply; it never waits out the time-out as silence would.
TEST(FastTransactTest, EndsWhenTheAnswerIsInOrTheLineIsLost) {
  const std::string reply17 = "12  3     5  1000";
  const std::string version = "V\r\nV1.02\r\nZETA7>";
  const struct {
    const char* what;
    std::string cmd;
    std::string answer;  // arrives from startAt on, gapMs apart
    std::string text;
    FastEnd end;
    long long at;
    long long hangUpAt = -1;
    int gapMs = 0;
    long long startAt = 1;
    int cap = kCap;
    bool writes = true;
  } cases[] = {
      {"prompt check", "", "\r\nZETA7>", "ZETA7>", FastEnd::kPrompt, 1 + kBytePauseMs},
      {"read", "R", "R\r\n" + reply17 + "\r\nZETA7>", reply17, FastEnd::kCr, 1},
      {"slow bytes", "R", "R\r\n" + reply17 + "\r\nZETA7>", reply17, FastEnd::kCr, 271, -1, 10},
      {"late start", "V", version, "V1.02", FastEnd::kCr, 400, -1, 0, 400},
      {"no prompt after the CR", "V", "V\r\nV1\r\n", "V1", FastEnd::kCr, 1 + kPromptGraceMs},
      {"prompt inside a longer reply", "V", "V\r\nZETA7>x\r\nZETA7>", "ZETA7>x", FastEnd::kCr, 1},
      {"wrong prompt", "", "\r\nZETA7> ", "ZETA7> ", FastEnd::kTimeout, kTimeout},
      {"no echo", "", "ZETA7>", "", FastEnd::kTimeout, kTimeout},
      {"silent", "R", "", "", FastEnd::kTimeout, kTimeout},
      {"stops at the cap", "V", "V\r\n" + std::string(300, 'V'), std::string(kCap - 1, 'V'),
       FastEnd::kCap, 1},
      {"cap 2", "V", version, "V", FastEnd::kCap, 1, -1, 0, 1, 2},
      {"cap 1", "V", version, "", FastEnd::kCap, 1, -1, 0, 1, 1},
      {"hang-up before any byte", "R", "", "", FastEnd::kLineLost, 20, 20},
      {"hang-up after the echo", "R", "R\r\n", "", FastEnd::kLineLost, 20, 20},
      {"hang-up after the leading CRs", "R", "R\r\n\r\r", "", FastEnd::kLineLost, 20, 20},
      {"hang-up mid-reply", "R", "R\r\n12  3", "12  3", FastEnd::kLineLost, 20, 20},
      {"line not sent", "R", version, "", FastEnd::kWriteFailed, 0, -1, 0, 1, kCap, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedUnit unit;
    unit.Arrive(c.startAt, c.answer, c.gapMs);
    unit.HangUpAt(c.hangUpAt);
    unit.writeWorks = c.writes;
    const Outcome o = Fast(unit, c.cmd, c.cap);
    EXPECT_EQ(unit.written, c.cmd + "\r\n");
    EXPECT_EQ(o.text, c.text);
    EXPECT_EQ(o.end, c.end);
    EXPECT_EQ(o.at, c.at);
  }
}

}  // namespace

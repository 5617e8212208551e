#include <gtest/gtest.h>

#include <array>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "Transact.h"

namespace {

constexpr int kCap = 256;

// The unit and the clock in one fake, on virtual time: bytes become waiting
// at given moments, optionally followed by one byte repeated for far longer
// than any exchange may read (so that an unbounded loop ends and is seen);
// Sleep advances time and records the wait.
class ScriptedUnit {
 public:
  void Arrive(long long at, const std::string& bytes) {
    for (char c : bytes) queue_.emplace_back(at, c);
  }
  void StreamForever(char byte) {
    streamLeft_ = 1LL << 24;
    streamByte_ = byte;
  }

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
  int WriteString(const char* s) {
    written += s;
    return 1;
  }
  void Sleep(int ms) {
    sleeps.push_back(ms);
    now += ms;
  }
  size_t pending() const { return queue_.size(); }
  int pauses() const {
    int n = 0;
    for (size_t i = 2; i < sleeps.size(); ++i) n += sleeps[i] == kBytePauseMs;
    return n;
  }

  long long now = 0;
  long long reads = 0;
  std::vector<int> sleeps;
  std::string written;

 private:
  std::deque<std::pair<long long, char>> queue_;
  long long streamLeft_ = 0;
  char streamByte_ = 0;
};

// One exchange; the reply as stored, NULs included, up to the count. The
// buffer has four guard bytes past the 256 the exchange may use.
std::string Exchange(ScriptedUnit& unit, const std::string& cmd) {
  std::array<char, kCap + 4> buf;
  buf.fill('#');
  const int n = TransactOn(unit, unit, cmd.c_str(), buf.data(), kCap);
  EXPECT_TRUE(n >= 0 && n < kCap) << n;
  EXPECT_EQ(buf[static_cast<size_t>(n)], '\0');
  EXPECT_EQ(std::string(buf.data() + kCap, 4), "####");
  return std::string(buf.data(), static_cast<size_t>(n));
}

TEST(TransactTest, SilentUnitGetsTheLineAndTheWaitsForItsLength) {
  const struct {
    std::string cmd;
    int first, second;
  } cases[] = {
      {"", 36, 56},
      {std::string(1000, 'S'), 4 * 1002 + 28, 8 * 1002 + 40},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.cmd.size());
    ScriptedUnit unit;
    EXPECT_EQ(Exchange(unit, c.cmd), "");
    EXPECT_EQ(unit.written, c.cmd + "\r\n");
    EXPECT_EQ(unit.sleeps, (std::vector<int>{c.first, c.second}));
    EXPECT_EQ(unit.reads, 4);  // drain, echo, CRs, reply: each ends at its first empty read
  }
}

TEST(TransactTest, ReplyIsTheLineAfterTheEcho) {
  const struct {
    const char* what;
    std::string cmd;
    std::string unitSends;
    std::string reply;
    size_t left;  // bytes the next exchange's drain gets
  } cases[] = {
      {"LF and prompt left", "V", "V\r\nV1.02\r\nZETA7>", "V1.02", 7},
      {"leading CRs skipped", "S", "S\r\n\r\r\rOK\r", "OK", 0},
      {"one bare LF skipped", "S", "S\r\n\nOK\r", "OK", 0},
      {"a second LF opens the reply", "S", "S\r\n\r\n\nOK\r", "\nOK", 0},
      {"LF inside the reply kept", "S", "S\r\nO\nK\r\n", "O\nK", 1},
      {"NUL stored and counted", "V", std::string("V\r\nA\0B\r\n", 8), std::string("A\0B", 3), 1},
      {"no echo: first line taken for it", "V", "V1.02\r\nZETA7>", "ZETA7>", 0},
      {"no echo: bare prompt consumed", "", "ZETA7>", "", 0},
      {"capped at 255", "R", "R\r\n" + std::string(300, 'a'), std::string(255, 'a'), 45},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedUnit unit;
    unit.Arrive(1, c.unitSends);
    EXPECT_EQ(Exchange(unit, c.cmd), c.reply);
    EXPECT_EQ(unit.pending(), c.left);
    // Whatever was left is drained before the next command goes out.
    unit.Arrive(unit.now + 1, "V\r\nV9\r\n");
    EXPECT_EQ(Exchange(unit, "V"), "V9");
  }
}

TEST(TransactTest, ByteLateForThePauseCutsTheReply) {
  // After the waits (104 ms) the reads run at 104, 108, 112 (echo), 112
  // ('V'), 112 ('1'), 116 ('.'), 120: a byte due by then continues the reply.
  const struct {
    long long tailAt;
    const char* reply;
    int pauses;
  } cases[] = {{120, "V1.02", 6}, {121, "V1.", 4}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tailAt);
    ScriptedUnit unit;
    unit.Arrive(1, "V\r\nV1.");
    unit.Arrive(c.tailAt, "02\r\n");
    EXPECT_EQ(Exchange(unit, "V"), c.reply);
    EXPECT_EQ(unit.pauses(), c.pauses);
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
    EXPECT_EQ(Exchange(unit, "V"), c.reply);
    EXPECT_EQ(unit.written, "V\r\n");
    EXPECT_LE(unit.reads, c.mostReads);
    EXPECT_LE(unit.now, c.mostMs);
  }
}

// The bounds leave room for what a unit may send: a second of backlog at
// 460800 bit/s (46080 bytes) is drained whole, and the echo of a 40-byte
// line is skipped whole.
TEST(TransactTest, BoundsTakeABacklogAndALongEchoWhole) {
  ScriptedUnit backlog;
  backlog.Arrive(0, std::string(46080, 'n'));
  backlog.Arrive(1, "V\r\nV1\r\n");
  EXPECT_EQ(Exchange(backlog, "V"), "V1");
  EXPECT_EQ(backlog.written, "V\r\n");

  const std::string longLine = "S " + std::string(36, '9');
  ScriptedUnit echo;
  echo.Arrive(1, longLine + "\r\nOK\r\n");
  EXPECT_EQ(Exchange(echo, longLine), "OK");
}

}  // namespace

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
// at given moments, optionally followed by one byte repeated forever; Sleep
// advances time and records the wait.
class ScriptedUnit {
 public:
  void Arrive(long long at, const std::string& bytes) {
    for (char c : bytes) queue_.emplace_back(at, c);
  }
  void StreamForever(char byte) {
    streaming_ = true;
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
    return streaming_ ? 0x100 | static_cast<unsigned char>(streamByte_) : 0;
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
  bool streaming_ = false;
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

// A device that never stops sending must not hold the exchange: each loop
// ends at its bound as if the line had fallen silent.
TEST(TransactTest, EndlessInputEndsAtTheBounds) {
  ScriptedUnit stream;
  stream.StreamForever('x');
  EXPECT_EQ(Exchange(stream, "V"), std::string(255, 'x'));
  EXPECT_EQ(stream.written, "V\r\n");
  EXPECT_EQ(stream.reads, kMaxDrainBytes + kMaxEchoBytes + 255);
  EXPECT_EQ(stream.pauses(), (kMaxEchoBytes - 1) + 253);

  ScriptedUnit crs;
  crs.Arrive(1, "V\r\n");
  crs.StreamForever('\r');
  EXPECT_EQ(Exchange(crs, "V"), "");
  // Drain, 3 echo bytes, the CR bound, and the CR that ends the empty reply.
  EXPECT_EQ(crs.reads, 1 + 3 + kMaxLeadingCrs + 1);

  // The drain stops with ten backlog bytes left: they are taken as echo.
  ScriptedUnit backlog;
  backlog.Arrive(0, std::string(kMaxDrainBytes + 10, 'n'));
  backlog.Arrive(1, "V\r\nV1\r\n");
  EXPECT_EQ(Exchange(backlog, "V"), "V1");
  EXPECT_EQ(backlog.written, "V\r\n");
}

}  // namespace

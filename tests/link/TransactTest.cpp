#include <gtest/gtest.h>

#include <array>
#include <numeric>
#include <string>
#include <vector>

#include "ScriptedPort.h"
#include "Transact.h"

namespace {

constexpr int kCap = 256;

class TransactTest : public ::testing::Test {
 protected:
  TransactTest() { buf_.fill('#'); }

  // Runs one exchange; the unit's answer is scheduled by the test before.
  int Exchange(const char* cmd) { return TransactOn(port_, clock_, cmd, buf_.data(), kCap); }
  std::string Reply(int n) const { return std::string(buf_.data(), static_cast<size_t>(n)); }
  // Virtual moment just after the exchange's write.
  long long Soon() const { return clock_.Now() + 1; }
  int PauseCount() const {
    int n = 0;
    for (size_t i = 2; i < clock_.sleeps().size(); ++i) n += clock_.sleeps()[i] == kBytePauseMs;
    return n;
  }

  FakeClock clock_;
  ScriptedPort port_{clock_};
  // Four guard bytes past the 256 the exchange may use.
  std::array<char, kCap + 4> buf_;
};

struct CommandWaits {
  const char* cmd;
  const char* line;
  int first;
  int second;
};

TEST_F(TransactTest, SilentUnitGetsTheLineAndTheWaitsForItsLength) {
  const CommandWaits cases[] = {
      {"", "\r\n", 36, 56},
      {"V", "V\r\n", 40, 64},
      {"R", "R\r\n", 40, 64},
      {"S 1 2 3 4", "S 1 2 3 4\r\n", 4 * 11 + 28, 8 * 11 + 40},
      {"S 10 99 -1 60000", "S 10 99 -1 60000\r\n", 4 * 18 + 28, 8 * 18 + 40},
  };
  for (const CommandWaits& c : cases) {
    SCOPED_TRACE(c.line);
    FakeClock clock;
    ScriptedPort port(clock);
    std::array<char, kCap> reply;
    reply.fill('#');
    EXPECT_EQ(TransactOn(port, clock, c.cmd, reply.data(), kCap), 0);
    EXPECT_EQ(port.written(), c.line);
    EXPECT_EQ(clock.sleeps(), (std::vector<int>{c.first, c.second}));
    EXPECT_EQ(reply[0], '\0');
    // Drain, echo, CRs, reply: each step ends at its first empty read.
    EXPECT_EQ(port.reads(), 4);
  }
}

TEST_F(TransactTest, PromptAfterEchoPausesBeforeEveryReadButTheFirstOfAStep) {
  port_.Arrive(1, "\r\nZETA7>");
  const int n = Exchange("");
  EXPECT_EQ(Reply(n), "ZETA7>");
  EXPECT_EQ(buf_[6], '\0');
  // Echo: CR, pause, LF. CRs: 'Z' at once. Reply: E T A 7 > each followed by
  // a pause before the next read, the last of which finds silence.
  EXPECT_EQ(clock_.sleeps(), (std::vector<int>{36, 56, 4, 4, 4, 4, 4, 4}));
}

TEST_F(TransactTest, ReplyTextAloneAndTheNextDrainDiscardsTheRest) {
  port_.Arrive(1, "V\r\nV1.02\r\nZETA7>");
  int n = Exchange("V");
  EXPECT_EQ(Reply(n), "V1.02");
  EXPECT_EQ(port_.pending(), 7u);  // LF and prompt stay in the driver

  port_.Arrive(Soon(), "R\r\n 1  2     3   100\r\nZETA7>");
  n = Exchange("R");
  EXPECT_EQ(Reply(n), " 1  2     3   100");
  EXPECT_EQ(n, 17);
  EXPECT_EQ(port_.written(), "V\r\nR\r\n");
}

TEST_F(TransactTest, LeadingCrsAndOneLfAreSkipped) {
  struct Case {
    std::string afterEcho;
    std::string reply;
  };
  const Case cases[] = {
      {"OK\r", "OK"},         {"\r\r\rOK\r", "OK"}, {"\r\nOK\r", "OK"}, {"\nOK\r", "OK"},
      {"\r\n\nOK\r", "\nOK"},                        // a second LF opens the reply
      {"\r\r\n\nX\r", "\nX"}, {"O\nK\r\n", "O\nK"},  // an LF inside the reply is kept
      {"\r\n\r", ""},         {"\r", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.afterEcho));
    port_.Arrive(Soon(), "S 1 2 3 4\r\n" + c.afterEcho);
    EXPECT_EQ(Reply(Exchange("S 1 2 3 4")), c.reply);
  }
}

TEST_F(TransactTest, OverlongReplyStopsAt255WithNulInTheLastByte) {
  port_.Arrive(1, "R\r\n" + std::string(300, 'a'));
  const int n = Exchange("R");
  EXPECT_EQ(n, kCap - 1);
  EXPECT_EQ(Reply(n), std::string(255, 'a'));
  EXPECT_EQ(buf_[kCap - 1], '\0');
  EXPECT_EQ(std::string(buf_.data() + kCap, 4), "####");
  EXPECT_EQ(port_.pending(), 45u);

  EXPECT_EQ(Exchange("R"), 0);
  EXPECT_EQ(port_.pending(), 0u);
}

TEST_F(TransactTest, ByteLateForThePauseCutsTheReply) {
  // After the waits (104 ms) the reads run at 104, 108, 112 (echo), 112
  // ('V'), 112 ('1'), 116 ('.'), 120: a byte due by then continues the reply.
  struct Case {
    long long tailAt;
    std::string reply;
  };
  const Case cases[] = {{120, "V1.02"}, {121, "V1."}, {500, "V1."}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tailAt);
    FakeClock clock;
    ScriptedPort port(clock);
    std::array<char, kCap> reply;
    port.Arrive(1, "V\r\nV1.");
    port.Arrive(c.tailAt, "02\r\n");
    const int n = TransactOn(port, clock, "V", reply.data(), kCap);
    EXPECT_EQ(std::string(reply.data(), static_cast<size_t>(n)), c.reply);

    clock.Advance(1000);  // the tail has arrived; the next drain takes it
    port.Arrive(clock.Now() + 1, "V\r\nV1.02\r\n");
    EXPECT_EQ(TransactOn(port, clock, "V", reply.data(), kCap), 5);
    EXPECT_STREQ(reply.data(), "V1.02");
  }
}

TEST_F(TransactTest, WithoutEchoTheFirstLineIsTakenForTheEcho) {
  port_.Arrive(1, "V1.02\r\nZETA7>");
  EXPECT_EQ(Reply(Exchange("V")), "ZETA7>");
}

TEST_F(TransactTest, WithoutEchoABarePromptIsConsumedWhole) {
  port_.Arrive(1, "ZETA7>");
  EXPECT_EQ(Exchange(""), 0);
  EXPECT_EQ(buf_[0], '\0');
  EXPECT_EQ(port_.pending(), 0u);
}

TEST_F(TransactTest, NulInsideTheReplyIsStoredAndCounted) {
  port_.Arrive(1, std::string("V\r\nA\0B\r\n", 7));
  const int n = Exchange("V");
  EXPECT_EQ(n, 3);
  EXPECT_EQ(Reply(n + 1), std::string("A\0B\0", 4));
}

TEST_F(TransactTest, LongCommandIsSentWhole) {
  const std::string cmd(1000, 'S');
  EXPECT_EQ(Exchange(cmd.c_str()), 0);
  EXPECT_EQ(port_.written(), cmd + "\r\n");
  EXPECT_EQ(clock_.sleeps(), (std::vector<int>{4 * 1002 + 28, 8 * 1002 + 40}));
}

// A device that never stops sending must not hold the exchange: each loop
// ends at its bound as if the line had fallen silent.
TEST_F(TransactTest, EndlessStreamWithoutLineEndsEndsAtTheBounds) {
  port_.StreamForever(0, 'x');
  const int n = Exchange("V");
  EXPECT_EQ(port_.written(), "V\r\n");
  EXPECT_EQ(Reply(n), std::string(255, 'x'));
  EXPECT_EQ(port_.reads(), kMaxDrainBytes + kMaxEchoBytes + 255);
  EXPECT_EQ(PauseCount(), (kMaxEchoBytes - 1) + 253);
}

TEST_F(TransactTest, EndlessCrsAfterTheEchoEndAtTheBound) {
  port_.Arrive(1, "V\r\n");
  port_.StreamForever(1, '\r');
  EXPECT_EQ(Exchange("V"), 0);
  EXPECT_EQ(buf_[0], '\0');
  // Drain, 3 echo bytes, the CR bound, and the CR that ends the empty reply.
  EXPECT_EQ(port_.reads(), 1 + 3 + kMaxLeadingCrs + 1);
  EXPECT_EQ(PauseCount(), 2 + (kMaxLeadingCrs - 1));
}

TEST_F(TransactTest, EndlessBacklogIsDrainedOnlyUpToTheBound) {
  port_.Arrive(0, std::string(kMaxDrainBytes + 10, 'n'));
  port_.Arrive(1, "V\r\nV1\r\n");
  const int n = Exchange("V");
  EXPECT_EQ(port_.written(), "V\r\n");
  // The drain stopped with ten backlog bytes left: they are taken as echo.
  EXPECT_EQ(Reply(n), "V1");
  EXPECT_EQ(port_.pending(), 1u);
}

}  // namespace

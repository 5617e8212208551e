// The real serial port and exchange against the simulated unit over a
// pseudo-terminal: what the program sees of a sound unit and of each fault.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "CComPort.h"
#include "ComResolver.h"
#include "SimProcess.h"
#include "Transact.h"

namespace {

const char kParams17[] = "12  3     5  1000";

class SimLink : public ::testing::Test {
 protected:
  void SetUp() override {
    if (access("/dev/ptmx", R_OK | W_OK) != 0) {
      GTEST_SKIP() << "no pseudo-terminals on this machine (/dev/ptmx)";
    }
  }
  void TearDown() override { SetComMap({}); }

  // Starts a unit and makes it COM1.
  bool StartUnit(const std::vector<std::string>& args = {}) {
    if (!m_sim.Start(args)) return false;
    SetComMap({{1, m_sim.DevicePath()}});
    return true;
  }

  // Opens COM1 as the dialog's connect does.
  static int Connect(CComPort& port, int baud = 38400) {
    const int ok = port.Reopen(1, baud, 8, 0, 0);
    port.SetLineControl(1, 0);
    port.SetRts(1);
    return ok;
  }

  // The reply as stored, NULs included, up to the returned count.
  static std::string Exchange(CComPort& port, const char* cmd) {
    char reply[256];
    std::memset(reply, 'x', sizeof reply);
    SystemClock clock;
    const int n = TransactOn(port, clock, cmd, reply, 256);
    EXPECT_GE(n, 0);
    EXPECT_LE(n, 255);
    EXPECT_EQ(reply[n], '\0');
    return std::string(reply, static_cast<size_t>(n));
  }

  CSimProcess m_sim;
};

TEST_F(SimLink, HandshakeReadWriteAndReadBack) {
  ASSERT_TRUE(StartUnit()) << m_sim.Error();
  CComPort port;
  ASSERT_EQ(Connect(port), 1);
  EXPECT_EQ(Exchange(port, ""), "ZETA7>");
  EXPECT_EQ(Exchange(port, "V"), "V1.02.03");
  EXPECT_EQ(Exchange(port, "R"), kParams17);
  EXPECT_EQ(Exchange(port, "S 20 4 -1 500"), "OK");
  EXPECT_EQ(Exchange(port, "R"), "20  4    -1   500");
  EXPECT_EQ(Exchange(port, "S 47 4 -1 500"), "NG");
  // Everything the program put on the line, byte for byte.
  EXPECT_EQ(m_sim.ReceivedBytes(), "\r\nV\r\nR\r\nS 20 4 -1 500\r\nR\r\nS 47 4 -1 500\r\n");
  EXPECT_EQ(m_sim.ReceivedLines().back(), "S 47 4 -1 500");
}

TEST_F(SimLink, ParamReplyLengths) {
  const struct {
    const char* option;
    const char* reply;
  } cases[] = {
      {"--r16", "12  3    5  1000"},
      {"--r18", "12  3      5  1000"},
      {"--r19", "12  3       5  1000"},
  };
  for (const auto& c : cases) {
    CSimProcess sim;
    ASSERT_TRUE(sim.Start({c.option})) << sim.Error();
    SetComMap({{1, sim.DevicePath()}});
    CComPort port;
    ASSERT_EQ(Connect(port), 1);
    EXPECT_EQ(Exchange(port, "R"), c.reply) << c.option;
  }
}

TEST_F(SimLink, SecondOpenRefusedWhileFirstHoldsThePort) {
  ASSERT_TRUE(StartUnit()) << m_sim.Error();
  CComPort first;
  CComPort second;
  ASSERT_EQ(Connect(first), 1);
  EXPECT_EQ(Connect(second), 0);
  EXPECT_FALSE(second.IsOpen());
  EXPECT_EQ(Exchange(first, ""), "ZETA7>");
  first.Close();
  ASSERT_EQ(Connect(second), 1);
  EXPECT_EQ(Exchange(second, "V"), "V1.02.03");
}

TEST_F(SimLink, SurvivesOpenAndCloseAgainAndAgain) {
  ASSERT_TRUE(StartUnit()) << m_sim.Error();
  CComPort port;
  for (int i = 0; i < 5; ++i) {
    ASSERT_EQ(Connect(port), 1) << "round " << i;
    EXPECT_EQ(Exchange(port, ""), "ZETA7>") << "round " << i;
    port.Close();
  }
  // Left unread while the port was closed: the next exchange drains it.
  ASSERT_EQ(Connect(port), 1);
  EXPECT_EQ(Exchange(port, "R"), kParams17);
}

TEST_F(SimLink, StableLinkOpensTheUnitAndGoesAtExit) {
  const std::string link = ::testing::TempDir() + "zeta7-sim-link";
  ASSERT_TRUE(m_sim.Start({"--link", link})) << m_sim.Error();
  SetComMap({{1, link}});
  {
    CComPort port;
    ASSERT_EQ(Connect(port), 1);
    EXPECT_EQ(Exchange(port, ""), "ZETA7>");
  }
  EXPECT_EQ(m_sim.Stop(), 0);
  struct stat st;
  EXPECT_NE(lstat(link.c_str(), &st), 0) << link << " left behind";
}

TEST_F(SimLink, FaultsAsTheProgramSeesThem) {
  const struct {
    std::vector<std::string> args;
    const char* cmd;
    std::string reply;
  } cases[] = {
      {{"--silent"}, "", ""},
      {{"--silent"}, "V", ""},
      {{"--wrong-prompt"}, "", "ZETA7> "},
      // With no echo the first line of the answer is taken for the echo: a
      // bare prompt is swallowed whole, and a reply leaves the prompt.
      {{"--no-echo"}, "", ""},
      {{"--no-echo"}, "V", "ZETA7>"},
      {{"--lower-v"}, "V", "v1.02.03"},
      {{"--lower-ok"}, "S 12 3 5 1000", "ok"},
      {{"--nul"},
       "V",
       std::string("V1.0\0"
                   "2.03",
                   9)},
  };
  for (const auto& c : cases) {
    CSimProcess sim;
    ASSERT_TRUE(sim.Start(c.args)) << sim.Error();
    SetComMap({{1, sim.DevicePath()}});
    CComPort port;
    ASSERT_EQ(Connect(port), 1);
    EXPECT_EQ(Exchange(port, c.cmd), c.reply) << c.args[0] << " " << c.cmd;
  }
}

TEST_F(SimLink, GarbageFailsThePromptCheck) {
  ASSERT_TRUE(StartUnit({"--garbage"})) << m_sim.Error();
  CComPort port;
  ASSERT_EQ(Connect(port), 1);
  EXPECT_NE(Exchange(port, ""), "ZETA7>");
}

TEST_F(SimLink, OverlongReplyIsCappedAndTheRestDrained) {
  ASSERT_TRUE(StartUnit({"--overlong"})) << m_sim.Error();
  CComPort port;
  ASSERT_EQ(Connect(port), 1);
  const std::string reply = Exchange(port, "V");
  ASSERT_EQ(reply.size(), 255u);
  EXPECT_EQ(reply.substr(0, 8), "V1.02.03");
  EXPECT_EQ(Exchange(port, ""), "ZETA7>");
}

TEST_F(SimLink, SlowBytesCutTheReply) {
  ASSERT_TRUE(StartUnit({"--slow=40"})) << m_sim.Error();
  CComPort port;
  ASSERT_EQ(Connect(port), 1);
  const std::string reply = Exchange(port, "R");
  EXPECT_LT(reply.size(), 17u);
  EXPECT_EQ(reply, std::string(kParams17).substr(0, reply.size()));
}

TEST_F(SimLink, ByteTimeFollowsTheLineSpeed) {
  ASSERT_TRUE(StartUnit()) << m_sim.Error();
  CComPort port;
  // 600 bit/s: 16.7 ms a byte, four times the exchange's pause.
  ASSERT_EQ(Connect(port, 600), 1);
  const std::string slow = Exchange(port, "R");
  EXPECT_LT(slow.size(), 17u);
  EXPECT_EQ(slow, std::string(kParams17).substr(0, slow.size()));
  port.Close();
  CSimProcess fresh;  // nothing left trickling in from the slow reply
  ASSERT_TRUE(fresh.Start()) << fresh.Error();
  SetComMap({{1, fresh.DevicePath()}});
  ASSERT_EQ(Connect(port, 38400), 1);
  EXPECT_EQ(Exchange(port, "R"), kParams17);
}

TEST_F(SimLink, EndlessStreamStillEndsTheExchange) {
  ASSERT_TRUE(StartUnit({"--stream"})) << m_sim.Error();
  CComPort port;
  ASSERT_EQ(Connect(port), 1);
  // The echo is found, then the stream fills the reply to its cap.
  EXPECT_EQ(Exchange(port, "").size(), 255u);
  EXPECT_EQ(Exchange(port, "V").size(), 255u);
}

TEST_F(SimLink, HangUpMidReply) {
  ASSERT_TRUE(StartUnit({"--hangup", "--slow=30"})) << m_sim.Error();
  CComPort port;
  ASSERT_EQ(Connect(port), 1);
  const std::string reply = Exchange(port, "V");
  EXPECT_EQ(reply, std::string("V1.0").substr(0, reply.size()));
  // The line is gone: nothing more comes, and nothing blocks.
  EXPECT_EQ(Exchange(port, ""), "");
  EXPECT_EQ(m_sim.Stop(), 0);
  EXPECT_EQ(Exchange(port, "R"), "");
  port.Close();
  EXPECT_FALSE(port.IsOpen());
}

}  // namespace

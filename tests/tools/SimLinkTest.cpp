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

const std::string kParams17 = "12  3     5  1000";

class SimLink : public ::testing::Test {
 protected:
  void SetUp() override {
    if (access("/dev/ptmx", R_OK | W_OK) != 0) GTEST_SKIP() << "no pseudo-terminals (/dev/ptmx)";
  }
  void TearDown() override { SetComMap({}); }

  // Starts a unit, makes it COM1 and opens it as the dialog's connect does.
  static void Connect(CSimProcess& sim, CComPort& port, const std::vector<std::string>& args = {},
                      int baud = 38400) {
    ASSERT_TRUE(sim.Start(args)) << sim.Error();
    SetComMap({{1, sim.DevicePath()}});
    ASSERT_EQ(port.Reopen(1, baud, 8, 0, 0), 1);
    port.SetLineControl(1, 0);
    port.SetRts(1);
  }

  // The reply as stored, NULs included, up to the returned count.
  static std::string Exchange(CComPort& port, const char* cmd) {
    char reply[256];
    std::memset(reply, 'x', sizeof reply);
    SystemClock clock;
    const int n = TransactOn(port, clock, cmd, reply, 256);
    EXPECT_TRUE(n >= 0 && n <= 255 && reply[n] == '\0') << n;
    return std::string(reply, static_cast<size_t>(n));
  }
};

TEST_F(SimLink, HandshakeReadWriteAndReadBack) {
  CSimProcess sim;
  CComPort port;
  ASSERT_NO_FATAL_FAILURE(Connect(sim, port));
  EXPECT_EQ(Exchange(port, ""), "ZETA7>");
  EXPECT_EQ(Exchange(port, "V"), "V1.02.03");
  EXPECT_EQ(Exchange(port, "R"), kParams17);
  EXPECT_EQ(Exchange(port, "S 20 4 -1 500"), "OK");
  EXPECT_EQ(sim.ReceivedLines().back(), "S 20 4 -1 500");
  EXPECT_EQ(Exchange(port, "R"), "20  4    -1   500");
  EXPECT_EQ(Exchange(port, "S 47 4 -1 500"), "NG");
  // Everything the program put on the line, byte for byte.
  EXPECT_EQ(sim.ReceivedBytes(), "\r\nV\r\nR\r\nS 20 4 -1 500\r\nR\r\nS 47 4 -1 500\r\n");
}

TEST_F(SimLink, SecondOpenRefusedWhileFirstHoldsThePort) {
  CSimProcess sim;
  CComPort first;
  CComPort second;
  ASSERT_NO_FATAL_FAILURE(Connect(sim, first));
  EXPECT_EQ(second.Open(1), 0);
  EXPECT_EQ(Exchange(first, ""), "ZETA7>");
  first.Close();
  ASSERT_EQ(second.Open(1), 1);
  EXPECT_EQ(Exchange(second, "V"), "V1.02.03");
}

TEST_F(SimLink, FaultsAsTheProgramSeesThem) {
  enum Match { kExact, kCutShort, kPrefix, kCapped, kNot };
  const struct {
    std::vector<std::string> args;
    int baud;
    const char* cmd;
    std::string reply;
    Match match;
  } cases[] = {
      {{"--r16"}, 38400, "R", "12  3    5  1000", kExact},
      {{"--r18"}, 38400, "R", "12  3      5  1000", kExact},
      {{"--r19"}, 38400, "R", "12  3       5  1000", kExact},
      {{"--silent"}, 38400, "V", "", kExact},
      {{"--wrong-prompt"}, 38400, "", "ZETA7> ", kExact},
      // With no echo the first line of the answer is taken for the echo: a
      // bare prompt is swallowed whole, and a reply leaves the prompt.
      {{"--no-echo"}, 38400, "", "", kExact},
      {{"--no-echo"}, 38400, "V", "ZETA7>", kExact},
      {{"--lower-v"}, 38400, "V", "v1.02.03", kExact},
      {{"--lower-ok"}, 38400, "S 12 3 5 1000", "ok", kExact},
      {{"--nul"}, 38400, "V", std::string("V1.0\0002.03", 9), kExact},
      {{"--garbage"}, 38400, "", "ZETA7>", kNot},
      {{"--overlong"}, 38400, "V", "V1.02.03", kCapped},
      {{"--stream"}, 38400, "V", "", kCapped},
      {{"--slow=40"}, 38400, "R", kParams17, kCutShort},
      // Hung up before the exchange's waits end: the unread bytes go with the line.
      {{"--hangup"}, 38400, "V", "", kExact},
      // The hang-up comes after half the reply; how much of that half is read
      // depends on scheduling, but never more, and never a hang.
      {{"--hangup", "--slow=30"}, 38400, "V", "V1.0", kPrefix},
      // 600 bit/s: 16.7 ms a byte, four times the exchange's pause.
      {{}, 600, "R", kParams17, kCutShort},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE((c.args.empty() ? "" : c.args[0]) + " " + c.cmd);
    CSimProcess sim;
    CComPort port;
    ASSERT_NO_FATAL_FAILURE(Connect(sim, port, c.args, c.baud));
    const std::string reply = Exchange(port, c.cmd);
    switch (c.match) {
      case kExact:
        EXPECT_EQ(reply, c.reply);
        break;
      case kCutShort:
        EXPECT_LT(reply.size(), c.reply.size());
        EXPECT_EQ(reply, c.reply.substr(0, reply.size()));
        break;
      case kPrefix:
        EXPECT_EQ(reply, c.reply.substr(0, reply.size()));
        break;
      case kCapped:
        EXPECT_EQ(reply.size(), 255u);
        EXPECT_EQ(reply.substr(0, c.reply.size()), c.reply);
        break;
      case kNot:
        EXPECT_NE(reply, c.reply);
        break;
    }
  }
}

TEST_F(SimLink, StableLinkOpensTheUnitAndGoesAtExit) {
  const std::string link = ::testing::TempDir() + "zeta7-sim-link";
  CSimProcess sim;
  CComPort port;
  ASSERT_NO_FATAL_FAILURE(Connect(sim, port, {"--link", link}));
  port.Close();
  SetComMap({{1, link}});
  ASSERT_EQ(port.Open(1), 1);
  EXPECT_EQ(Exchange(port, ""), "ZETA7>");
  port.Close();
  EXPECT_EQ(sim.Stop(), 0);
  struct stat st;
  EXPECT_NE(lstat(link.c_str(), &st), 0) << link << " left behind";
}

}  // namespace

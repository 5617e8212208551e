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

  // Starts a unit, makes it COM1 and opens it as the dialog's connect does.
  static void Connect(CSimProcess& sim, CComPort& port, const std::vector<std::string>& args = {},
                      int baud = 38400) {
    ASSERT_TRUE(sim.Start(args)) << sim.Error();
    port.SetComMap({{1, sim.DevicePath()}});
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

// The faults the window tests do not already meet, as the exchange sees them.
TEST_F(SimLink, FaultsAsTheProgramSeesThem) {
  enum Match { kExact, kCutShort, kPrefix, kCapped };
  const struct {
    std::vector<std::string> args;
    int baud;
    const char* cmd;
    std::string reply;
    Match match;
  } cases[] = {
      // With no echo the first line of the answer is taken for the echo: a
      // bare prompt is swallowed whole, and a reply leaves the prompt.
      {{"--no-echo"}, 38400, "", "", kExact},
      {{"--no-echo"}, 38400, "V", "ZETA7>", kExact},
      {{"--nul"}, 38400, "V", std::string("V1.0\0002.03", 9), kExact},
      {{"--overlong"}, 38400, "V", "V1.02.03", kCapped},
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
    if (c.match == kCapped) {
      EXPECT_EQ(reply.size(), 255u);
      EXPECT_EQ(reply.substr(0, c.reply.size()), c.reply);
      continue;
    }
    EXPECT_EQ(reply, c.reply.substr(0, reply.size()));
    if (c.match != kPrefix) {
      EXPECT_EQ(reply.size() < c.reply.size(), c.match == kCutShort);
    }
  }
}

TEST_F(SimLink, StableLinkOpensTheUnitAndGoesAtExit) {
  const std::string link = ::testing::TempDir() + "zeta7-sim-link";
  CSimProcess sim;
  CComPort port;
  ASSERT_NO_FATAL_FAILURE(Connect(sim, port, {"--link", link}));
  port.Close();
  port.SetComMap({{1, link}});
  ASSERT_EQ(port.Open(1), 1);
  EXPECT_EQ(Exchange(port, ""), "ZETA7>");
  port.Close();
  EXPECT_EQ(sim.Stop(), 0);
  struct stat st;
  EXPECT_NE(lstat(link.c_str(), &st), 0) << link << " left behind";
}

}  // namespace

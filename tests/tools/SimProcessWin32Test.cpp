// CSimProcess under Wine: the Linux zeta7-sim ($ZETA7_SIM) started from a
// Windows program, reached through COM1, which scripts/wine-test.sh maps to
// the fixed link ZETA7_COM1_LINK that every unit started here takes, as the
// window's tests start theirs. Run alone, the tests skip.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "CComPort.h"
#include "SimProcess.h"
#include "TestFiles.h"
#include "Transact.h"
#include "UnitOnCom.h"

namespace {

using Lines = std::vector<std::string>;

class SimProcessWin32 : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("ZETA7_SIM") == nullptr || m_strLink.empty()) {
      GTEST_SKIP() << "ZETA7_SIM or ZETA7_COM1_LINK not set: run through scripts/wine-test.sh";
    }
  }

  static void Connect(CComPort& port) {
    ASSERT_EQ(port.Reopen(1, 38400, 8, 0, 0), 1) << "COM1";
    port.SetLineControl(1, 0);
  }

  static std::string Exchange(CComPort& port, const char* cmd) {
    char reply[256];
    std::memset(reply, 'x', sizeof reply);
    SystemClock clock;
    const int n = TransactOn(port, clock, cmd, reply, 256);
    EXPECT_TRUE(n >= 0 && n <= 255 && reply[n] == '\0') << n;
    return std::string(reply, static_cast<size_t>(n));
  }

  std::string m_strLink = UnitLinkPath(1, "unused");
};

// Each start is reached through the same COM1 with its own switches and its
// own log; a unit stops while the program holds it open, and takes its link
// with it; one that hung up by itself stops too.
TEST_F(SimProcessWin32, UnitsStartedOneAfterAnotherAreEachCom1) {
  CSimProcess sim;
  ASSERT_TRUE(sim.Start({"--r18", "--link", m_strLink})) << sim.Error();
  EXPECT_EQ(sim.DevicePath().compare(0, 9, "/dev/pts/"), 0) << sim.DevicePath();
  {
    CComPort port;
    ASSERT_NO_FATAL_FAILURE(Connect(port));
    EXPECT_EQ(Exchange(port, "V"), "V1.02.03");
    EXPECT_EQ(Exchange(port, "R"), "12  3      5  1000");
    EXPECT_EQ(sim.ReceivedBytes(), "V\r\nR\r\n");
    EXPECT_EQ(sim.Stop(), 0) << sim.Error();
    EXPECT_FALSE(sim.Running());
    EXPECT_EQ(Exchange(port, "V"), "");
  }
  EXPECT_EQ(sim.Stop(), 0);  // again: nothing left to stop
  {
    CComPort port;
    EXPECT_EQ(port.Open(1), 0);  // COM1 leads nowhere
  }

  // A switch value with a blank and quotes reaches the unit as one argument.
  ASSERT_TRUE(sim.Start({"--unit-version", "V9 \"b\\\" \xce\xb2", "--link=" + m_strLink}))
      << sim.Error();
  CComPort port;
  ASSERT_NO_FATAL_FAILURE(Connect(port));
  EXPECT_EQ(Exchange(port, "V"), "V9 \"b\\\" \xce\xb2");
  EXPECT_EQ(Exchange(port, "S 10 15 -1 60"), "OK");
  EXPECT_EQ(sim.ReceivedLines(), (Lines{"V", "S 10 15 -1 60"}));
  port.Close();
  EXPECT_EQ(sim.Stop(), 0) << sim.Error();

  ASSERT_TRUE(sim.Start({"--hangup", "--link", m_strLink})) << sim.Error();
  ASSERT_NO_FATAL_FAILURE(Connect(port));
  EXPECT_LT(Exchange(port, "V").size(), 8u);
  EXPECT_EQ(sim.Stop(), 0) << sim.Error();
}

// A second unit started while the first runs must not keep the first one's
// output open: Stop would then wait out its bound for an end that does not
// come.
TEST_F(SimProcessWin32, UnitsRunningTogetherStopEachOnTheirOwn) {
  CSimProcess first;
  CSimProcess second;
  ASSERT_TRUE(first.Start({"--link", m_strLink})) << first.Error();
  ASSERT_TRUE(second.Start({"--silent"})) << second.Error();
  EXPECT_NE(first.DevicePath(), second.DevicePath());
  EXPECT_EQ(first.Stop(), 0) << first.Error();
  EXPECT_TRUE(second.Running());
  EXPECT_EQ(second.Stop(), 0) << second.Error();
}

// What cannot start fails at once with the reason, and the object can
// start a sound unit afterwards.
TEST_F(SimProcessWin32, FailuresToStartSayWhy) {
  const struct {
    std::string program;  // "" for the default one
    std::vector<std::string> args;
    std::string reason;
  } cases[] = {
      {"C:\\no such folder\\zeta7-sim", {}, "C:\\no such folder\\zeta7-sim: "},
      // The unit's own reason goes to standard error, as on Linux.
      {"", {"--bogus"}, "exited before printing its device path"},
      {"", {"--link", ""}, "--link: no path given"},
      {"", {"--link", m_strLink + "-missing\\x"}, m_strLink + "-missing\\x: "},
  };
  CSimProcess sim;
  for (const auto& c : cases) {
    const bool started =
        c.program.empty() ? sim.Start(c.args, 3000) : sim.Start(c.program, c.args, 3000);
    EXPECT_FALSE(started) << c.reason;
    EXPECT_NE(sim.Error().find(c.reason), std::string::npos) << sim.Error();
    EXPECT_FALSE(sim.Running());
  }
  ASSERT_TRUE(sim.Start({"--link", m_strLink})) << sim.Error();
  EXPECT_EQ(sim.Stop(), 0);

  CScopedEnv noProgram("ZETA7_SIM", std::nullopt);
  EXPECT_FALSE(sim.Start());
  EXPECT_NE(sim.Error().find("ZETA7_SIM is not set"), std::string::npos) << sim.Error();
}

}  // namespace

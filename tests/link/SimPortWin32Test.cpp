// The Win32 port and the exchange against zeta7-sim, a Linux process on a
// pseudo-terminal that scripts/wine-test.sh maps to COM ports of the Wine
// prefix: ZETA7_SIM_SOUND (a sound unit, its received bytes logged to
// ZETA7_SIM_SOUND_LOG), ZETA7_SIM_SILENT, ZETA7_SIM_HANGUP (hangs up half way
// through its first reply) and ZETA7_SIM_MISSING (mapped to a device that is
// not there) name the port numbers. Run alone, the tests skip.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "CComPort.h"
#include "ComResolver.h"
#include "TestFiles.h"
#include "Transact.h"

namespace {

const std::string kDefaultParams = "12  3     5  1000";  // the sim's unit as it starts

class SimPortWin32 : public ::testing::Test {
 protected:
  // The port number the script gave for role; 0 (and the test skips) when
  // not run by it.
  static int Port(const char* role) {
    const char* value = std::getenv(role);
    return value != nullptr ? std::atoi(value) : 0;
  }

  // Opened as the dialog's connect does.
  static void Connect(CComPort& port, int n, int baud = 38400) {
    ASSERT_EQ(port.Reopen(n, baud, 8, 0, 0), 1) << "COM" << n;
    EXPECT_EQ(port.SetLineControl(1, 0), 1);
    EXPECT_EQ(port.SetRts(1), 1);  // the escape itself fails on a pty; the result does not say so
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

#define REQUIRE_PORT(var, role) \
  const int var = Port(role);   \
  if (var == 0) GTEST_SKIP() << role << " not set: run through scripts/wine-test.sh"

TEST_F(SimPortWin32, SoundUnitConnectsReadsAndWrites) {
  REQUIRE_PORT(n, "ZETA7_SIM_SOUND");
  CComPort port;
  ASSERT_NO_FATAL_FAILURE(Connect(port, n));
  EXPECT_EQ(Exchange(port, ""), "ZETA7>");
  EXPECT_EQ(Exchange(port, "V"), "V1.02.03");
  EXPECT_EQ(Exchange(port, "R"), kDefaultParams);
  EXPECT_EQ(Exchange(port, "S 10 15 -1 60"), "OK");
  EXPECT_EQ(Exchange(port, "R"), "10 15    -1    60");
  EXPECT_EQ(Exchange(port, "S 99 15 -1 60"), "NG");  // channel out of the unit's range

  // Every command went out once, as one line ended by CR LF.
  if (const char* log = std::getenv("ZETA7_SIM_SOUND_LOG")) {
    EXPECT_EQ(ReadFile(log), "\r\nV\r\nR\r\nS 10 15 -1 60\r\nR\r\nS 99 15 -1 60\r\n");
  }

  // Closed and opened again, at another speed, the unit still answers.
  port.Close();
  ASSERT_NO_FATAL_FAILURE(Connect(port, n, 4800));
  EXPECT_EQ(Exchange(port, "R"), "10 15    -1    60");
}

TEST_F(SimPortWin32, SilentUnitGivesNoReply) {
  REQUIRE_PORT(n, "ZETA7_SIM_SILENT");
  CComPort port;
  ASSERT_NO_FATAL_FAILURE(Connect(port, n));
  EXPECT_EQ(Exchange(port, ""), "");
  EXPECT_EQ(Exchange(port, "V"), "");
}

TEST_F(SimPortWin32, UnitThatHangsUpLeavesAShortReplyThenNothing) {
  REQUIRE_PORT(n, "ZETA7_SIM_HANGUP");
  CComPort port;
  ASSERT_NO_FATAL_FAILURE(Connect(port, n));
  const std::string first = Exchange(port, "V");
  EXPECT_EQ(first, std::string("V1.02.03").substr(0, first.size()));
  EXPECT_LT(first.size(), 8u);
  EXPECT_EQ(Exchange(port, "V"), "");
  EXPECT_EQ(port.ReadByte(), 0);
}

// Wine opens the mapped name and fails at the time-outs: 0 with the device
// held until Close, as the callers expect of any driver.
TEST_F(SimPortWin32, PortMappedToAMissingDeviceFailsToOpen) {
  REQUIRE_PORT(n, "ZETA7_SIM_MISSING");
  CComPort port;
  EXPECT_EQ(port.Open(n), 0);
  EXPECT_TRUE(port.IsOpen());
  EXPECT_EQ(port.ReadByte(), 0);
  port.Close();
  EXPECT_FALSE(port.IsOpen());
}

// The ports Wine's port map makes are in the system's serial device map:
// listed by their own numbers, in order, and described for the window's
// list; a [ports] entry for another number is described only when it names
// a present port (in any case).
TEST_F(SimPortWin32, PresentPortsByTheSystemsNumbers) {
  REQUIRE_PORT(n, "ZETA7_SIM_SOUND");
  const std::string name = "\\\\.\\COM" + std::to_string(n);

  const std::vector<SerialDevice> devices = ListSerialDevices();
  int previous = 0;
  bool found = false;
  for (const SerialDevice& d : devices) {
    EXPECT_GT(d.comNumber, previous);
    previous = d.comNumber;
    EXPECT_EQ(d.path, "\\\\.\\COM" + std::to_string(d.comNumber));
    found = found || d.comNumber == n;
  }
  EXPECT_TRUE(found) << name;

  const std::map<int, std::string> described =
      DescribeComPorts(255, {{250, "\\\\.\\com" + std::to_string(n)}, {251, "\\\\.\\ZETA7-NONE"}});
  EXPECT_EQ(described.count(n) ? described.at(n) : "", name);
  EXPECT_EQ(described.count(250) ? described.at(250) : "", "\\\\.\\com" + std::to_string(n));
  EXPECT_EQ(described.count(251), 0u);
  EXPECT_EQ(DescribeComPorts(n - 1, {}).count(n), 0u);
  EXPECT_EQ(ResolveComDevice(n, {}), name);
}

}  // namespace

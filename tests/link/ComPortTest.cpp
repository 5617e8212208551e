#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>

#include "CComPort.h"
#include "FastTransact.h"
#include "PortSystem.h"
#include "TestFiles.h"
#include "Transact.h"
#include "Unprivileged.h"

namespace {

// A pseudo-terminal pair made COM1; the port under test opens the slave side.
class ComPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[128];
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ == -1 || grantpt(master_) != 0 || unlockpt(master_) != 0 ||
        ptsname_r(master_, name, sizeof name) != 0) {
      GTEST_SKIP() << "no pseudo-terminal available";
    }
    slave_ = name;
    map_ = {{1, slave_}};
  }
  void TearDown() override { HangUp(); }
  void HangUp() {
    if (master_ != -1) close(master_);
    master_ = -1;
  }

  int master_ = -1;
  std::string slave_;
  ComMap map_;  // what each port of a test is given
};

// Numbers outside 1..256 open nothing; a port refused so, or closed (twice),
// answers 0 and touches nothing.
TEST_F(ComPortTest, OnlyNumbersOneTo256OpenAndAClosedPortAnswersZero) {
  CComPort refused;
  refused.SetComMap({{0, slave_}, {-1, slave_}, {257, slave_}});
  for (int n : {0, -1, 257}) EXPECT_EQ(refused.Open(n), 0) << n;
  CComPort closed;
  closed.SetComMap({{256, slave_}});
  ASSERT_EQ(closed.Open(256), 1);
  closed.Close();
  closed.Close();
  for (CComPort* port : {&refused, &closed}) {
    char buf[4] = "abc";
    EXPECT_EQ(port->Read(buf, 3), 0);
    EXPECT_EQ(buf[0], '\0');
    EXPECT_EQ(port->ReadByte(), 0);
    EXPECT_EQ(port->Write("x", 1), 0);
    EXPECT_EQ(port->WriteString("x"), 0);
    EXPECT_EQ(port->SetLineControl(1, 1), 0);
    EXPECT_EQ(port->SetRts(1), 0);
  }
}

// A device stays held from Open to Close, even when it is not a terminal and
// Open failed at the time-outs; a second port is refused meanwhile. Open
// again lets the first device go.
TEST_F(ComPortTest, DeviceIsHeldUntilCloseOrTheNextOpen) {
  CTempDir dir;
  WriteFile(dir / "notatty", "");
  map_ = {{1, slave_}, {2, dir / "notatty"}};
  for (int n : {1, 2}) {
    SCOPED_TRACE(n);
    const int expected = n == 1 ? 1 : 0;
    CComPort first;
    first.SetComMap(map_);
    CComPort second;
    second.SetComMap(map_);
    EXPECT_EQ(first.Open(n), expected);
    EXPECT_TRUE(first.IsOpen());
    EXPECT_EQ(second.Open(n), 0);
    EXPECT_FALSE(second.IsOpen());
    if (n == 1) {
      EXPECT_EQ(first.Open(2), 0);  // held, but not a terminal
    } else {
      first.Close();
    }
    EXPECT_EQ(second.Open(n), expected);
    EXPECT_TRUE(second.IsOpen());
  }
}

// A device node the user may not open fails like an absent one.
TEST_F(ComPortTest, UnreadableDeviceIsRefused) {
  ASSERT_EQ(chmod(slave_.c_str(), 0), 0);
  const int result = RunUnprivileged([this] {
    CComPort port;
    port.SetComMap(map_);
    return port.Open(1) == 0 && !port.IsOpen() && port.ReadByte() == 0 ? 0 : 1;
  });
  ASSERT_NE(result, -1) << "could not run without root's rights";
  EXPECT_EQ(result, 0);
}

TEST_F(ComPortTest, SetRtsGoesByTheLastSetLineControl) {
  CComPort port;
  port.SetComMap(map_);
  ASSERT_EQ(port.Open(1), 1);
  EXPECT_EQ(port.SetRts(1), 0);  // never set
  // A pseudo-terminal refuses modem control; the results do not change.
  EXPECT_EQ(port.SetLineControl(0, 1), 1);
  EXPECT_EQ(port.SetRts(1), 0);
  EXPECT_EQ(port.SetLineControl(2, 0), 1);
  EXPECT_EQ(port.SetRts(0), 1);
  // Reopen keeps the stored flag.
  ASSERT_EQ(port.Reopen(1, 4800, 8, 0, 0), 1);
  EXPECT_EQ(port.SetRts(1), 1);
  ASSERT_EQ(port.SetLineControl(0, 0), 1);
  ASSERT_EQ(port.Reopen(1, 4800, 8, 0, 0), 1);
  EXPECT_EQ(port.SetRts(1), 0);
}

// The unit takes the line and hangs up before it answers anything: the
// fast exchange reports the line lost at once, not silence at its time-out;
// after it, reads give nothing and writes and the fixed exchange fail.
TEST_F(ComPortTest, HangUpBeforeAnyReplyIsALostLineAndEndsWhatFollows) {
  struct HangingUpPort {
    CComPort& port;
    std::function<void()> hangUp;
    int ReadByte() { return port.ReadByte(); }
    int WaitByte(int ms) { return port.WaitByte(ms); }
    int WriteString(const char* s) {
      const int written = port.WriteString(s);
      hangUp();
      return written;
    }
  };
  CComPort port;
  port.SetComMap(map_);
  ASSERT_EQ(port.Open(1), 1);
  HangingUpPort line{port, [this] { HangUp(); }};
  SteadyClock clock;
  char reply[256];
  const FastReply r = FastTransactOn(line, clock, "V", reply, 256, kDefaultFastTimeoutMs);
  EXPECT_EQ(r.end, FastEnd::kLineLost);
  EXPECT_EQ(r.count, 0);

  EXPECT_LE(port.Read(reply, 3), 0);
  EXPECT_EQ(port.ReadByte(), 0);
  EXPECT_EQ(port.Write("x", 1), 0);
  SystemClock systemClock;
  EXPECT_EQ(TransactOn(port, systemClock, "V", reply, 256), 0);
}

TEST_F(ComPortTest, LineIsRawAtAKnownSpeedAndKeepsItOtherwise) {
  const int fd = open(slave_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_NE(fd, -1);
  const struct {
    int baud;
    speed_t expected;
  } cases[] = {{38400, B38400}, {115200, B115200}, {12345, B1200}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.baud);
    termios t{};
    ASSERT_EQ(tcgetattr(fd, &t), 0);
    cfsetospeed(&t, B1200);
    cfsetispeed(&t, B1200);
    t.c_cflag |= CSTOPB | PARENB;
    ASSERT_EQ(tcsetattr(fd, TCSANOW, &t), 0);

    portsys::ApplyLineFormat(fd, LineFormat{c.baud, 8, 0, 0});
    ASSERT_EQ(tcgetattr(fd, &t), 0);
    EXPECT_EQ(cfgetospeed(&t), c.expected);
    EXPECT_EQ(cfgetispeed(&t), c.expected);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_iflag & (ICRNL | INLCR | IGNCR | IXON | IXOFF | INPCK | ISTRIP), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS | CLOCAL | CREAD),
              static_cast<tcflag_t>(CS8 | CLOCAL | CREAD));
  }
  close(fd);
}

// Nobody reads the other side: a write far beyond the pty's buffer gives up
// at its deadline.
TEST_F(ComPortTest, WriteToALineNobodyReadsGivesUpAtTheDeadline) {
  const int fd = open(slave_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_NE(fd, -1);
  const std::string big(1 << 20, 'b');
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(portsys::WriteBytesWithin(fd, big.data(), static_cast<int>(big.size()), 200));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(190));
  close(fd);
}

}  // namespace

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "CComPort.h"
#include "ComResolver.h"
#include "PortSystem.h"
#include "ScriptedPort.h"
#include "Transact.h"

namespace {

using Clock = std::chrono::steady_clock;

// A pseudo-terminal pair; the port under test opens the slave side by path.
class Pty {
 public:
  Pty() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ == -1 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    char name[128];
    if (ptsname_r(master_, name, sizeof name) == 0) slave_ = name;
  }
  ~Pty() { CloseMaster(); }
  bool ok() const { return !slave_.empty(); }
  const std::string& slave() const { return slave_; }
  void CloseMaster() {
    if (master_ != -1) close(master_);
    master_ = -1;
  }
  void Send(const std::string& bytes) {
    ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // Everything that reaches the master within the time; stops early once
  // `expected` bytes are in.
  std::string Receive(size_t expected, int withinMs = 2000) {
    std::string got;
    const auto deadline = Clock::now() + std::chrono::milliseconds(withinMs);
    while (got.size() < expected && Clock::now() < deadline) {
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, 10) == 1) {
        char chunk[256];
        ssize_t n = read(master_, chunk, sizeof chunk);
        if (n > 0) got.append(chunk, static_cast<size_t>(n));
      }
    }
    return got;
  }

 private:
  int master_ = -1;
  std::string slave_;
};

// The pty delivers written bytes to the other side a moment later, from a
// kernel worker: poll the port until the byte is there or time runs out.
int ReadByteWithin(CComPort& port, int ms = 2000) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    int r = port.ReadByte();
    if (r != 0 || Clock::now() >= deadline) return r;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

class ComPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!pty_.ok()) GTEST_SKIP() << "no pseudo-terminal available";
    SetComMap({{1, pty_.slave()}});
  }
  void TearDown() override { SetComMap({}); }

  Pty pty_;
};

TEST_F(ComPortTest, NumbersOutsideOneTo256OpenNothing) {
  SetComMap({{0, pty_.slave()}, {-1, pty_.slave()}, {257, pty_.slave()}, {256, pty_.slave()}});
  for (int n : {0, -1, 257}) {
    SCOPED_TRACE(n);
    CComPort port;
    EXPECT_EQ(port.Open(n), 0);
    EXPECT_FALSE(port.IsOpen());
  }
  CComPort port;
  EXPECT_EQ(port.Open(256), 1);
}

TEST_F(ComPortTest, ClosedPortAnswersZero) {
  CComPort fresh;
  CComPort closed;
  ASSERT_EQ(closed.Open(1), 1);
  closed.Close();
  closed.Close();
  for (CComPort* port : {&fresh, &closed}) {
    char buf[4] = "abc";
    EXPECT_EQ(port->Read(buf, 3), 0);
    EXPECT_EQ(buf[0], '\0');
    EXPECT_EQ(port->ReadByte(), 0);
    EXPECT_EQ(port->Write("x", 1), 0);
    EXPECT_EQ(port->WriteString("x"), 0);
    EXPECT_EQ(port->SetLineControl(1, 1), 0);
    EXPECT_EQ(port->SetRts(1), 0);
    EXPECT_FALSE(port->IsOpen());
  }
  EXPECT_EQ(pty_.Receive(1, 50), "");
}

TEST_F(ComPortTest, MovesRawBytesBothWays) {
  CComPort port;
  ASSERT_EQ(port.Reopen(1, 9600, 8, 0, 0), 1);

  // No CR/LF translation on output.
  EXPECT_EQ(port.WriteString("V\r\n"), 1);
  EXPECT_EQ(pty_.Receive(4, 200), "V\r\n");

  // No line editing, translation or echo on input; a NUL is a byte.
  pty_.Send(std::string("a\r\0", 3));
  EXPECT_EQ(ReadByteWithin(port), 0x100 | 'a');
  EXPECT_EQ(ReadByteWithin(port), 0x100 | '\r');
  EXPECT_EQ(ReadByteWithin(port), 0x100);
  EXPECT_EQ(port.ReadByte(), 0);
  EXPECT_EQ(pty_.Receive(1, 50), "");

  pty_.Send("xyz");
  ASSERT_EQ(ReadByteWithin(port), 0x100 | 'x');
  char buf[8];
  int n = 0;
  for (int tries = 0; n == 0 && tries < 2000; ++tries) {
    n = port.Read(buf, 5);
    if (n == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(n, 2);
  EXPECT_STREQ(buf, "yz");
}

TEST_F(ComPortTest, SecondPortIsRefusedWhileTheFirstHoldsTheDevice) {
  CComPort first;
  CComPort second;
  ASSERT_EQ(first.Open(1), 1);
  EXPECT_EQ(second.Open(1), 0);
  EXPECT_FALSE(second.IsOpen());
  first.Close();
  EXPECT_EQ(second.Open(1), 1);
}

TEST_F(ComPortTest, NonTerminalFailsAtTheTimeoutsButStaysHeld) {
  char path[] = "/tmp/zeta7-notatty-XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_NE(fd, -1);
  close(fd);
  SetComMap({{2, path}});

  CComPort first;
  CComPort second;
  EXPECT_EQ(first.Open(2), 0);
  EXPECT_TRUE(first.IsOpen());
  EXPECT_EQ(second.Open(2), 0);
  EXPECT_FALSE(second.IsOpen());  // refused: the first still holds it
  first.Close();
  EXPECT_EQ(second.Open(2), 0);
  EXPECT_TRUE(second.IsOpen());
  second.Close();
  unlink(path);
}

TEST_F(ComPortTest, SetRtsGoesByTheLastSetLineControl) {
  CComPort port;
  ASSERT_EQ(port.Open(1), 1);
  EXPECT_EQ(port.SetRts(1), 0);  // never set

  // A pseudo-terminal refuses modem control; the results do not change.
  EXPECT_EQ(port.SetLineControl(0, 1), 1);
  EXPECT_EQ(port.SetRts(1), 0);
  EXPECT_EQ(port.SetLineControl(2, 0), 1);
  EXPECT_EQ(port.SetRts(1), 1);
  EXPECT_EQ(port.SetRts(0), 1);

  // Reopen leaves the stored flag as it was.
  ASSERT_EQ(port.Reopen(1, 4800, 8, 0, 0), 1);
  EXPECT_EQ(port.SetRts(1), 1);
  ASSERT_EQ(port.SetLineControl(0, 0), 1);
  ASSERT_EQ(port.Reopen(1, 4800, 8, 0, 0), 1);
  EXPECT_EQ(port.SetRts(1), 0);
}

TEST_F(ComPortTest, HungUpLineReadsNothingAndExchangesQuickly) {
  CComPort port;
  ASSERT_EQ(port.Open(1), 1);
  pty_.CloseMaster();
  char buf[4];
  EXPECT_LE(port.Read(buf, 3), 0);
  EXPECT_EQ(port.ReadByte(), 0);
  EXPECT_EQ(port.Write("x", 1), 0);

  FakeClock clock;
  std::array<char, 256> reply;
  EXPECT_EQ(TransactOn(port, clock, "V", reply.data(), 256), 0);
  EXPECT_EQ(clock.sleeps(), (std::vector<int>{40, 64}));
}

// The platform layer on a pseudo-terminal the test opens itself.
class PortSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!pty_.ok()) GTEST_SKIP() << "no pseudo-terminal available";
    fd_ = open(pty_.slave().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_NE(fd_, -1);
  }
  void TearDown() override {
    if (fd_ != -1) close(fd_);
  }
  termios Attr() const {
    termios t{};
    EXPECT_EQ(tcgetattr(fd_, &t), 0);
    return t;
  }

  Pty pty_;
  int fd_ = -1;
};

TEST_F(PortSystemTest, LineFormatIsRawAtTheGivenSpeed) {
  struct Case {
    int baud;
    speed_t expected;
  };
  // An unknown speed leaves the one set before (1200 here).
  const Case cases[] = {{38400, B38400}, {19200, B19200},   {9600, B9600},
                        {4800, B4800},   {115200, B115200}, {12345, B1200}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.baud);
    termios t = Attr();
    cfsetospeed(&t, B1200);
    cfsetispeed(&t, B1200);
    t.c_cflag |= CSTOPB;
    ASSERT_EQ(tcsetattr(fd_, TCSANOW, &t), 0);

    portsys::ApplyLineFormat(fd_, LineFormat{c.baud, 8, 0, 0});
    t = Attr();
    EXPECT_EQ(cfgetospeed(&t), c.expected);
    EXPECT_EQ(cfgetispeed(&t), c.expected);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_iflag & (ICRNL | INLCR | IGNCR | IXON | IXOFF | INPCK | ISTRIP), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), static_cast<tcflag_t>(CS8));
  }
}

TEST_F(PortSystemTest, TimeoutsMakeReadsReturnAtOnce) {
  termios t = Attr();
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 5;
  ASSERT_EQ(tcsetattr(fd_, TCSANOW, &t), 0);
  ASSERT_TRUE(portsys::SetNonBlockingTimeouts(fd_));
  t = Attr();
  EXPECT_EQ(t.c_cc[VMIN], 0);
  EXPECT_EQ(t.c_cc[VTIME], 0);
  char c;
  EXPECT_EQ(portsys::ReadBytes(fd_, &c, 1), 0);
}

TEST_F(PortSystemTest, WriteToALineNobodyReadsGivesUpAtTheDeadline) {
  portsys::ApplyLineFormat(fd_, LineFormat{38400, 8, 0, 0});
  const std::string big(1 << 20, 'b');  // far more than the pty buffers
  const auto start = Clock::now();
  EXPECT_FALSE(portsys::WriteBytesWithin(fd_, big.data(), static_cast<int>(big.size()), 200));
  const auto took = Clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(190));
  EXPECT_LT(took, std::chrono::seconds(3));
}

}  // namespace

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "CComPort.h"
#include "PortDiagnosis.h"
#include "TestFiles.h"
#include "Unprivileged.h"

namespace fs = std::filesystem;

namespace {

// A pseudo-terminal behind a fake /sys and /dev in which it is ttyUSB0 with
// a USB product and a by-id name.
class PortDiagnosisTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[128];
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ == -1 || grantpt(master_) != 0 || unlockpt(master_) != 0 ||
        ptsname_r(master_, name, sizeof name) != 0) {
      GTEST_SKIP() << "no pseudo-terminal available";
    }
    pty_ = name;
    fs::create_directories(sys() + "/class/tty/ttyUSB0");
    fs::create_directories(sys() + "/devices/usb1/1-3/1-3:1.0/ttyUSB0");
    fs::create_directory_symlink(sys() + "/devices/usb1/1-3/1-3:1.0/ttyUSB0",
                                 sys() + "/class/tty/ttyUSB0/device");
    WriteFile(sys() + "/devices/usb1/1-3/product", "FT232R USB UART\n");
    fs::create_directories(dev() + "/serial/by-id");
    fs::create_symlink(pty_, dev() + "/ttyUSB0");
    fs::create_symlink("../../ttyUSB0", dev() + "/serial/by-id/usb-FTDI_A1-if00-port0");
  }
  void TearDown() override {
    if (master_ != -1) close(master_);
  }
  std::string sys() const { return dir_ / "sys"; }
  std::string dev() const { return dir_ / "dev"; }

  CTempDir dir_;
  int master_ = -1;
  std::string pty_;
};

TEST_F(PortDiagnosisTest, NumberLeadsToDeviceWithItsNamesOrToNothing) {
  PortDiagnosis d = DiagnoseComPort(1, {}, sys(), dev());
  EXPECT_EQ(d.device, dev() + "/ttyUSB0");
  EXPECT_EQ(d.mapKey, "");
  EXPECT_EQ(d.byId, dev() + "/serial/by-id/usb-FTDI_A1-if00-port0");
  EXPECT_EQ(d.product, "FT232R USB UART");
  EXPECT_EQ(d.problem, PortProblem::kNone);

  d = DiagnoseComPort(2, {}, sys(), dev());
  EXPECT_EQ(d.problem, PortProblem::kNoDevice);
  EXPECT_EQ(DescribeDevice(d), "(デバイスなし)");
  EXPECT_NE(DescribeProblem(d).find("COM1=" + dev() + "/ttyUSB0"), std::string::npos)
      << DescribeProblem(d);

  // The map wins; a pseudo-terminal has no USB data but the same diagnosis.
  char other[128];
  const int otherMaster = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_TRUE(otherMaster != -1 && grantpt(otherMaster) == 0 && unlockpt(otherMaster) == 0 &&
              ptsname_r(otherMaster, other, sizeof other) == 0);
  d = DiagnoseComPort(1, {{1, other}}, sys(), dev());
  close(otherMaster);
  EXPECT_EQ(DescribeDevice(d), std::string(other) + " ([ports] com1)");
  EXPECT_EQ(d.problem, PortProblem::kNone);
  EXPECT_EQ(d.product + d.byId, "");
}

TEST_F(PortDiagnosisTest, EachRefusalHasItsReason) {
  WriteFile(dir_ / "plain", "not a line");
  const struct {
    std::string path;
    PortProblem problem;
    const char* text;
  } cases[] = {
      {dir_ / "unplugged", PortProblem::kMissing, "デバイスがありません (存在するデバイス: COM1="},
      {dir_ / "plain", PortProblem::kNotTerminal, "シリアルデバイスではありません"},
  };
  for (const auto& c : cases) {
    const PortDiagnosis d = DiagnoseComPort(3, {{3, c.path}}, sys(), dev());
    EXPECT_EQ(d.problem, c.problem) << c.path;
    EXPECT_EQ(DescribeProblem(d).rfind(c.text, 0), 0u) << DescribeProblem(d);
  }
}

TEST_F(PortDiagnosisTest, HeldPortNamesTheHolder) {
  CComPort holder;
  holder.SetComMap({{1, pty_}});
  ASSERT_EQ(holder.Open(1), 1);
  const PortDiagnosis d = DiagnoseDevice(pty_, sys(), dev());
  EXPECT_EQ(d.problem, PortProblem::kBusy);
  EXPECT_EQ(d.holderPid, static_cast<int>(getpid()));
  EXPECT_EQ(DescribeProblem(d), "他のプログラムが使用中です (pid " + std::to_string(getpid()) +
                                    " " + d.holderCommand + ")");
  EXPECT_FALSE(d.holderCommand.empty());
}

// Joining the device's group helps only where the group may read and
// write it (0660); a 0600 device says so instead.
TEST_F(PortDiagnosisTest, RefusedUserIsToldTheGroup) {
  const std::string locked = dir_ / "locked";
  WriteFile(locked, "");
  chmod(dir_.Path().c_str(), 0755);
  for (const mode_t mode : {0660, 0600}) {
    chmod(locked.c_str(), mode);
    const std::string advice =
        mode == 0660 ? "に属する必要があります" : "にも読み書きを許していません";
    const int result = RunUnprivileged([&] {
      const PortDiagnosis d = DiagnoseDevice(locked, sys(), dev());
      if (d.problem != PortProblem::kPermission || d.group.empty() || d.inGroup) return 1;
      return DescribeProblem(d).find("\"" + d.group + "\" " + advice) != std::string::npos ? 0 : 2;
    });
    EXPECT_EQ(result, 0) << std::oct << mode;
  }
}

}  // namespace

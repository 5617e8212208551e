// Serial devices on a fake /sys and /dev: the COM order, descriptions and
// why a port does not open.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "CComPort.h"
#include "ComNumbers.h"
#include "ComResolver.h"
#include "PortDiagnosis.h"
#include "TestFiles.h"
#include "Unprivileged.h"

namespace fs = std::filesystem;

namespace {

// A fake /sys and /dev in a scratch folder.
class ComResolverTest : public ::testing::Test {
 protected:
  std::string sys() const { return dir_ / "sys"; }
  std::string dev() const { return dir_ / "dev"; }

  // A class/tty entry whose device link points at deviceDir below the fake
  // sysfs (none when empty), with a /dev node unless told not; legacy ports
  // also get their UART type.
  void AddTty(const std::string& name, const std::string& deviceDir, bool node = true) {
    const fs::path entry = fs::path(sys()) / "class/tty" / name;
    fs::create_directories(entry);
    if (!deviceDir.empty()) {
      fs::create_directories(sys() + "/" + deviceDir);
      fs::create_directory_symlink(sys() + "/" + deviceDir, entry / "device");
    }
    if (node) WriteFile(dev() + "/" + name, "");
  }
  void AddLegacy(const std::string& name, const std::string& type) {
    AddTty(name, "devices/pnp0/" + name);
    WriteFile(sys() + "/class/tty/" + name + "/type", type + "\n");
  }

  CTempDir dir_;
  // The numbers these tests' devices are given are remembered here.
  CScopedEnv config_{"XDG_CONFIG_HOME", dir_ / "config"};
};

TEST_F(ComResolverTest, RealLegacyPortsThenUsbThenAcmEachByNumber) {
  AddTty("ttyACM0", "devices/usb1/1-2/1-2:1.0");
  WriteFile(sys() + "/devices/usb1/1-2/product", "Demo CDC\n");
  AddTty("ttyUSB10", "devices/usb1/1-4/1-4:1.0/ttyUSB10");
  AddTty("ttyUSB2", "devices/usb1/1-3/1-3:1.0/ttyUSB2");
  WriteFile(sys() + "/devices/usb1/1-3/product", "FT232R USB UART\n");
  AddLegacy("ttyS1", "4");
  AddLegacy("ttyS0", "4");
  AddLegacy("ttyS12", "4");
  AddLegacy("ttyS3", "0");                // placeholder 8250 entry
  AddTty("ttyS4", "");                    // no device behind it
  AddTty("ttyUSB3", "devices/x", false);  // no /dev node
  AddTty("tty1", "devices/virtual/tty1");
  AddTty("ttySX1", "devices/odd");

  std::vector<std::string> got;
  for (const SerialDevice& d : ListSerialDevices(sys(), dev())) {
    got.push_back(fs::path(d.path).filename().string() + "|" + d.product);
  }
  EXPECT_EQ(got, (std::vector<std::string>{"ttyS0|", "ttyS1|", "ttyS12|", "ttyUSB2|FT232R USB UART",
                                           "ttyUSB10|", "ttyACM0|Demo CDC"}));
  EXPECT_TRUE(ListSerialDevices(dir_ / "nowhere", dev()).empty());
}

TEST_F(ComResolverTest, ExplicitMapWinsAndAbsentNumbersResolveToNothing) {
  const ComMap map = {{1, "/dev/zeta7-mapped"}, {300, "/dev/zeta7-far"}};
  EXPECT_EQ(ResolveComDevice(1, map), "/dev/zeta7-mapped");
  EXPECT_EQ(ResolveComDevice(300, map), "/dev/zeta7-far");
  // No machine has 256 serial devices, and 0 or less is never a port.
  for (int n : {256, 0, -1}) EXPECT_EQ(ResolveComDevice(n, map), "") << n;

  // An empty entry falls back to the present devices.
  EXPECT_EQ(ResolveComDevice(1, {{1, ""}}), FindComNumber(1).device);
}

// The window's hints: what each number leads to, with the product where the
// device (also through a by-id link) has one; numbers leading nowhere, or
// to a path that is not there, have none.
TEST_F(ComResolverTest, DescriptionsNameDeviceAndProduct) {
  AddTty("ttyUSB2", "devices/usb1/1-3/1-3:1.0/ttyUSB2");
  WriteFile(sys() + "/devices/usb1/1-3/product", "FT232R USB UART\n");
  const std::string byId = dir_ / "by-id-link";
  fs::create_symlink(dev() + "/ttyUSB2", byId);
  const ComMap map = {{3, byId}, {4, dir_ / "unplugged"}};
  const std::map<int, std::string> expected = {{1, dev() + "/ttyUSB2 (FT232R USB UART)"},
                                               {3, byId + " (FT232R USB UART)"}};
  EXPECT_EQ(DescribeComPorts(255, map, sys(), dev()), expected);
}

// A pseudo-terminal behind the fake /sys and /dev, in which it is ttyUSB0
// with a USB product and a by-id name.
class PortDiagnosisTest : public ComResolverTest {
 protected:
  void SetUp() override {
    char name[128];
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ == -1 || grantpt(master_) != 0 || unlockpt(master_) != 0 ||
        ptsname_r(master_, name, sizeof name) != 0) {
      GTEST_SKIP() << "no pseudo-terminal available";
    }
    pty_ = name;
    AddTty("ttyUSB0", "devices/usb1/1-3/1-3:1.0/ttyUSB0", false);
    WriteFile(sys() + "/devices/usb1/1-3/product", "FT232R USB UART\n");
    fs::create_directories(dev() + "/serial/by-id");
    fs::create_symlink(pty_, dev() + "/ttyUSB0");
    fs::create_symlink("../../ttyUSB0", dev() + "/serial/by-id/usb-FTDI_A1-if00-port0");
  }
  void TearDown() override {
    if (master_ != -1) close(master_);
  }

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
  EXPECT_EQ(DescribeDevice(d, CliLanguage::kJapanese), "(デバイスなし)");
  EXPECT_NE(DescribeProblem(d, CliLanguage::kJapanese).find("COM1=" + dev() + "/ttyUSB0"),
            std::string::npos)
      << DescribeProblem(d, CliLanguage::kJapanese);

  // The map wins; a pseudo-terminal has no USB data but the same diagnosis.
  char other[128];
  const int otherMaster = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_TRUE(otherMaster != -1 && grantpt(otherMaster) == 0 && unlockpt(otherMaster) == 0 &&
              ptsname_r(otherMaster, other, sizeof other) == 0);
  d = DiagnoseComPort(1, {{1, other}}, sys(), dev());
  close(otherMaster);
  EXPECT_EQ(DescribeDevice(d, CliLanguage::kJapanese), std::string(other) + " ([ports] com1)");
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
    EXPECT_EQ(DescribeProblem(d, CliLanguage::kJapanese).rfind(c.text, 0), 0u)
        << DescribeProblem(d, CliLanguage::kJapanese);
  }
}

TEST_F(PortDiagnosisTest, HeldPortNamesTheHolder) {
  CComPort holder;
  holder.SetComMap({{1, pty_}});
  ASSERT_EQ(holder.Open(1), 1);
  const PortDiagnosis d = DiagnoseDevice(pty_, sys(), dev());
  EXPECT_EQ(d.problem, PortProblem::kBusy);
  EXPECT_EQ(d.holderPid, static_cast<int>(getpid()));
  EXPECT_EQ(
      DescribeProblem(d, CliLanguage::kJapanese),
      "他のプログラムが使用中です (pid " + std::to_string(getpid()) + " " + d.holderCommand + ")");
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
      return DescribeProblem(d, CliLanguage::kJapanese).find("\"" + d.group + "\" " + advice) !=
                     std::string::npos
                 ? 0
                 : 2;
    });
    EXPECT_EQ(result, 0) << std::oct << mode;
  }
}

// The present ports by the system's own numbers; its "\\.\COMn" names are
// not repeated.
TEST(PortDiagnosisText, PresentPortsByTheirNumbersNotWindowsOwnNames) {
  PortDiagnosis d;
  d.device = "\\\\.\\COM9";
  d.problem = PortProblem::kMissing;
  d.present = {{"\\\\.\\COM3", "USB Serial Port (COM3)", 3, {}, {}},
               {"\\\\.\\COM7", "", 7, {}, {}}};
  EXPECT_EQ(DescribeProblem(d, CliLanguage::kJapanese),
            "デバイスがありません (存在するデバイス: COM3 COM7)");
}

}  // namespace

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ComResolver.h"
#include "TestFiles.h"

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
  const std::vector<SerialDevice> present = ListSerialDevices();
  EXPECT_EQ(ResolveComDevice(1, {{1, ""}}), present.empty() ? "" : present[0].path);
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

}  // namespace

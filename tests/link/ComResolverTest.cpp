#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ComResolver.h"

namespace fs = std::filesystem;

namespace {

// A fake /sys and /dev in a temporary folder.
class ComResolverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ =
        fs::path(testing::TempDir()) /
        ("resolver-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(root_);
    fs::create_directories(sys() / "class" / "tty");
    fs::create_directories(dev());
  }
  void TearDown() override {
    SetComMap({});
    fs::remove_all(root_);
  }

  fs::path sys() const { return root_ / "sys"; }
  fs::path dev() const { return root_ / "dev"; }

  static void WriteFile(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p) << text << "\n";
  }

  // A class/tty entry whose device link points at `deviceDir` (relative to
  // the fake sysfs root; empty: no link), with a /dev node unless told not.
  void AddTty(const std::string& name, const std::string& deviceDir, bool node = true) {
    const fs::path entry = sys() / "class" / "tty" / name;
    fs::create_directories(entry);
    if (!deviceDir.empty()) {
      fs::create_directories(sys() / deviceDir);
      fs::create_directory_symlink(sys() / deviceDir, entry / "device");
    }
    if (node) WriteFile(dev() / name, "");
  }
  void AddLegacy(const std::string& name, const std::string& type) {
    AddTty(name, "devices/pnp0/" + name);
    WriteFile(sys() / "class" / "tty" / name / "type", type);
  }

  std::vector<std::string> Paths() const {
    std::vector<std::string> out;
    for (const SerialDevice& d : ListSerialDevices(sys().string(), dev().string())) {
      out.push_back(fs::path(d.path).filename().string());
    }
    return out;
  }

  fs::path root_;
};

TEST_F(ComResolverTest, RealLegacyPortsThenUsbThenAcmEachByNumber) {
  AddTty("ttyACM0", "devices/usb1/1-2/1-2:1.0");
  AddTty("ttyUSB10", "devices/usb1/1-4/1-4:1.0/ttyUSB10");
  AddTty("ttyUSB2", "devices/usb1/1-3/1-3:1.0/ttyUSB2");
  AddLegacy("ttyS1", "4");
  AddLegacy("ttyS0", "4");
  AddLegacy("ttyS12", "4");
  AddLegacy("ttyS3", "0");                // phantom 8250 entry
  AddTty("ttyS4", "");                    // no device behind it
  AddTty("ttyUSB3", "devices/x", false);  // no /dev node
  AddTty("tty1", "devices/virtual/tty1");
  AddTty("ttyS", "devices/odd");
  AddTty("ttySX1", "devices/odd2");
  AddTty("console", "devices/virtual/console");

  EXPECT_EQ(Paths(), (std::vector<std::string>{"ttyS0", "ttyS1", "ttyS12", "ttyUSB2", "ttyUSB10",
                                               "ttyACM0"}));
}

TEST_F(ComResolverTest, UsbProductNameIsFoundAboveTheInterface) {
  AddTty("ttyUSB0", "devices/usb1/1-1/1-1:1.0/ttyUSB0");
  WriteFile(sys() / "devices/usb1/1-1/product", "FT232R USB UART");
  AddTty("ttyACM0", "devices/usb1/1-2/1-2:1.0");
  WriteFile(sys() / "devices/usb1/1-2/product", "Demo CDC");
  AddTty("ttyACM1", "devices/usb1/1-3/1-3:1.0");
  AddLegacy("ttyS0", "4");

  const std::vector<SerialDevice> d = ListSerialDevices(sys().string(), dev().string());
  ASSERT_EQ(d.size(), 4u);
  EXPECT_EQ(d[0].path, (dev() / "ttyS0").string());
  EXPECT_EQ(d[0].product, "");
  EXPECT_EQ(d[1].product, "FT232R USB UART");
  EXPECT_EQ(d[2].product, "Demo CDC");
  EXPECT_EQ(d[3].product, "");
}

TEST_F(ComResolverTest, MissingSysfsGivesNoDevices) {
  EXPECT_TRUE(ListSerialDevices((root_ / "nowhere").string(), dev().string()).empty());
}

TEST_F(ComResolverTest, ExplicitMapWinsAndAbsentNumbersResolveToNothing) {
  SetComMap({{1, "/dev/zeta7-mapped"}, {300, "/dev/zeta7-far"}});
  EXPECT_EQ(ResolveComDevice(1), "/dev/zeta7-mapped");
  EXPECT_EQ(ResolveComDevice(300), "/dev/zeta7-far");
  // No machine has 256 serial devices, and 0 or less is never a port.
  for (int n : {256, 0, -1}) EXPECT_EQ(ResolveComDevice(n), "") << n;

  // An empty entry falls back to the present devices.
  SetComMap({{1, ""}});
  const std::vector<SerialDevice> present = ListSerialDevices();
  EXPECT_EQ(ResolveComDevice(1), present.empty() ? "" : present[0].path);
}

}  // namespace

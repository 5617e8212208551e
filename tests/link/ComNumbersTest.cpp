// COM numbers that stay with their devices: the file's format, the rules,
// and devices plugged, unplugged and replugged in a fake /sys and /dev.
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "ComNumbers.h"
#include "PortDiagnosis.h"
#include "TestFiles.h"

namespace fs = std::filesystem;

namespace {

TEST(ComNumberFile, StrictReadingAndRoundTrip) {
  const struct {
    const char* text;
    const char* error;  // "" when it parses
  } cases[] = {
      {"", ""},
      {"# note\r\n\r\n  COM4   usb-A_B_S1-if00-port0  \r\ncom12\tttyS0\n", ""},
      {"COM4\n", "line 1: not of the form \"COMn name\": COM4"},
      {"COM0 x\n", "line 1: not of the form \"COMn name\""},
      {"COM04 x\n", "line 1: not of the form \"COMn name\""},
      {"[ports]\ncom1=/dev/ttyUSB0\n", "line 1: not of the form \"COMn name\""},
      {"COM1 a b\n", "line 1: not of the form \"COMn name\""},
      {"COM1 ../x\n", "line 1: not of the form \"COMn name\""},
      {"COM1 a\nCOM1 b\n", "line 2: COM1 is there twice"},
      {"COM1 a\nCOM2 a\n", "line 2: a is there twice"},
  };
  for (const auto& c : cases) {
    ComNumberMap numbers;
    std::string error;
    EXPECT_EQ(ParseComNumbers(c.text, &numbers, &error), *c.error == '\0') << c.text;
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.text << " -> " << error;
  }
  ComNumberMap numbers;
  std::string error;
  EXPECT_FALSE(ParseComNumbers(std::string("COM1 a\n\0", 8), &numbers, &error));
  EXPECT_EQ(error, "it holds a NUL character");

  const ComNumberMap kept = {{4, "usb-A_B_S1-if00-port0"}, {12, "ttyS0"}, {256, "x"}};
  ASSERT_TRUE(ParseComNumbers(FormatComNumbers(kept), &numbers, &error)) << error;
  EXPECT_EQ(numbers, kept);
}

// Devices in the old order by identity ("" for none), the file before, and
// the numbers and file after.
TEST(ComNumberRules, RememberedKeepNewTakeLowestFreeUnnamedKeepOldOrder) {
  const struct {
    std::vector<std::string> devices;
    ComNumberMap before;
    std::vector<int> numbers;
    ComNumberMap after;
  } cases[] = {
      // The first run numbers as before: the old order, lowest first.
      {{"ttyS0", "A", "B"}, {}, {1, 2, 3}, {{1, "ttyS0"}, {2, "A"}, {3, "B"}}},
      // Unplugged ones keep their numbers; the new one takes the lowest free.
      {{"C", "B"},
       {{1, "ttyS0"}, {2, "A"}, {3, "B"}},
       {4, 3},
       {{1, "ttyS0"}, {2, "A"}, {3, "B"}, {4, "C"}}},
      // Devices without a name skip every remembered number, and a new name
      // does not take theirs.
      {{"", "N", ""}, {{1, "A"}, {3, "B"}}, {2, 5, 4}, {{1, "A"}, {3, "B"}, {5, "N"}}},
      // One name twice: one number, never two devices on it.
      {{"A", "A"}, {}, {1, 0}, {{1, "A"}}},
  };
  for (const auto& c : cases) {
    ComNumberMap file = c.before;
    EXPECT_EQ(AssignComNumbers(c.devices, &file), c.numbers);
    EXPECT_EQ(file, c.after);
  }
  ComNumberMap full;
  for (int n = 1; n <= kHighestComNumber; ++n) full[n] = "D" + std::to_string(n);
  EXPECT_EQ(AssignComNumbers({"new", ""}, &full), (std::vector<int>{0, 0}));
  EXPECT_EQ(UsbSerialOfIdentity("usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0"), "A1B2C3");
  EXPECT_EQ(UsbSerialOfIdentity("ttyS0"), "");
}

// A fake /sys and /dev with USB adapters by serial number, each plugged into
// a hub port, and this test's own per-user folder.
class ComNumbersTest : public ::testing::Test {
 protected:
  std::string sys() const { return dir_ / "sys"; }
  std::string dev() const { return dir_ / "dev"; }
  std::string file() const { return dir_ / "config/Quillbeck/ZETA-7/com-numbers.conf"; }
  static std::string IdOf(const std::string& serial) {
    return "usb-Test_Adapter_" + serial + "-if00-port0";
  }
  std::string ById(const std::string& serial) const {
    return dev() + "/serial/by-id/" + IdOf(serial);
  }

  void Plug(const std::string& tty, const std::string& serial, int hubPort) {
    const std::string usb = "devices/usb1/1-" + std::to_string(hubPort);
    fs::create_directories(sys() + "/" + usb + "/1-" + std::to_string(hubPort) + ":1.0");
    WriteFile(sys() + "/" + usb + "/product", "Adapter " + serial + "\n");
    fs::create_directories(sys() + "/class/tty/" + tty);
    fs::create_directory_symlink(sys() + "/" + usb + "/1-" + std::to_string(hubPort) + ":1.0",
                                 sys() + "/class/tty/" + tty + "/device");
    WriteFile(dev() + "/" + tty, "");
    fs::create_directories(dev() + "/serial/by-id");
    if (!serial.empty()) fs::create_symlink("../../" + tty, ById(serial));
  }
  void Unplug(const std::string& tty, const std::string& serial) {
    fs::remove_all(sys() + "/class/tty/" + tty);
    fs::remove(dev() + "/" + tty);
    if (!serial.empty()) fs::remove(ById(serial));
  }
  void AddLegacy(const std::string& name) {
    fs::create_directories(sys() + "/devices/pnp0/" + name);
    fs::create_directories(sys() + "/class/tty/" + name);
    fs::create_directory_symlink(sys() + "/devices/pnp0/" + name,
                                 sys() + "/class/tty/" + name + "/device");
    WriteFile(sys() + "/class/tty/" + name + "/type", "4\n");
    WriteFile(dev() + "/" + name, "");
  }
  // "COMn=node" for each present device, in the old order.
  std::vector<std::string> Numbers() {
    std::vector<std::string> got;
    const ComNumbering numbering = NumberSerialDevices(sys(), dev());
    EXPECT_EQ(numbering.error, "");
    for (const SerialDevice& d : numbering.present) {
      got.push_back("COM" + std::to_string(d.comNumber) + "=" +
                    fs::path(d.path).filename().string());
    }
    return got;
  }

  CTempDir dir_;
  CScopedEnv config_{"XDG_CONFIG_HOME", dir_ / "config"};
};

TEST_F(ComNumbersTest, UnitsKeepTheirNumbersAcrossUnplugReplugAndReboot) {
  AddLegacy("ttyS0");
  Plug("ttyUSB0", "A1", 1);
  Plug("ttyUSB1", "B2", 2);
  Plug("ttyUSB2", "C3", 3);
  Plug("ttyUSB3", "D4", 4);
  EXPECT_EQ(Numbers(), (std::vector<std::string>{"COM1=ttyS0", "COM2=ttyUSB0", "COM3=ttyUSB1",
                                                 "COM4=ttyUSB2", "COM5=ttyUSB3"}));

  // COM4's unit goes: COM5's still answers as COM5, and COM4 is absent,
  // named by its unit, never another device.
  Unplug("ttyUSB2", "C3");
  EXPECT_EQ(FindComNumber(5, sys(), dev()).device, dev() + "/ttyUSB3");
  const ComNumberTarget four = FindComNumber(4, sys(), dev());
  EXPECT_EQ(four.device, ById("C3"));
  EXPECT_FALSE(four.present);
  EXPECT_TRUE(four.remembered);
  const PortDiagnosis d = DiagnoseComPort(4, {}, sys(), dev());
  EXPECT_EQ(d.problem, PortProblem::kMissing);
  EXPECT_NE(DescribeDevice(d, CliLanguage::kJapanese).find(IdOf("C3")), std::string::npos)
      << DescribeDevice(d, CliLanguage::kJapanese);
  EXPECT_NE(DescribeProblem(d, CliLanguage::kJapanese).find("COM5=" + dev() + "/ttyUSB3"),
            std::string::npos)
      << DescribeProblem(d, CliLanguage::kJapanese);

  // A new unit meanwhile takes the lowest free number, not COM4.
  Plug("ttyUSB2", "E5", 3);
  EXPECT_EQ(FindComNumber(6, sys(), dev()).device, dev() + "/ttyUSB2");
  // COM4's unit back on another hub port, under another kernel name.
  Plug("ttyUSB7", "C3", 9);
  EXPECT_EQ(FindComNumber(4, sys(), dev()).device, dev() + "/ttyUSB7");

  // A reboot enumerates them in another order; each keeps its number.
  for (const auto& [tty, serial] : {std::pair{"ttyUSB0", "A1"},
                                    {"ttyUSB1", "B2"},
                                    {"ttyUSB2", "E5"},
                                    {"ttyUSB3", "D4"},
                                    {"ttyUSB7", "C3"}}) {
    Unplug(tty, serial);
  }
  Plug("ttyUSB0", "D4", 1);
  Plug("ttyUSB1", "C3", 2);
  Plug("ttyUSB2", "B2", 3);
  Plug("ttyUSB3", "A1", 4);
  Plug("ttyUSB4", "E5", 5);
  EXPECT_EQ(Numbers(), (std::vector<std::string>{"COM1=ttyS0", "COM5=ttyUSB0", "COM4=ttyUSB1",
                                                 "COM3=ttyUSB2", "COM2=ttyUSB3", "COM6=ttyUSB4"}));
  EXPECT_EQ(ReadFile(file()), FormatComNumbers({{1, "ttyS0"},
                                                {2, IdOf("A1")},
                                                {3, IdOf("B2")},
                                                {4, IdOf("C3")},
                                                {5, IdOf("D4")},
                                                {6, IdOf("E5")}}));
  EXPECT_EQ(IdentityOfDevice(dev() + "/ttyUSB1", dev()), IdOf("C3"));
  EXPECT_EQ(ComNumberOfIdentity(IdOf("C3"), NumberSerialDevices(sys(), dev())), 4);
  EXPECT_EQ(ByIdLinksNamed("C3", dev()), std::vector<std::string>{ById("C3")});
  EXPECT_EQ(ByIdLinksNamed(IdOf("C3"), dev()), std::vector<std::string>{ById("C3")});
}

// A device without a by-id name is numbered in the old order around the
// remembered numbers; the two rules never give one number to two devices.
TEST_F(ComNumbersTest, DevicesWithoutNameTakeNumbersNoUnitHolds) {
  Plug("ttyUSB0", "A1", 1);
  Plug("ttyUSB1", "B2", 2);
  EXPECT_EQ(Numbers(), (std::vector<std::string>{"COM1=ttyUSB0", "COM2=ttyUSB1"}));
  Unplug("ttyUSB0", "A1");
  Plug("ttyACM0", "", 3);
  Plug("ttyACM1", "", 4);
  EXPECT_EQ(Numbers(), (std::vector<std::string>{"COM2=ttyUSB1", "COM3=ttyACM0", "COM4=ttyACM1"}));
  EXPECT_EQ(FindComNumber(1, sys(), dev()).device, ById("A1"));
  // Forgotten, COM1 is free for them again.
  ComNumberMap after;
  std::string error;
  ASSERT_TRUE(UpdateComNumbers(
      file(), [](ComNumberMap* m) { m->erase(1); }, &after, &error))
      << error;
  EXPECT_EQ(Numbers(), (std::vector<std::string>{"COM2=ttyUSB1", "COM1=ttyACM0", "COM3=ttyACM1"}));
}

// A damaged or unreadable file is said, and left as it is; no device gets a
// number by position meanwhile.
TEST_F(ComNumbersTest, DamagedOrUnreadableFileIsSaidNeverReset) {
  Plug("ttyUSB0", "A1", 1);
  const std::string damaged = "COM1 usb-Test_Adapter_A1-if00-port0\nCOM2\n";
  WriteFile(file(), damaged);
  ComNumbering numbering = NumberSerialDevices(sys(), dev());
  EXPECT_EQ(numbering.error, "the file of COM numbers is damaged: " + file() +
                                 " line 2: not of the form \"COMn name\": COM2");
  ASSERT_EQ(numbering.present.size(), 1u);
  EXPECT_EQ(numbering.present[0].comNumber, 0);
  EXPECT_EQ(FindComNumber(1, sys(), dev()).device, "");
  const PortDiagnosis d = DiagnoseComPort(1, {}, sys(), dev());
  EXPECT_EQ(d.problem, PortProblem::kOther);
  EXPECT_EQ(DescribeProblem(d, CliLanguage::kEnglish), "cannot open: " + numbering.error);
  EXPECT_EQ(ReadFile(file()), damaged);

  fs::remove(file());
  fs::create_directory(file());
  numbering = NumberSerialDevices(sys(), dev());
  EXPECT_EQ(numbering.error, "cannot read the file of COM numbers: " + file() + ": " +
                                 std::error_code(EISDIR, std::generic_category()).message());
  EXPECT_EQ(numbering.present[0].comNumber, 0);
  // A [ports] entry does not need the file.
  EXPECT_EQ(DiagnoseComPort(1, {{1, dev() + "/ttyUSB0"}}, sys(), dev()).problem,
            PortProblem::kNotTerminal);
}

// Two programs that find new devices at once: the second waits for the
// first's lock, reads the file again, and keeps the first's number.
TEST_F(ComNumbersTest, TwoProgramsExtendingAtOnceLoseNothing) {
  fs::create_directories(fs::path(file()).parent_path());
  const std::string lockPath = fs::path(file()).parent_path() / "com-numbers.lock";
  const int lock = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_GE(lock, 0);
  ASSERT_EQ(flock(lock, LOCK_EX), 0);
  struct stat st;
  ASSERT_EQ(fstat(lock, &st), 0);

  // Each program sees a tree of its own with one new adapter.
  std::vector<pid_t> children;
  for (const char* serial : {"A1", "B2"}) {
    const std::string root = dir_ / serial;
    fs::create_directories(root + "/sys/class/tty/ttyUSB0");
    fs::create_directories(root + "/dev/serial/by-id");
    WriteFile(root + "/dev/ttyUSB0", "");
    fs::create_symlink("../../ttyUSB0", root + "/dev/serial/by-id/" + IdOf(serial));
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      close(lock);  // the lock is the test's, not shared with its programs
      const ComNumbering n = NumberSerialDevices(root + "/sys", root + "/dev");
      _exit(n.error.empty() && n.present.size() == 1 && n.present[0].comNumber != 0 ? 0 : 1);
    }
    children.push_back(pid);
  }
  // Both have read the file and wait for the lock (/proc/locks lists each
  // waiter with "->" and the lock file's inode).
  const std::string inode = ":" + std::to_string(st.st_ino) + " ";
  int waiting = 0;
  for (int tries = 0; tries < 5000 && waiting < 2; ++tries) {
    std::ifstream locks("/proc/locks");
    waiting = 0;
    for (std::string line; std::getline(locks, line);) {
      if (line.find("->") != std::string::npos && line.find(inode) != std::string::npos) ++waiting;
    }
    if (waiting < 2) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  EXPECT_EQ(waiting, 2) << "the programs did not both wait for the lock";
  close(lock);
  for (const pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  ComNumberMap numbers;
  std::string error;
  ASSERT_TRUE(ReadComNumbers(file(), &numbers, &error)) << error;
  EXPECT_EQ(numbers.size(), 2u) << ReadFile(file());
  EXPECT_TRUE((numbers == ComNumberMap{{1, IdOf("A1")}, {2, IdOf("B2")}}) ||
              (numbers == ComNumberMap{{1, IdOf("B2")}, {2, IdOf("A1")}}))
      << ReadFile(file());
  EXPECT_EQ(EntryCount(fs::path(file()).parent_path()), 2);  // no temporary file left
}

}  // namespace

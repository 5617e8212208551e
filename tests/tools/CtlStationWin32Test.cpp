// The station on Windows, under Wine: Wine's ports have no USB device
// behind them, so the present-port list is the test's own, through the
// watcher's call table, while the unit behind COM10 is a real zeta7-sim
// that scripts/wine-test.sh maps there. What Wine cannot show: a real USB
// adapter's instance ID and its arrival and removal in the ports class.
#include <gtest/gtest.h>
#include <signal.h>
#include <windows.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "CtlOptions.h"
#include "CtlStation.h"
#include "DeviceWatcher.h"
#include "DeviceWatcherWin32.h"
#include "TestFiles.h"

namespace {

std::mutex g_mutex;
std::vector<PresentPort> g_ports;
int g_nListed = 0;  // how often the station has looked

std::vector<PresentPort> StandInPorts() {
  std::lock_guard<std::mutex> lock(g_mutex);
  ++g_nListed;
  return g_ports;
}
int Listed() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_nListed;
}
const PresentPortCalls kStandIn = {StandInPorts};

void SetPorts(std::vector<PresentPort> ports) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_ports = std::move(ports);
}

class CtlStationWin32Test : public ::testing::Test {
 protected:
  void SetUp() override { UsePresentPortCalls(&kStandIn); }
  void TearDown() override {
    UsePresentPortCalls(nullptr);
    SetPorts({});
  }
};

template <class Cond>
bool WaitFor(Cond cond) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!cond()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// A unit plugged in is known by the serial number in its instance ID;
// ports of the board and of programs are no units.
TEST_F(CtlStationWin32Test, PresentUnitsAreTheUsbPortsWithTheirSerialNumbers) {
  SetPorts({{L"COM1", L"ACPI\\PNP0501\\1"},
            {L"COM12", L"USB\\VID_0403&PID_6001\\A50285BI"},
            {L"COM4", L"FTDIBUS\\VID_0403+PID_6001+FT9ZX1A\\0000"},
            {L"COM7", L"ROOT\\PORTS\\0000"},
            {L"COM9", L"USB\\VID_1A86&PID_7523\\5&2C3A1F7&0&2"},
            {L"LPT1", L"USB\\VID_0000&PID_0000\\X"}});
  const std::vector<PresentDevice> found = ListPresentDevices({});
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(found[0].device, "\\\\.\\COM12");
  EXPECT_EQ(found[0].serial, "A50285BI");
  EXPECT_EQ(found[1].name, "COM4");
  EXPECT_EQ(found[1].serial, "FT9ZX1");
  EXPECT_EQ(found[2].serial, "");  // served by a profile, refused by a plan
}

// The whole station in this process: the unit on COM10 appears, is served,
// goes, comes back as already done; the interrupt ends it with 130.
TEST_F(CtlStationWin32Test, AUnitThatAppearsIsServedAndKnownAgain) {
  CTempDir dir;
  const std::string profile = dir / "unit.ini";
  const std::string record = dir / "記録.jsonl";
  // The values the unit on COM10 starts with: the zeta7ctl.exe block of
  // scripts/wine-test.sh reads them from the same unit later.
  WriteFile(profile, "[parameters]\nchannel=12\nid=3\nretry_count=5\nretry_interval=1000\n");
  CtlCommand c;
  c.verb = CtlVerb::kStation;
  c.file = profile;
  c.recordPath = record;
  c.baud = 38400;
  c.pace = Pace::kFast;
  c.operatorName = "tester";
  static InterruptState interrupted;
  int rc = -1;
  std::thread station(
      [&] { rc = RunStation(c, ProgramSettings(), DeviceRoots(), &interrupted, false); });
  const PresentPort unit = {L"COM10", L"USB\\VID_0403&PID_6001\\WINE10"};
  SetPorts({unit});
  EXPECT_TRUE(WaitFor([&] { return Count(ReadFile(record), "\"outcome\":\"ok\"") == 1; }))
      << ReadFile(record);
  SetPorts({});
  const int before = Listed();
  ASSERT_TRUE(WaitFor([&] { return Listed() > before; }));  // it has seen the unit go
  SetPorts({unit});
  EXPECT_TRUE(WaitFor([&] { return Count(ReadFile(record), "already_done") == 1; }))
      << ReadFile(record);
  interrupted.signal = SIGINT;
  interrupted.count = 1;
  station.join();
  EXPECT_EQ(rc, 130);
  const std::string text = ReadFile(record);
  EXPECT_EQ(Count(text, "\"usb_serial\":\"WINE10\""), 2u) << text;
  EXPECT_EQ(Count(text, "\"port\":\"\\\\\\\\.\\\\COM10\""), 2u) << text;
  EXPECT_EQ(Count(text, "\"operator\":\"tester\""), 2u) << text;
}

}  // namespace

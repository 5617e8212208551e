// What zeta7ctl.exe asks of Windows besides the port: Ctrl+C reaching the
// batch's flag, device names on the command line, and the record file by
// its UTF-8 name with the same bytes as on Linux. The console output and
// the UTF-8 command line are met end to end in scripts/wine-test.sh.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "CtlPlatform.h"
#include "TestFiles.h"

namespace {

// The console's event arrives on a thread the system starts for it.
bool WaitForRequest(const InterruptState& state) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!state.Requested()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

TEST(CtlWin32Test, CtrlCOnlyCountsTheRequest) {
  static InterruptState interrupted;
  InstallInterruptHandler(&interrupted);
  // Under Wine with redirected output the process has no console that can
  // carry the event; a console of its own can.
  if (!GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) {
    FreeConsole();
    if (!AllocConsole() || !GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) {
      GTEST_SKIP() << "no console to send Ctrl+C through (error " << GetLastError() << ")";
    }
  }
  ASSERT_TRUE(WaitForRequest(interrupted));
  EXPECT_EQ(interrupted.ExitCode(), 130);
  // The default handling would have ended the process.
  InterruptHandled();
}

TEST(CtlWin32Test, DeviceNamesAndTheirIdentity) {
  const struct {
    const char* name;
    bool path;
  } cases[] = {{"\\\\.\\COM12", true}, {"\\\\.\\CNCA0", true}, {"C:/dev/port", true},
               {"COM3x", false},       {"CNCA0", false},       {"", false}};
  for (const auto& c : cases) EXPECT_EQ(IsDevicePathName(c.name), c.path) << c.name;
  // One device has one identity whatever its case.
  EXPECT_EQ(DeviceIdentity("\\\\.\\com10"), DeviceIdentity("\\\\.\\COM10"));
  EXPECT_EQ(DeviceIdentity("\\\\.\\ポートa"), DeviceIdentity("\\\\.\\ポートA"));
  EXPECT_NE(DeviceIdentity("\\\\.\\COM1"), DeviceIdentity("\\\\.\\COM10"));
}

TEST(CtlWin32Test, RecordFileByItsUtf8NameKeepsLfLines) {
  CTempDir dir;
  const std::string path = dir / "記録 1.jsonl";
  for (const char* line : {"{\"a\":1}\n", "{\"b\":2}\n"}) {
    CRecordFile f;
    ASSERT_TRUE(f.Open(path));
    EXPECT_TRUE(f.Append(line));
    EXPECT_TRUE(f.Close());
  }
  EXPECT_EQ(ReadFile(path), "{\"a\":1}\n{\"b\":2}\n");
  CRecordFile bad;
  EXPECT_FALSE(bad.Open(dir / "bad\xFF.jsonl"));
  EXPECT_FALSE(bad.Open(""));
}

}  // namespace

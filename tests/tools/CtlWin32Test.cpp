// What zeta7ctl.exe asks of Windows besides the port: Ctrl+C reaching the
// batch's flag, device names on the command line, and the record file by
// its UTF-8 name with the same bytes as on Linux. The console output and
// the UTF-8 command line are met end to end in scripts/wine-test.sh.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "CtlPlatform.h"
#include "ScopedHandleWin32.h"
#include "TestFiles.h"
#include "WideTextWin32.h"

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

constexpr int kLinesEach = 5000;

std::string WriterLine(const std::string& tag, int i) {
  return "{\"writer\":\"" + tag + "\",\"line\":" + std::to_string(i) + ",\"pad\":\"" +
         std::string(static_cast<size_t>(i % 97), 'x') + "\"}\n";
}

// One of the writers below, run as a process of its own.
TEST(CtlWin32Test, DISABLED_RecordWriter) {
  const wchar_t* path = _wgetenv(L"ZETA7_RECORD_FILE");
  const wchar_t* tag = _wgetenv(L"ZETA7_RECORD_TAG");
  ASSERT_TRUE(path != nullptr && tag != nullptr);
  CRecordFile f;
  ASSERT_TRUE(f.Open(win32::Utf8(path)));
  // Both start appending at once.
  const win32::CScopedHandle go(OpenEventW(SYNCHRONIZE, FALSE, L"Local\\Zeta7RecordWriters"));
  ASSERT_TRUE(go.IsValid());
  ASSERT_EQ(WaitForSingleObject(go.Get(), 30000), WAIT_OBJECT_0);
  for (int i = 0; i < kLinesEach; ++i) ASSERT_TRUE(f.Append(WriterLine(win32::Utf8(tag), i)));
  EXPECT_TRUE(f.Close());
}

// Two zeta7ctl runs with one --record file: every line is one append at the
// file's end, so none is lost, overwritten or cut into another.
TEST(CtlWin32Test, TwoProcessesAppendEveryLineWhole) {
  CTempDir dir;
  const std::string path = dir / "記録 共有.jsonl";
  wchar_t self[MAX_PATH] = L"";
  ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
  std::wstring command = L"\"" + std::wstring(self) +
                         L"\" --gtest_filter=CtlWin32Test.DISABLED_RecordWriter"
                         L" --gtest_also_run_disabled_tests";
  SetEnvironmentVariableW(L"ZETA7_RECORD_FILE", win32::Wide(path).c_str());
  const win32::CScopedHandle go(CreateEventW(nullptr, TRUE, FALSE, L"Local\\Zeta7RecordWriters"));
  ASSERT_TRUE(go.IsValid());
  std::vector<win32::CScopedHandle> writers;
  for (const wchar_t* tag : {L"a", L"b"}) {
    SetEnvironmentVariableW(L"ZETA7_RECORD_TAG", tag);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &si, &pi));
    win32::CScopedHandle thread(pi.hThread);
    writers.emplace_back(pi.hProcess);
  }
  SetEvent(go.Get());
  for (const win32::CScopedHandle& w : writers) {
    ASSERT_EQ(WaitForSingleObject(w.Get(), 60000), WAIT_OBJECT_0);
    DWORD code = 1;
    EXPECT_TRUE(GetExitCodeProcess(w.Get(), &code) && code == 0) << code;
  }
  std::istringstream lines(ReadFile(path));
  int next[2] = {0, 0};
  int count = 0;
  for (std::string line; std::getline(lines, line); ++count) {
    const int w = line.rfind("{\"writer\":\"b\"", 0) == 0 ? 1 : 0;
    ASSERT_EQ(line + "\n", WriterLine(w ? "b" : "a", next[w])) << "line " << count;
    ++next[w];  // each writer's lines in its own order
  }
  EXPECT_EQ(count, 2 * kLinesEach);
  EXPECT_EQ(next[0], kLinesEach);
  EXPECT_EQ(next[1], kLinesEach);
}

}  // namespace

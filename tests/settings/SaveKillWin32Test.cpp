// A save killed at any moment (TerminateProcess, as the task manager does)
// leaves the settings file as it was before that save or as it is after it:
// every other line intact, never a torn file.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>

#include "TestFiles.h"

namespace {

constexpr const char* kBefore = "; settings kept by hand\r\n[position]\r\nleft=10\r\ntop=20\r\n";
constexpr const char* kAfter = "\r\n[ports]\r\ncom1=/dev/ttyUSB0\r\n";

std::string FileWith(int value) {
  return kBefore + ("[com]\r\ncom=" + std::to_string(value)) + "\r\nbps=1\r\n" + kAfter;
}

// Closes a handle on every path out of a scope.
class CHandle {
 public:
  CHandle() = default;
  ~CHandle() { Reset(); }
  CHandle(const CHandle&) = delete;
  CHandle& operator=(const CHandle&) = delete;
  HANDLE* Out() {
    Reset();
    return &m_handle;
  }
  HANDLE Get() const { return m_handle; }
  void Reset() {
    if (m_handle != nullptr) CloseHandle(m_handle);
    m_handle = nullptr;
  }

 private:
  HANDLE m_handle = nullptr;
};

}  // namespace

TEST(SaveKillWin32Test, KilledSavesLeaveOldOrNewContent) {
  const char* bin = std::getenv("ZETA7_BIN_DIR");
  ASSERT_NE(bin, nullptr);
  const std::string program = std::string(bin) + "\\settings-save-loop.exe";
  if (GetFileAttributesA(program.c_str()) == INVALID_FILE_ATTRIBUTES) {
    GTEST_SKIP() << "no " << program;
  }
  CTempDir dir;
  const std::string ini = dir / "zeta7.ini";

  std::mt19937 random(20261206);
  constexpr int kTrials = 150;  // a process start under Wine takes tens of ms
  int lastValue = 0;
  for (int trial = 0; trial < kTrials; ++trial) {
    WriteFile(ini, FileWith(lastValue));
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    CHandle readEnd, writeEnd, process, thread;
    ASSERT_TRUE(CreatePipe(readEnd.Out(), writeEnd.Out(), &inherit, 0));
    SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd.Get();
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi{};
    std::string command = "\"" + program + "\" \"" + ini + "\"";
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                               &si, &pi));
    *process.Out() = pi.hProcess;
    *thread.Out() = pi.hThread;
    writeEnd.Reset();

    // Let a random number of saves complete, then kill during the next one.
    const int saves = static_cast<int>(random() % 4);
    for (int done = 0; done < saves; ++done) {
      char progress;
      DWORD got = 0;
      if (!ReadFile(readEnd.Get(), &progress, 1, &got, nullptr) || got != 1) break;
    }
    ASSERT_TRUE(TerminateProcess(process.Get(), 9));
    ASSERT_EQ(WaitForSingleObject(process.Get(), 10000), WAIT_OBJECT_0);

    const std::string text = ReadFile(ini);
    const size_t at = FileWith(0).find("com=0") + 4;
    const int stored = text.size() > at ? std::atoi(text.c_str() + at) : -1;
    ASSERT_EQ(text, FileWith(stored)) << "trial " << trial;
    if (saves > 0) {
      ASSERT_GE(stored, saves) << "trial " << trial;
    }
    lastValue = stored;
  }
  // Temporary files of killed saves may stay (a later save clears old ones);
  // the settings file itself is always whole.
  std::printf("%d kills: file always whole; %d entries in the folder\n", kTrials,
              EntryCount(dir.Path()));
}

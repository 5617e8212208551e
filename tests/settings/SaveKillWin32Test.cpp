// A save killed at any moment (TerminateProcess, as the task manager does)
// leaves the settings file as it was before that save or as it is after it:
// every other line intact, never a torn file.
#include <gtest/gtest.h>
#include <windows.h>

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
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, &inherit, 0));
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi{};
    std::string command = "\"" + program + "\" \"" + ini + "\"";
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                               &si, &pi));
    CloseHandle(pi.hThread);
    CloseHandle(writeEnd);

    // Let a random number of saves complete, then kill during the next one.
    const int saves = static_cast<int>(random() % 4);
    for (int done = 0; done < saves; ++done) {
      char progress;
      DWORD got = 0;
      if (!ReadFile(readEnd, &progress, 1, &got, nullptr) || got != 1) break;
    }
    ASSERT_TRUE(TerminateProcess(pi.hProcess, 9));
    ASSERT_EQ(WaitForSingleObject(pi.hProcess, 10000), WAIT_OBJECT_0);
    CloseHandle(pi.hProcess);
    CloseHandle(readEnd);

    const std::string text = ReadFile(ini);
    const size_t at = FileWith(0).find("com=0") + 4;
    const int stored = text.size() > at ? std::atoi(text.c_str() + at) : -1;
    ASSERT_EQ(text, FileWith(stored)) << "trial " << trial;
    if (saves > 0) {
      ASSERT_GE(stored, saves) << "trial " << trial;
    }
    lastValue = stored;
  }
}

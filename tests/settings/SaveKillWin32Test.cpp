// A save killed at any moment (TerminateProcess, as the task manager does).
// Through a temporary file, the settings file is read back as it was before
// that save or as it is after it: every other line intact, never a torn file
// and never lost. In
// place (where the folder takes no new file), the new text may also be
// followed by the old file's last bytes, and nothing else.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <random>
#include <string>

#include "ProfileFile.h"
#include "SaveLoop.h"
#include "TestFiles.h"

namespace {

constexpr const char* kBefore = "; settings kept by hand\r\n[position]\r\nleft=10\r\ntop=20\r\n";
constexpr const char* kAfter = "\r\n[ports]\r\ncom1=/dev/ttyUSB0\r\n";

std::string FileWith(int value) {
  return kBefore + ("[com]\r\ncom=" + std::to_string(value)) + "\r\nbps=1\r\n" + kAfter;
}

int StoredIn(const std::string& text) {
  const size_t at = FileWith(0).find("com=0") + 4;
  return text.size() > at ? std::atoi(text.c_str() + at) : -1;
}

class SaveKillWin32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* bin = std::getenv("ZETA7_BIN_DIR");
    ASSERT_NE(bin, nullptr);
    m_program = std::string(bin) + "\\settings-save-loop.exe";
    if (GetFileAttributesA(m_program.c_str()) == INVALID_FILE_ATTRIBUTES) {
      GTEST_SKIP() << "no " << m_program;
    }
  }

  // Starts the loop on the file, lets `saves` saves complete, kills it
  // during the next one and returns what the file holds.
  std::string KillAfter(int saves, const char* mode) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    EXPECT_TRUE(CreatePipe(&readEnd, &writeEnd, &inherit, 0));
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi{};
    std::string command = "\"" + m_program + "\" \"" + m_strIni + "\" " + mode;
    const bool started =
        CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    CloseHandle(writeEnd);
    EXPECT_TRUE(started);
    if (!started) {
      CloseHandle(readEnd);
      return {};
    }
    CloseHandle(pi.hThread);
    for (int done = 0; done < saves; ++done) {
      char progress;
      DWORD got = 0;
      if (!ReadFile(readEnd, &progress, 1, &got, nullptr) || got != 1) break;
    }
    EXPECT_TRUE(TerminateProcess(pi.hProcess, 9));
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 10000), WAIT_OBJECT_0);
    CloseHandle(pi.hProcess);
    CloseHandle(readEnd);
    // As the program reads it next: a replace cut between its two renames
    // left the old file under its backup name, and the read puts it back.
    std::string text;
    ReadProfileFile(m_strIni, &text);
    return text;
  }

  CTempDir m_dir;
  const std::string m_strIni = m_dir / "zeta7.ini";
  std::string m_program;
  std::mt19937 m_random{20261206};
  static constexpr int kTrials = 100;  // a process start under Wine takes tens of ms
};

TEST_F(SaveKillWin32Test, KilledSavesLeaveOldOrNewContent) {
  int lastValue = 0;
  for (int trial = 0; trial < kTrials; ++trial) {
    WriteFile(m_strIni, FileWith(lastValue));
    const int saves = static_cast<int>(m_random() % 4);
    const std::string text = KillAfter(saves, "");
    const int stored = StoredIn(text);
    ASSERT_EQ(text, FileWith(stored)) << "trial " << trial;
    if (saves > 0) {
      ASSERT_GE(stored, saves) << "trial " << trial;
    }
    lastValue = stored;
  }
}

TEST_F(SaveKillWin32Test, KilledInPlaceSavesLeaveNewTextAndAtMostTheOldTail) {
  int lastValue = InPlaceValue(1);
  int torn = 0;
  for (int trial = 0; trial < kTrials; ++trial) {
    const std::string before = FileWith(lastValue);
    WriteFile(m_strIni, before);
    const std::string text = KillAfter(static_cast<int>(m_random() % 4), "--in-place");
    const int stored = StoredIn(text);
    const std::string whole = FileWith(stored);
    ASSERT_EQ(text.substr(0, whole.size()), whole) << "trial " << trial;
    if (text.size() > whole.size()) {
      // The old text's last bytes, never anything else: the values all sit
      // before the unchanging tail, so that tail is a tail of every file.
      ASSERT_EQ(text.substr(whole.size()), FileWith(InPlaceValue(1)).substr(whole.size()))
          << "trial " << trial;
      ++torn;
    }
    lastValue = stored;
  }
  std::printf("in-place kills: %d of %d left the old file's last bytes after the new text\n", torn,
              kTrials);
}

}  // namespace

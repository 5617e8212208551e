// A save killed at any moment leaves the settings file as it was before that
// save or as it is after it: every other line intact, never a torn file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "TestFiles.h"
#include "iniacs.h"

namespace {

constexpr const char* kBefore = "; settings kept by hand\r\n[position]\r\nleft=10\r\ntop=20\r\n";
constexpr const char* kAfter = "\r\n[ports]\r\ncom1=/dev/ttyUSB0\r\n";

std::string FileWith(int value) {
  return kBefore + ("[com]\r\ncom=" + std::to_string(value)) + "\r\nbps=1\r\n" + kAfter;
}

std::string SaveLoopProgram() {
  const char* dir = std::getenv("ZETA7_BIN_DIR");
  return std::string(dir ? dir : ".") + "/settings-save-loop";
}

}  // namespace

TEST(SaveKillTest, KilledSavesLeaveOldOrNewContent) {
  const std::string program = SaveLoopProgram();
  if (access(program.c_str(), X_OK) != 0) GTEST_SKIP() << "no " << program;
  CTempDir dir;
  const std::string ini = dir / "zeta7.ini";

  std::mt19937 random(20261206);
  constexpr int kTrials = 1000;
  int lastValue = 0;
  for (int trial = 0; trial < kTrials; ++trial) {
    WriteFile(ini, FileWith(lastValue));
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      dup2(out[1], 1);
      close(out[0]);
      close(out[1]);
      execl(program.c_str(), program.c_str(), ini.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    // Let a random number of saves complete, then kill during the next one.
    const int saves = static_cast<int>(random() % 4);
    char progress;
    for (int done = 0; done < saves && read(out[0], &progress, 1) == 1; ++done) {
    }
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    close(out[0]);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the save loop ended by itself";

    // The whole file must be the one written for the value it holds.
    const std::string text = ReadFile(ini);
    const size_t at = FileWith(0).find("com=0") + 4;
    const int stored = text.size() > at ? std::atoi(text.c_str() + at) : -1;
    ASSERT_EQ(text, FileWith(stored)) << "trial " << trial;
    // The value is the one before this run or one the run wrote: at least
    // the saves it reported (more may have finished before the kill landed).
    if (saves > 0 || stored != lastValue) {
      ASSERT_GE(stored, std::max(saves, 1)) << "trial " << trial;
    }
    lastValue = stored;
  }
}

// What killed saves leave behind is cleared by a later save once it is
// clearly abandoned; a fresh one may belong to a save still running. A
// user's own files of a like shape (".zeta7.ini.backup", a dated copy) are
// not ours, however old.
TEST(SaveKillTest, LaterSaveRemovesOnlyItsOwnAbandonedTemporaryFiles) {
  CTempDir dir;
  const std::string stale = dir / ".zeta7.ini.zeta7-save-AbC123";
  const std::string fresh = dir / ".zeta7.ini.zeta7-save-XyZ789";
  const std::vector<std::string> kept = {fresh,
                                         dir / ".other.ini.zeta7-save-AbC123",
                                         dir / ".zeta7.ini.backup",
                                         dir / ".zeta7.ini.202611",
                                         dir / ".zeta7.ini.AbC123",
                                         dir / ".zeta7.ini.zeta7-save-AbC12.",
                                         dir / ".zeta7.ini.zeta7-save-AbC1234"};
  WriteFile(stale, "[com]\ncom=");
  for (const std::string& path : kept) WriteFile(path, "[com]\ncom=");
  const timespec old[2] = {{0, UTIME_OMIT}, {time(nullptr) - 7200, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, stale.c_str(), old, 0), 0);
  for (const std::string& path : kept) {
    if (path != fresh) {
      ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), old, 0), 0);
    }
  }

  iniacs settings;
  settings.SetPath(dir / "zeta7.ini");
  settings.WriteInt("com", "com", 4);
  EXPECT_NE(access(stale.c_str(), F_OK), 0);
  for (const std::string& path : kept) EXPECT_EQ(ReadFile(path), "[com]\ncom=") << path;
}

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <cstdint>

#include "TestFiles.h"
#include "Unprivileged.h"
#include "iniacs.h"

namespace {

class IniacsTest : public ::testing::Test {
 protected:
  IniacsTest() : m_strIni(m_dir / "zeta7.ini") { m_ini.SetPath(m_strIni); }

  static mode_t ModeOf(const std::string& path) {
    struct stat st;
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
  }

  CTempDir m_dir;
  std::string m_strIni;
  iniacs m_ini;
};

TEST_F(IniacsTest, MissingKeyGivesMinusOneAndEveryWrittenValueReadsBack) {
  EXPECT_EQ(m_ini.GetInt("com", "com"), -1);
  EXPECT_NE(::access(m_strIni.c_str(), F_OK), 0) << "a read created the file";
  for (int value : {INT_MIN, -1, 0, INT_MAX}) {
    m_ini.WriteInt("position", "left", value);
    EXPECT_EQ(m_ini.GetInt("position", "left"), value);
  }
  EXPECT_EQ(m_ini.GetInt("position", "top"), -1);
}

TEST_F(IniacsTest, NewFileFollowsTheUmaskAndAnOldFileKeepsItsMode) {
  const mode_t oldMask = ::umask(027);
  m_ini.WriteInt("position", "left", -7);
  m_ini.WriteInt("com", "com", 3);
  ::umask(oldMask);
  EXPECT_EQ(ReadFile(m_strIni), "[position]\nleft=-7\n[com]\ncom=3\n");
  EXPECT_EQ(ModeOf(m_strIni), 0640u);

  ASSERT_EQ(::chmod(m_strIni.c_str(), 0604), 0);
  m_ini.WriteInt("com", "com", 2);
  EXPECT_EQ(ModeOf(m_strIni), 0604u);
  EXPECT_EQ(EntryCount(m_dir.Path()), 1);
}

// A save by root (the tool once run through sudo) leaves a user's file the
// user's, with its mode, so that the user's own later saves still work.
TEST_F(IniacsTest, SaveByAnotherUserKeepsOwnerGroupAndMode) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can save a file that another user owns";
  constexpr uid_t kNobody = 65534;
  WriteFile(m_strIni, "; theirs\n[com]\ncom=1\n");
  ASSERT_EQ(::chown(m_strIni.c_str(), kNobody, kNobody), 0);
  ASSERT_EQ(::chmod(m_strIni.c_str(), 0640), 0);
  m_ini.WriteInt("com", "com", 4);
  struct stat st;
  ASSERT_EQ(::stat(m_strIni.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, kNobody);
  EXPECT_EQ(st.st_gid, kNobody);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(ReadFile(m_strIni), "; theirs\n[com]\ncom=4\n");

  ASSERT_EQ(::chmod(m_dir.Path().c_str(), 0777), 0);
  const int result = RunUnprivileged([this] {
    iniacs ini;
    ini.SetPath(m_strIni);
    ini.WriteInt("com", "bps", 2);
    return ini.GetInt("com", "bps") == 2 ? 0 : 1;
  });
  ASSERT_NE(result, -1) << "could not run without root's rights";
  EXPECT_EQ(result, 0) << "the owner can no longer save";
}

TEST_F(IniacsTest, WriteThroughASymlinkChangesItsTargetAndKeepsTheLink) {
  const std::string real = m_dir / "real/settings.ini";
  WriteFile(real, "[com]\ncom=1\n");
  ASSERT_EQ(::symlink("real/settings.ini", m_strIni.c_str()), 0);
  m_ini.WriteInt("com", "com", 9);
  EXPECT_EQ(ReadFile(real), "[com]\ncom=9\n");
  EXPECT_EQ(EntryCount(m_dir / "real"), 1);

  // A dangling link gets its target created.
  ASSERT_EQ(::unlink(real.c_str()), 0);
  m_ini.WriteInt("com", "bps", 3);
  EXPECT_EQ(ReadFile(real), "[com]\nbps=3\n");
  struct stat st;
  ASSERT_EQ(::lstat(m_strIni.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
}

// Something at the path that is not a settings file (a FIFO, a folder, a
// file past the size bound): reads give the default at once (a FIFO must not
// block) and writes leave it as it was.
TEST_F(IniacsTest, NonSettingsFileIsNeitherReadNorReplaced) {
  const std::string fifo = m_dir / "fifo.ini";
  const std::string folder = m_dir / "folder.ini";
  const std::string huge = m_dir / "huge.ini";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  WriteFile(huge, "[com]\ncom=1\n");
  ASSERT_EQ(::truncate(huge.c_str(), 65 * 1024 * 1024), 0);  // sparse
  for (const std::string& path : {fifo, folder, huge}) {
    struct stat before, after;
    ASSERT_EQ(::lstat(path.c_str(), &before), 0);
    iniacs ini;
    ini.SetPath(path);
    EXPECT_EQ(ini.GetInt("com", "com"), -1) << path;
    ini.WriteInt("com", "com", 4);
    ASSERT_EQ(::lstat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_mode, before.st_mode) << path;
    EXPECT_EQ(after.st_size, before.st_size) << path;
  }
  EXPECT_EQ(EntryCount(m_dir.Path()), 3);
}

// A write that fails half way (the file-size limit stops the temporary file;
// unlike permission bits this works for root too) leaves the old file whole
// and no temporary file behind.
TEST_F(IniacsTest, FailedWriteLeavesOldFileIntactAndNoLeftovers) {
  const std::string before = "[com]\ncom=1\n; " + std::string(300, 'x') + "\n";
  WriteFile(m_strIni, before);
  struct rlimit old;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  struct rlimit small = old;
  small.rlim_cur = 64;
  void (*oldHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  m_ini.WriteInt("com", "com", 2);
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_EQ(ReadFile(m_strIni), before);
  EXPECT_EQ(EntryCount(m_dir.Path()), 1);
}

// Files and folders the user may not write (as root the check runs as
// "nobody", who owns them): the write stores nothing, and the old file stays
// as it was with nothing left beside it. A file that cannot be read is not
// replaced by one holding one key.
TEST_F(IniacsTest, UnwritableFileOrFolderLeftIntact) {
  const std::string before = "[com]\ncom=3\nbps=1\n";
  const struct { mode_t folder, file; } cases[] = {{0555, 0644}, {0755, 0444}, {0755, 0200}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.folder) + " " + std::to_string(c.file));
    WriteFile(m_strIni, before);
    ASSERT_EQ(::chmod(m_strIni.c_str(), c.file), 0);
    ASSERT_EQ(::chmod(m_dir.Path().c_str(), c.folder), 0);
    if (::geteuid() == 0) {
      ASSERT_EQ(::chown(m_dir.Path().c_str(), 65534, 65534), 0);
      ASSERT_EQ(::chown(m_strIni.c_str(), 65534, 65534), 0);
    }
    const int result = RunUnprivileged([&] {
      m_ini.WriteInt("com", "com", 9);
      return 0;
    });
    ASSERT_EQ(::chmod(m_dir.Path().c_str(), 0700), 0);
    ASSERT_EQ(::chmod(m_strIni.c_str(), 0600), 0);
    ASSERT_NE(result, -1) << "could not run without root's rights";
    EXPECT_EQ(ReadFile(m_strIni), before);
    EXPECT_EQ(EntryCount(m_dir.Path()), 1);
  }
  // A file without a single write bit is read-only for root as well, for
  // whom access() would say yes.
  for (const mode_t mode : {0444, 0000}) {
    WriteFile(m_strIni, before);
    ASSERT_EQ(::chmod(m_strIni.c_str(), mode), 0);
    m_ini.WriteInt("com", "com", 9);
    ASSERT_EQ(::chmod(m_strIni.c_str(), 0600), 0);
    EXPECT_EQ(ReadFile(m_strIni), before) << mode;
  }
}

// 10 MB: binary noise, then millions of short lines with no "=" or "]", and
// the section at the end. Look-up and edit must stay linear (a scan running
// past each line's end would not finish in the test's time limit) and keep
// every byte before the edit.
TEST_F(IniacsTest, LargeBinaryFileIsHandled) {
  std::string bulk(2 * 1024 * 1024, '\0');
  uint32_t x = 12345;
  for (char& c : bulk) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 24);
  }
  for (int i = 0; i < 4 * 1024 * 1024; ++i) bulk += (i % 2) ? "x\n" : "[\n";
  WriteFile(m_strIni, bulk + "\n[com]\ncom=7\n");
  EXPECT_EQ(m_ini.GetInt("com", "com"), 7);
  m_ini.WriteInt("com", "bps", 1);
  const std::string after = ReadFile(m_strIni);
  EXPECT_EQ(after.size(), bulk.size() + 19);
  EXPECT_EQ(after.compare(0, bulk.size(), bulk), 0);
  EXPECT_EQ(m_ini.GetInt("com", "bps"), 1);
}

}  // namespace

// The settings file on Windows: line ends, attributes, names and files that
// another program holds. The text rules themselves are the shared ones
// (ProfileTextTest); here is what the Windows file layer adds.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "TestFiles.h"
#include "iniacs.h"

namespace {

class IniacsWin32Test : public ::testing::Test {
 protected:
  IniacsWin32Test() : m_strIni(m_dir / "ZETA-7設定ユーティリティ.ini") { m_ini.SetPath(m_strIni); }

  DWORD Attributes() const { return GetFileAttributesW(FsPath(m_strIni).wstring().c_str()); }

  CTempDir m_dir;
  std::string m_strIni;
  iniacs m_ini;
};

TEST_F(IniacsWin32Test, NewFileGetsCrLfAndAnExistingOneKeepsItsLineEnds) {
  m_ini.WriteInt("position", "left", -7);
  m_ini.WriteInt("com", "com", 3);
  EXPECT_EQ(ReadFile(m_strIni), "[position]\r\nleft=-7\r\n[com]\r\ncom=3\r\n");

  WriteFile(m_strIni, "; mine\n[com]\ncom=1\n");
  m_ini.WriteInt("com", "bps", 2);
  m_ini.WriteInt("position", "top", 5);
  EXPECT_EQ(ReadFile(m_strIni), "; mine\n[com]\ncom=1\nbps=2\n[position]\ntop=5\n");
}

// A read-only file is the user's way of freezing the settings; a hidden one
// stays hidden after the save.
TEST_F(IniacsWin32Test, AttributesAreRespected) {
  const std::wstring path = FsPath(m_strIni).wstring();
  const std::string before = "[com]\r\ncom=3\r\n";
  WriteFile(m_strIni, before);
  ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
  m_ini.WriteInt("com", "com", 9);
  EXPECT_EQ(ReadFile(m_strIni), before);
  EXPECT_EQ(m_ini.GetInt("com", "com"), 3);

  ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN));
  m_ini.WriteInt("com", "com", 9);
  EXPECT_EQ(ReadFile(m_strIni), "[com]\r\ncom=9\r\n");
  EXPECT_NE(Attributes() & FILE_ATTRIBUTE_HIDDEN, 0u);
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(EntryCount(m_dir.Path()), 1);
}

// Another program holds the file without sharing it, or a folder has the
// settings file's name: reads give the default, writes change nothing.
TEST_F(IniacsWin32Test, FileThatCannotBeReadIsNotReplaced) {
  const std::string before = "[com]\r\ncom=3\r\n";
  WriteFile(m_strIni, before);
  HANDLE held = CreateFileW(FsPath(m_strIni).wstring().c_str(), GENERIC_READ, 0, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(m_ini.GetInt("com", "com"), -1);
  m_ini.WriteInt("com", "com", 9);
  CloseHandle(held);
  EXPECT_EQ(ReadFile(m_strIni), before);

  iniacs folder;
  folder.SetPath(m_dir / "folder.ini");
  ASSERT_TRUE(CreateDirectoryW(FsPath(m_dir / "folder.ini").wstring().c_str(), nullptr));
  EXPECT_EQ(folder.GetInt("com", "com"), -1);
  folder.WriteInt("com", "com", 9);
  EXPECT_EQ(EntryCount(m_dir / "folder.ini"), 0);
  EXPECT_EQ(EntryCount(m_dir.Path()), 2);
}

// What a killed save leaves is cleared by a later save once it is clearly
// abandoned; a fresh one may belong to a save still running.
TEST_F(IniacsWin32Test, LaterSaveRemovesAbandonedTemporaryFiles) {
  const std::string stale = m_dir / ".ZETA-7設定ユーティリティ.ini.AbC123";
  const std::string fresh = m_dir / ".ZETA-7設定ユーティリティ.ini.XyZ789";
  for (const std::string& path : {stale, fresh}) WriteFile(path, "[com]\ncom=");
  HANDLE h = CreateFileW(FsPath(stale).wstring().c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER t{{now.dwLowDateTime, now.dwHighDateTime}};
  t.QuadPart -= 3600ULL * 10000000;  // an hour ago
  const FILETIME old{t.LowPart, t.HighPart};
  ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &old));
  CloseHandle(h);

  m_ini.WriteInt("com", "com", 4);
  EXPECT_EQ(ReadFile(stale), "");
  EXPECT_EQ(ReadFile(fresh), "[com]\ncom=");
  EXPECT_EQ(EntryCount(m_dir.Path()), 2);
}

}  // namespace

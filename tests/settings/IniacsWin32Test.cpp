// The settings file on Windows: line ends, attributes, names and files that
// another program holds. The text rules themselves are the shared ones
// (ProfileTextTest); here is what the Windows file layer adds.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "FileCallsWin32.h"
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
// abandoned; a fresh one may belong to a save still running. A user's own
// files of a like shape are not ours, however old.
TEST_F(IniacsWin32Test, LaterSaveRemovesOnlyItsOwnAbandonedTemporaryFiles) {
  const std::string name = ".ZETA-7設定ユーティリティ.ini";
  const std::string stale = m_dir / (name + ".zeta7-save-AbC123");
  const std::string staleBackup = m_dir / (name + ".zeta7-save-AbC124~");
  const std::string fresh = m_dir / (name + ".zeta7-save-XyZ789");
  const std::vector<std::string> users = {m_dir / (name + ".backup"), m_dir / (name + ".202611"),
                                          m_dir / (name + ".AbC123"), m_dir / (name + ".AbC123~")};
  for (const std::string& path : {stale, staleBackup, fresh}) WriteFile(path, "[com]\ncom=");
  for (const std::string& path : users) WriteFile(path, "[com]\ncom=");
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER t{{now.dwLowDateTime, now.dwHighDateTime}};
  t.QuadPart -= 7200ULL * 10000000;  // two hours ago
  const FILETIME old{t.LowPart, t.HighPart};
  std::vector<std::string> aged = users;
  aged.push_back(stale);
  aged.push_back(staleBackup);
  for (const std::string& path : aged) {
    HANDLE h = CreateFileW(FsPath(path).wstring().c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &old));
    CloseHandle(h);
  }

  m_ini.WriteInt("com", "com", 4);
  EXPECT_EQ(ReadFile(stale), "");
  EXPECT_EQ(ReadFile(staleBackup), "");
  EXPECT_EQ(ReadFile(fresh), "[com]\ncom=");
  for (const std::string& path : users) EXPECT_EQ(ReadFile(path), "[com]\ncom=") << path;
  EXPECT_EQ(EntryCount(m_dir.Path()), 2 + users.size());
}

// A save killed between the replace's two renames left the old file only
// under its backup name: the next read puts it back, and a save keeps the
// rest of it.
TEST_F(IniacsWin32Test, ReplaceCutBetweenItsRenamesIsPutBack) {
  const std::string text = "[com]\r\ncom=7\r\n[ports]\r\ncom1=\\\\.\\COM9\r\n";
  WriteFile(m_dir / ".ZETA-7設定ユーティリティ.ini.zeta7-save-AbC123~", text);
  EXPECT_EQ(m_ini.GetInt("com", "com"), 7);
  EXPECT_EQ(ReadFile(m_strIni), text);
  m_ini.WriteInt("com", "com", 4);
  std::string device;
  EXPECT_TRUE(m_ini.GetString("ports", "com1", &device));
  EXPECT_EQ(device, "\\\\.\\COM9");
  EXPECT_EQ(EntryCount(m_dir.Path()), 1);
}

// The save's calls where Wine cannot show what Windows does: a file another
// program holds without delete sharing, a folder the user may not write to,
// a replace that fails half way.
class SaveCallsWin32Test : public IniacsWin32Test {
 protected:
  SaveCallsWin32Test() {
    s_self = this;
    m_calls = SystemProfileFileCalls();
    m_calls.createFile = [](LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                            DWORD disposition, DWORD flags, HANDLE tmpl) -> HANDLE {
      if (disposition == CREATE_NEW && s_self->m_bFolderReadOnly) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
      }
      return CreateFileW(path, access, share, sa, disposition, flags, tmpl);
    };
    m_calls.replaceFile = [](LPCWSTR replaced, LPCWSTR replacement, LPCWSTR backup, DWORD flags,
                             LPVOID, LPVOID) -> BOOL {
      ++s_self->m_nReplaces;
      if (s_self->m_nHeldReplaces > 0) {
        --s_self->m_nHeldReplaces;
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
      }
      if (s_self->m_bHalfWay) {
        // The old file has gone to the backup name; the new one stays.
        MoveFileW(replaced, backup);
        SetLastError(ERROR_UNABLE_TO_MOVE_REPLACEMENT_2);
        return FALSE;
      }
      return ReplaceFileW(replaced, replacement, backup, flags, nullptr, nullptr);
    };
    m_calls.sleep = [](DWORD ms) { s_self->m_nSleptMs += ms; };
    UseProfileFileCalls(&m_calls);
    WriteFile(m_strIni, kBefore);
  }
  ~SaveCallsWin32Test() override { UseProfileFileCalls(nullptr); }

  static constexpr const char* kBefore = "[com]\r\ncom=3\r\nbps=1\r\n";
  static SaveCallsWin32Test* s_self;
  ProfileFileCalls m_calls;
  bool m_bFolderReadOnly = false;
  bool m_bHalfWay = false;
  int m_nHeldReplaces = 0;
  int m_nReplaces = 0;
  DWORD m_nSleptMs = 0;
};
SaveCallsWin32Test* SaveCallsWin32Test::s_self = nullptr;

// A file held for a moment is saved once it is free; one held for good is
// left whole after a short, bounded wait.
TEST_F(SaveCallsWin32Test, HeldFileIsRetriedForABoundedTime) {
  m_nHeldReplaces = 2;
  m_ini.WriteInt("com", "com", 9);
  EXPECT_EQ(ReadFile(m_strIni), "[com]\r\ncom=9\r\nbps=1\r\n");
  EXPECT_EQ(m_nReplaces, 3);

  m_nHeldReplaces = 1000;
  m_nReplaces = 0;
  m_nSleptMs = 0;
  m_ini.WriteInt("com", "com", 4);
  EXPECT_EQ(ReadFile(m_strIni), "[com]\r\ncom=9\r\nbps=1\r\n");
  EXPECT_EQ(m_nReplaces, 5);
  EXPECT_LE(m_nSleptMs, 500u);
  EXPECT_EQ(EntryCount(m_dir.Path()), 1);
}

// Where the folder takes no new file, a writable settings file is rewritten
// where it is; a new one cannot be made there at all.
TEST_F(SaveCallsWin32Test, FileInAFolderWithoutWriteRightsIsRewrittenInPlace) {
  m_bFolderReadOnly = true;
  m_ini.WriteInt("com", "com", 12);
  EXPECT_EQ(ReadFile(m_strIni), "[com]\r\ncom=12\r\nbps=1\r\n");
  m_ini.WriteInt("com", "com", 7);  // shorter: the old tail must go
  EXPECT_EQ(ReadFile(m_strIni), "[com]\r\ncom=7\r\nbps=1\r\n");
  EXPECT_EQ(m_nReplaces, 0);

  iniacs fresh;
  fresh.SetPath(m_dir / "new.ini");
  fresh.WriteInt("com", "com", 1);
  EXPECT_EQ(EntryCount(m_dir.Path()), 1);
}

TEST_F(SaveCallsWin32Test, ReplaceThatFailsHalfWayPutsTheOldFileBack) {
  m_bHalfWay = true;
  m_ini.WriteInt("com", "com", 9);
  EXPECT_EQ(ReadFile(m_strIni), kBefore);
  EXPECT_EQ(EntryCount(m_dir.Path()), 1);
}

}  // namespace

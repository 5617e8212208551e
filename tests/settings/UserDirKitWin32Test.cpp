// UserDirKit.dll in a Windows prefix, and the settings location that a
// program with it decides at start-up. The per-user folder is the private
// one that the test main gives every test program.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "TestFiles.h"
#include "UserDirKit/UserDirKit.h"

namespace fs = std::filesystem;

namespace {

const std::string kProgram = "ZETA-7設定ユーティリティ";

std::string AppData() {
  const char* value = std::getenv("APPDATA");
  return value != nullptr ? value : "";
}

bool IsFolder(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(FsPath(path), ec);
}

std::wstring Wide(const std::string& utf8) { return FsPath(utf8).wstring(); }

class UserDirKitWin32 : public ::testing::Test {
 protected:
  // What a program named name.exe in a fresh folder decides at start-up:
  // the path, a line feed, any message. appData: its roaming folder.
  std::string Locate(const std::string& name, const std::string& appData,
                     const std::string& folder) {
    const char* bin = std::getenv("ZETA7_BIN_DIR");
    if (bin == nullptr) {
      ADD_FAILURE() << "ZETA7_BIN_DIR is not set";
      return {};
    }
    std::error_code ec;
    fs::create_directories(FsPath(folder), ec);
    const std::string exe = folder + "\\" + name;
    const std::string from = bin;
    EXPECT_TRUE(CopyFileW(Wide(from + "\\settings-locate.exe").c_str(), Wide(exe).c_str(), FALSE))
        << GetLastError();
    EXPECT_TRUE(CopyFileW(Wide(from + "\\UserDirKit.dll").c_str(),
                          Wide(folder + "\\UserDirKit.dll").c_str(), FALSE))
        << GetLastError();

    const std::string out = m_dir / "locate.out";
    CScopedEnv outVar("ZETA7_LOCATE_OUT", out);
    CScopedEnv appDataVar("ZETA7_TEST_APPDATA", appData);
    std::wstring command = L"\"" + Wide(exe) + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
      ADD_FAILURE() << "cannot start " << exe << ": error " << GetLastError();
      return {};
    }
    EXPECT_EQ(WaitForSingleObject(pi.hProcess, 30000), WAIT_OBJECT_0);
    DWORD code = 99;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    EXPECT_EQ(code, 0u) << exe;
    return ReadFile(out);
  }

  CTempDir m_dir;
};

// The cases the portable suite does not have: a UTF-8 name, a name that is
// not UTF-8, a folder.
TEST_F(UserDirKitWin32, FileExistsOnlyForFiles) {
  WriteFile(m_dir / (kProgram + ".ini"), "");
  EXPECT_EQ(udk_FileExists((m_dir / (kProgram + ".ini")).c_str()), 1);
  EXPECT_EQ(udk_FileExists((m_dir / (kProgram + ".ini\xff")).c_str()), 0);
  EXPECT_EQ(udk_FileExists(m_dir.Path().c_str()), 0);
  EXPECT_EQ(udk_FileExists(nullptr), 0);
}

TEST_F(UserDirKitWin32, MakeFolderCreatesParentsUnlessAFileIsInTheWay) {
  WriteFile(m_dir / "file", "x");
  const std::string base = m_dir.Path() + "\\";
  const struct {
    std::string folder;
    int result;
  } cases[] = {
      {base + "Quillbeck\\ZETA-7\\", 0},
      {base + "Quillbeck\\ZETA-7\\", 0},
      {base + "a/b//c\\", 0},
      {base + "設定\\下", 0},
      {base + "file\\sub\\", -1},
      {base + "file", -1},
  };
  for (const auto& c : cases) EXPECT_EQ(udk_MakeFolder(c.folder.c_str()), c.result) << c.folder;
  for (const char* made : {"Quillbeck\\ZETA-7", "a\\b\\c", "設定\\下"}) {
    EXPECT_TRUE(IsFolder(base + made)) << made;
  }
  EXPECT_EQ(ReadFile(m_dir / "file"), "x");
}

TEST_F(UserDirKitWin32, UserAppFolderIsTheRoamingFolder) {
  const std::string appData = AppData();
  ASSERT_TRUE(IsFolder(appData)) << appData;
  const int length = static_cast<int>(appData.size());
  const struct {
    int size;
    int result;
    std::string text;
  } cases[] = {
      {length + 1, length, appData},
      {length, -1, ""},
  };
  for (const auto& c : cases) {
    char buffer[600] = "untouched";
    EXPECT_EQ(udk_GetUserAppFolder(buffer, c.size), c.result) << c.size;
    EXPECT_EQ(std::string(buffer), c.text) << c.size;
  }
}

// The roads of the start-up decision with the real library and the
// program's own (Japanese) file name.
TEST_F(UserDirKitWin32, ProgramFindsItsSettingsFile) {
  const std::string appData = m_dir / "roaming";
  const std::string settingsFolder = appData + "\\Quillbeck\\ZETA-7\\";
  fs::create_directories(FsPath(appData));
  const std::string program = m_dir.Path() + "\\プログラム";
  const std::string beside = program + "\\" + kProgram + ".ini";

  // No file beside the program: the per-user folder, made at start-up.
  EXPECT_EQ(Locate(kProgram + ".exe", appData, program), settingsFolder + kProgram + ".ini\n");
  EXPECT_TRUE(IsFolder(settingsFolder));
  // The file beside the program wins.
  WriteFile(beside, "");
  EXPECT_EQ(Locate(kProgram + ".exe", appData, program), beside + "\n");
  // Renamed, it is another program: "a.b.exe" looks for "a.b.ini".
  EXPECT_EQ(Locate("a.b.exe", appData, program), settingsFolder + "a.b.ini\n");
}

TEST_F(UserDirKitWin32, FailuresOfThePerUserRoadShowTheirMessage) {
  const std::string program = m_dir / "program";
  const std::string beside = program + "\\" + kProgram + ".ini";
  // The roaming folder is missing: message A, its two lines joined by CR LF.
  EXPECT_EQ(Locate(kProgram + ".exe", m_dir / "gone", program),
            beside +
                "\nWindowsのバージョンの取得もしくは\r\n"
                "アプリケーションフォルダの取得に失敗しました。");
  // A file where the maker's folder belongs: message B.
  const std::string appData = m_dir / "roaming";
  WriteFile(appData + "\\Quillbeck", "not a folder");
  // Below it the folder and the system's reason, on lines of their own.
  const std::string shown = Locate(kProgram + ".exe", appData, program);
  const std::string expected =
      beside + "\nユーザアプリケーションフォルダの生成に失敗しました。|フォルダ: " + appData +
      "\\Quillbeck\\ZETA-7\\\r\n理由: ";
  EXPECT_EQ(shown.substr(0, expected.size()), expected);
  EXPECT_GT(shown.size(), expected.size()) << "no reason given";
}

}  // namespace

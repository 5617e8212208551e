#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>

#include "TempDir.h"
#include "UserDirKit/UserDirKit.h"

namespace {

// Saves HOME and XDG_CONFIG_HOME and puts them back, so each case can set
// them as it likes.
class UserDirKitTest : public ::testing::Test {
 protected:
  UserDirKitTest() : m_home(Get("HOME")), m_xdg(Get("XDG_CONFIG_HOME")) {}
  ~UserDirKitTest() override {
    Set("HOME", m_home);
    Set("XDG_CONFIG_HOME", m_xdg);
  }

  static std::optional<std::string> Get(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::optional<std::string>(v) : std::nullopt;
  }
  static void Set(const char* name, const std::optional<std::string>& value) {
    if (value) {
      ::setenv(name, value->c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }

  static bool IsFolder(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }

  CTempDir m_dir;

 private:
  std::optional<std::string> m_home;
  std::optional<std::string> m_xdg;
};

TEST_F(UserDirKitTest, UserAppFolderFromEnvironment) {
  const std::string xdg = m_dir / "xdg";
  const std::string home = m_dir / "home";
  const struct {
    const char* what;
    std::optional<std::string> xdg, home;
    int size;
    int result;
    std::string text;
  } cases[] = {
      {"XDG set and absolute", xdg, home, 512, static_cast<int>(xdg.size()), xdg},
      {"XDG unset", std::nullopt, home, 512, static_cast<int>(home.size() + 8), home + "/.config"},
      {"XDG relative is ignored", "rel/cfg", home, 512, static_cast<int>(home.size() + 8),
       home + "/.config"},
      {"XDG empty is ignored", "", home, 512, static_cast<int>(home.size() + 8), home + "/.config"},
      {"HOME is the root", std::nullopt, "/", 512, 8, "/.config"},
      {"neither", std::nullopt, std::nullopt, 512, -1, ""},
      {"relative HOME only", "cfg", "home", 512, -1, ""},
      {"exact fit", xdg, home, static_cast<int>(xdg.size() + 1), static_cast<int>(xdg.size()), xdg},
      {"one byte short", xdg, home, static_cast<int>(xdg.size()), -1, ""},
      {"zero size", xdg, home, 0, -1, "untouched" + std::string(591, 'z')},
  };
  for (const auto& c : cases) {
    Set("XDG_CONFIG_HOME", c.xdg);
    Set("HOME", c.home);
    std::string buffer = "untouched";
    buffer.resize(600, 'z');
    EXPECT_EQ(udk_GetUserAppFolder(&buffer[0], c.size), c.result) << c.what;
    EXPECT_EQ(std::string(buffer.c_str()), c.text) << c.what;
  }
  EXPECT_EQ(udk_GetUserAppFolder(nullptr, 512), -1);
}

TEST_F(UserDirKitTest, FileExistsOnlyForFiles) {
  WriteFile(m_dir / "file", "x");
  ASSERT_EQ(::symlink("file", (m_dir / "link").c_str()), 0);
  ASSERT_EQ(::symlink("gone", (m_dir / "dangling").c_str()), 0);
  EXPECT_EQ(udk_FileExists((m_dir / "file").c_str()), 1);
  EXPECT_EQ(udk_FileExists((m_dir / "link").c_str()), 1);
  EXPECT_EQ(udk_FileExists((m_dir / "dangling").c_str()), 0);
  EXPECT_EQ(udk_FileExists((m_dir / "missing").c_str()), 0);
  EXPECT_EQ(udk_FileExists(m_dir.Path().c_str()), 0);
  EXPECT_EQ(udk_FileExists(""), 0);
  EXPECT_EQ(udk_FileExists(nullptr), 0);
}

TEST_F(UserDirKitTest, MakeFolderCreatesParentsAndAcceptsExisting) {
  const std::string two = m_dir / "Quillbeck/ZETA-7/";
  EXPECT_EQ(udk_MakeFolder(two.c_str()), 0);
  EXPECT_TRUE(IsFolder(m_dir / "Quillbeck/ZETA-7"));
  EXPECT_EQ(udk_MakeFolder(two.c_str()), 0) << "existing folder";
  EXPECT_EQ(udk_MakeFolder((m_dir / "Quillbeck").c_str()), 0) << "no trailing /";
  EXPECT_EQ(udk_MakeFolder((m_dir / "a//b///").c_str()), 0) << "repeated /";
  EXPECT_TRUE(IsFolder(m_dir / "a/b"));
}

TEST_F(UserDirKitTest, MakeFolderFailsWhereAFileIsInTheWay) {
  WriteFile(m_dir / "file", "x");
  EXPECT_NE(udk_MakeFolder((m_dir / "file/sub/").c_str()), 0);
  EXPECT_NE(udk_MakeFolder((m_dir / "file").c_str()), 0);
  EXPECT_NE(udk_MakeFolder((m_dir / "file/").c_str()), 0);
  EXPECT_NE(udk_MakeFolder(""), 0);
  EXPECT_NE(udk_MakeFolder(nullptr), 0);
  EXPECT_EQ(ReadFile(m_dir / "file"), "x");
}

}  // namespace

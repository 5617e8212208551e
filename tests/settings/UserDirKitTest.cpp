#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>

#include "TestFiles.h"
#include "UserDirKit/UserDirKit.h"

namespace {

TEST(UserDirKit, UserAppFolderFromEnvironment) {
  CTempDir dir;
  const std::string xdg = dir / "xdg";
  const std::string home = dir / "home";
  const int homeCfg = static_cast<int>(home.size() + 8);
  const struct {
    const char* what;
    std::optional<std::string> xdg, home;
    int size;
    int result;
    std::string text;
  } cases[] = {
      {"XDG set and absolute", xdg, home, 512, static_cast<int>(xdg.size()), xdg},
      {"XDG unset", std::nullopt, home, 512, homeCfg, home + "/.config"},
      {"XDG relative is ignored", "rel/cfg", home, 512, homeCfg, home + "/.config"},
      {"XDG empty is ignored", "", home, 512, homeCfg, home + "/.config"},
      {"HOME is the root", std::nullopt, "/", 512, 8, "/.config"},
      {"neither", std::nullopt, std::nullopt, 512, -1, ""},
      {"relative HOME only", "cfg", "home", 512, -1, ""},
      {"exact fit", xdg, home, static_cast<int>(xdg.size() + 1), static_cast<int>(xdg.size()), xdg},
      {"one byte short", xdg, home, static_cast<int>(xdg.size()), -1, ""},
      {"zero size", xdg, home, 0, -1, "untouched"},
  };
  CScopedEnv xdgVar("XDG_CONFIG_HOME", std::nullopt);
  CScopedEnv homeVar("HOME", std::nullopt);
  for (const auto& c : cases) {
    xdgVar.Set(c.xdg);
    homeVar.Set(c.home);
    char buffer[600] = "untouched";
    EXPECT_EQ(udk_GetUserAppFolder(buffer, c.size), c.result) << c.what;
    EXPECT_EQ(std::string(buffer), c.text) << c.what;
  }
  EXPECT_EQ(udk_GetUserAppFolder(nullptr, 512), -1);
}

TEST(UserDirKit, FileExistsOnlyForFiles) {
  CTempDir dir;
  WriteFile(dir / "file", "x");
  ASSERT_EQ(::symlink("file", (dir / "link").c_str()), 0);
  ASSERT_EQ(::symlink("gone", (dir / "dangling").c_str()), 0);
  for (const char* name : {"file", "link"}) EXPECT_EQ(udk_FileExists((dir / name).c_str()), 1);
  for (const char* name : {"dangling", "missing"})
    EXPECT_EQ(udk_FileExists((dir / name).c_str()), 0);
  EXPECT_EQ(udk_FileExists(""), 0);
  EXPECT_EQ(udk_FileExists(nullptr), 0);
}

TEST(UserDirKit, MakeFolderCreatesParentsUnlessAFileIsInTheWay) {
  CTempDir dir;
  WriteFile(dir / "file", "x");
  const struct {
    std::string folder;
    int result;
  } cases[] = {
      {dir / "Quillbeck/ZETA-7/", 0},
      {dir / "Quillbeck/ZETA-7/", 0},
      {dir / "Quillbeck", 0},
      {dir / "a//b///", 0},
      {dir / "file/sub/", -1},
      {dir / "file", -1},
      {dir / "file/", -1},
      {"", -1},
  };
  for (const auto& c : cases) EXPECT_EQ(udk_MakeFolder(c.folder.c_str()), c.result) << c.folder;
  struct stat st;
  for (const char* made : {"Quillbeck/ZETA-7", "a/b"}) {
    EXPECT_TRUE(::stat((dir / made).c_str(), &st) == 0 && S_ISDIR(st.st_mode)) << made;
  }
  EXPECT_EQ(ReadFile(dir / "file"), "x");
  EXPECT_NE(udk_MakeFolder(nullptr), 0);
}

}  // namespace

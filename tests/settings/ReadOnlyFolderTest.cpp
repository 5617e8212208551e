// A settings folder the user may not write to: the close stores nothing, says
// nothing, and the old file stays as it was with nothing left beside it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "Unprivileged.h"
#include "iniacs.h"

namespace fs = std::filesystem;

TEST(ReadOnlyFolderTest, WriteFailsSilentlyAndKeepsTheOldFile) {
  char folderName[] = "/tmp/zeta7-ro-XXXXXX";
  ASSERT_NE(mkdtemp(folderName), nullptr);
  const fs::path folder(folderName);
  const fs::path ini = folder / "zeta7.ini";
  const std::string old = "[com]\ncom=3\nbps=1\n";
  std::ofstream(ini, std::ios::binary) << old;
  ASSERT_EQ(chmod(folderName, 0555), 0);
  ASSERT_EQ(chmod(ini.c_str(), 0644), 0);

  const int result = RunUnprivileged([&] {
    iniacs settings;
    settings.SetPath(ini.string());
    settings.WriteInt("com", "com", 9);
    settings.WriteInt("position", "left", 5);
    return settings.GetInt("com", "com") == 3 ? 0 : 1;
  });
  chmod(folderName, 0755);
  std::stringstream text;
  text << std::ifstream(ini, std::ios::binary).rdbuf();
  const auto entries = std::distance(fs::directory_iterator(folder), fs::directory_iterator());
  fs::remove_all(folder);

  ASSERT_NE(result, -1) << "could not run without root's rights";
  EXPECT_EQ(result, 0);
  EXPECT_EQ(text.str(), old);
  EXPECT_EQ(entries, 1);
}

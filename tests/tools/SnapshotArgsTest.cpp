// The snapshot tool's command line: what it accepts, and that every mistake
// is refused before Qt starts rather than ignored.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SnapshotArgs.h"

namespace {

bool Parse(std::vector<const char*> argv, SnapshotArgs* args) {
  argv.insert(argv.begin(), "zeta7-snapshot");
  std::string error;
  const bool ok = ParseSnapshotArgs(static_cast<int>(argv.size()), argv.data(), *args, error);
  EXPECT_EQ(ok, error.empty()) << error;
  return ok;
}

TEST(SnapshotArgs, AcceptsAndRefuses) {
  SnapshotArgs a;
  ASSERT_TRUE(Parse({"--device", "/dev/pts/3", "w.png", "--read"}, &a));
  EXPECT_EQ(a.output, "w.png");
  EXPECT_EQ(a.device, "/dev/pts/3");
  EXPECT_TRUE(a.read);
  EXPECT_FALSE(a.help || a.version);
  ASSERT_TRUE(Parse({"w.png", "-h"}, &(a = {})));
  EXPECT_TRUE(a.help);
  ASSERT_TRUE(Parse({"--version"}, &(a = {})));
  EXPECT_TRUE(a.version);
  const std::vector<std::vector<const char*>> refused = {{},
                                                         {"w.png", "--device"},
                                                         {"w.png", "--device", ""},
                                                         {"w.png", "--read"},
                                                         {"w.png", "--reed"},
                                                         {"w.png", "x.png"},
                                                         {""}};
  for (const auto& argv : refused)
    EXPECT_FALSE(Parse(argv, &(a = {}))) << testing::PrintToString(argv);
}

}  // namespace

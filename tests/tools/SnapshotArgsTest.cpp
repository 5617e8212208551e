// The snapshot tool's command line: what it accepts, and that every mistake
// is refused before Qt starts rather than ignored.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SnapshotArgs.h"

namespace {

TEST(SnapshotArgs, AcceptsAndRefuses) {
  const struct {
    std::vector<const char*> argv;
    bool ok;
    std::string output, device;
    bool read, help, version;
  } cases[] = {
      {{"w.png"}, true, "w.png", "", false, false, false},
      {{"w.png", "--device", "/dev/pts/3", "--read"},
       true,
       "w.png",
       "/dev/pts/3",
       true,
       false,
       false},
      {{"--device", "/dev/pts/3", "w.png"}, true, "w.png", "/dev/pts/3", false, false, false},
      {{"--help"}, true, "", "", false, true, false},
      {{"--version"}, true, "", "", false, false, true},
      {{"w.png", "-h"}, true, "w.png", "", false, true, false},
      {{}, false, "", "", false, false, false},
      {{"w.png", "--device"}, false, "", "", false, false, false},
      {{"w.png", "--device", ""}, false, "", "", false, false, false},
      {{"w.png", "--read"}, false, "", "", false, false, false},
      {{"w.png", "--reed"}, false, "", "", false, false, false},
      {{"w.png", "x.png"}, false, "", "", false, false, false},
      {{""}, false, "", "", false, false, false},
  };
  for (const auto& c : cases) {
    std::vector<const char*> argv{"zeta7-snapshot"};
    argv.insert(argv.end(), c.argv.begin(), c.argv.end());
    SnapshotArgs args;
    std::string error;
    const bool ok = ParseSnapshotArgs(static_cast<int>(argv.size()), argv.data(), args, error);
    const std::string what = testing::PrintToString(c.argv);
    ASSERT_EQ(ok, c.ok) << what << ": " << error;
    if (!ok) {
      EXPECT_FALSE(error.empty()) << what;
      continue;
    }
    EXPECT_EQ(args.output, c.output) << what;
    EXPECT_EQ(args.device, c.device) << what;
    EXPECT_EQ(args.read, c.read) << what;
    EXPECT_EQ(args.help, c.help) << what;
    EXPECT_EQ(args.version, c.version) << what;
  }
}

}  // namespace

// The built program as a user starts it from a shell: the options that tell
// about it work without a display, and without a display it says so and
// ends with 1 instead of aborting.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Outcome {
  int status;
  std::string output;
};

Outcome RunProgram(const std::string& arguments) {
  const char* bin = std::getenv("ZETA7_BIN_DIR");
  const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb '" +
                              std::string(bin ? bin : ".") + "/ZETA-7設定ユーティリティ' " +
                              arguments + " 2>&1";
  Outcome run{-1, {}};
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return run;
  char buf[512];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) run.output.append(buf, n);
  const int status = ::pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

TEST(Program, TellsAboutItselfAndExplainsAMissingDisplay) {
  const Outcome version = RunProgram("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.output, "ZETA-7設定ユーティリティ 1.2.0.0\n");

  const Outcome help = RunProgram("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.output.rfind("使い方: ZETA-7設定ユーティリティ [--help | --version]\n", 0), 0u)
      << help.output;

  const Outcome noDisplay = RunProgram("");
  EXPECT_EQ(noDisplay.status, 1) << noDisplay.output;
  EXPECT_NE(noDisplay.output.find("ZETA-7設定ユーティリティ: ディスプレイに接続できません。"),
            std::string::npos)
      << noDisplay.output;
  // Its own words only, not Qt's list of platform plugins.
  EXPECT_EQ(noDisplay.output.find("plugin"), std::string::npos) << noDisplay.output;
}

}  // namespace

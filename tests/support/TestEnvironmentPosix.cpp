#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "TestEnvironment.h"

void PrepareTestEnvironment() {
  std::string exe(4096, '\0');
  const ssize_t n = readlink("/proc/self/exe", &exe[0], exe.size() - 1);
  if (n <= 0) return;
  exe.resize(static_cast<size_t>(n));
  const std::string bin = exe.substr(0, exe.rfind('/'));
  const std::string name = exe.substr(exe.rfind('/') + 1);
  const std::string home = bin + "/../test-home/" + name;
  mkdir((bin + "/../test-home").c_str(), 0755);
  mkdir(home.c_str(), 0755);
  setenv("HOME", home.c_str(), 1);
  setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
  setenv("ZETA7_BIN_DIR", bin.c_str(), 0);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
}

// zeta7ctl: the ZETA-7 from the command line (usage: zeta7ctl --help).
#include <string>
#include <vector>

#include "CtlMain.h"
#include "ToolConsole.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args = ToolArguments(argc, argv);
  std::vector<const char*> pointers;
  for (const std::string& a : args) pointers.push_back(a.c_str());
  return CtlMain(static_cast<int>(pointers.size()), pointers.data());
}

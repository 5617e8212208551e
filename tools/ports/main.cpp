// zeta7-ports: prints the COMn -> device list as the utility resolves it,
// with what stands in the way of opening each device.
#include <cstring>
#include <string>
#include <vector>

#include "PortList.h"
#include "ToolConsole.h"
#include "version.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args = ToolArguments(argc, argv);
  std::string settingsPath;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "-h" || arg == "--help") {
      WriteStdout(kPortListUsage);
      return 0;
    }
    if (arg == "--version") {
      WriteStdout(std::string("zeta7-ports ") + ZETA7_VERSION_STRING + "\n");
      return 0;
    }
    if (arg == "--settings" && i + 1 < args.size()) {
      settingsPath = args[++i];
    } else if (arg.rfind("--settings=", 0) == 0) {
      settingsPath = arg.substr(std::strlen("--settings="));
    } else {
      WriteStderr("zeta7-ports: 不明なオプションです: " + arg + "\n" + kPortListUsage);
      return 2;
    }
  }
  if (!settingsPath.empty()) {
    const std::string problem = SettingsFileProblem(settingsPath);
    if (!problem.empty()) {
      WriteStderr("zeta7-ports: " + problem + "\n");
      return 2;
    }
  }
  const ProgramSettings settings = LoadProgramSettings(settingsPath);
  if (!WriteStdout(FormatPortList(settings,
                                  DiagnoseListedPorts(settings.map, DeviceRootsOfEnvironment()))) ||
      !CloseStdout()) {
    WriteStderr("zeta7-ports: 標準出力に書けません\n");
    return 1;
  }
  return 0;
}

// zeta7-ports: prints the COMn -> device list as the utility resolves it,
// with what stands in the way of opening each device; --forget COMn forgets
// a remembered number.
#include <cstring>
#include <string>
#include <vector>

#include "ComResolver.h"
#include "PortList.h"
#include "ToolConsole.h"
#include "version.h"

namespace {

int Usage(const std::string& problem) {
  WriteStderr("zeta7-ports: " + problem + "\n" + kPortListUsage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args = ToolArguments(argc, argv);
  std::string settingsPath;
  std::string forget;
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
    } else if (arg == "--forget" && i + 1 < args.size()) {
      forget = args[++i];
    } else if (arg.rfind("--forget=", 0) == 0) {
      forget = arg.substr(std::strlen("--forget="));
    } else {
      return Usage("不明なオプションです: " + arg);
    }
  }
  if (!forget.empty()) {
    const int n = ComNumberOfName(forget);
    if (n == 0) return Usage("ポート名が不正です: " + forget + " (COM1〜COM256)");
    std::string message;
    if (!ForgetComNumber(n, &message)) {
      WriteStderr("zeta7-ports: " + message + "\n");
      return 1;
    }
    return WriteStdout(message + "\n") && CloseStdout() ? 0 : 1;
  }
  if (!settingsPath.empty()) {
    const std::string problem = SettingsFileProblem(settingsPath);
    if (!problem.empty()) {
      WriteStderr("zeta7-ports: " + problem + "\n");
      return 2;
    }
  }
  const ProgramSettings settings = LoadProgramSettings(settingsPath);
  const PortListing listing = DiagnoseListedPorts(settings.map, DeviceRootsOfEnvironment());
  if (!WriteStdout(FormatPortList(settings, listing)) || !CloseStdout()) {
    WriteStderr("zeta7-ports: 標準出力に書けません\n");
    return 1;
  }
  // A numbers file that cannot be read leaves devices without their numbers.
  if (!listing.numbersError.empty()) {
    WriteStderr("zeta7-ports: " + listing.numbersError + "\n");
    return 1;
  }
  return 0;
}

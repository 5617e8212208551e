// zeta7-ports: prints the COMn -> device list as the utility resolves it,
// with what stands in the way of opening each device.
#include <cstdio>
#include <cstring>
#include <string>

#include "PortList.h"
#include "version.h"

namespace {

const char kUsage[] =
    "使い方: zeta7-ports [--settings FILE]\n"
    "\n"
    "COM番号ごとに、つながるデバイス、その /dev/serial/by-id の名前、USB の製品名、\n"
    "このユーザがオープンできるか (できないときはその理由) を表示します。\n"
    "設定ファイルはZETA-7設定ユーティリティと同じものを読みます ([ports] が優先)。\n"
    "\n"
    "  --settings FILE  この設定ファイルを読む\n"
    "  -h, --help       この説明\n"
    "  --version        版数\n";

}  // namespace

int main(int argc, char** argv) {
  std::string settingsPath;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--version") {
      std::printf("zeta7-ports %s\n", ZETA7_VERSION_STRING);
      return 0;
    }
    if (arg == "--settings" && i + 1 < argc) {
      settingsPath = argv[++i];
    } else if (arg.rfind("--settings=", 0) == 0) {
      settingsPath = arg.substr(std::strlen("--settings="));
    } else {
      std::fprintf(stderr, "zeta7-ports: 不明なオプションです: %s\n%s", arg.c_str(), kUsage);
      return 2;
    }
  }
  const ProgramSettings settings = LoadProgramSettings(settingsPath);
  std::fputs(FormatPortList(settings, DiagnoseListedPorts(settings.map)).c_str(), stdout);
  return 0;
}

// zeta7-ports: prints the COMn -> device list as the utility resolves it,
// with what stands in the way of opening each device; --forget COMn forgets
// a remembered number.
#include <string>
#include <vector>

#include "CliParser.h"
#include "CliText.h"
#include "ComResolver.h"
#include "PortList.h"
#include "ToolConsole.h"
#include "version.h"

namespace {

enum { kHelp, kVersion, kSettings, kForget };

const CliProgram& PortsProgram() {
  static const CliProgram program{
      "zeta7-ports",
      kPortListSynopsis,
      kPortListDescription,
      "",
      {},
      {
          {kSettings, "settings", 0, CliArg::kValue, N_("FILE"), "*", N_("read this settings file"),
           "file:ini"},
          {kForget, "forget", 0, CliArg::kValue, N_("COMn"), "*", kPortListForgetHelp, "port"},
          {kHelp, "help", 'h', CliArg::kFlag, nullptr, "*", N_("this text")},
          {kVersion, "version", 0, CliArg::kFlag, nullptr, "*", N_("the version")},
      }};
  return program;
}

// The candidates for --forget: the numbers remembered.
std::vector<std::string> RememberedNames() {
  std::vector<std::string> names;
  for (int n : RememberedComNumbers()) names.push_back("COM" + std::to_string(n));
  return names;
}

bool Say(const std::string& text) { return WriteStdout(text) && CloseStdout(); }

}  // namespace

int main(int argc, char** argv) {
  SetLanguage(LanguageOfEnvironment());
  std::vector<std::string> args = ToolArguments(argc, argv);
  args.erase(args.begin());
  if (!args.empty() && args[0] == "--complete") {
    args.erase(args.begin(), args.begin() + (args.size() > 1 && args[1] == "--" ? 2 : 1));
    return Say(CliComplete(PortsProgram(), args, RememberedNames)) ? 0 : 1;
  }
  CliParsed parsed;
  std::string error;
  if (CliParse(PortsProgram(), args, &parsed, &error) && !parsed.operands.empty()) {
    error = TrF("extra argument: %s", {parsed.operands[0]});
  }
  if (!error.empty()) {
    WriteStderr("zeta7-ports: " + error + "\n" + Tr("See zeta7-ports --help.") + "\n");
    return 2;
  }
  std::string settingsPath;
  std::string forget;
  bool forgetGiven = false;
  for (const CliArgument& a : parsed.options) {
    if (a.option->id == kHelp && a.On()) return Say(CliUsage(PortsProgram(), nullptr)) ? 0 : 1;
    if (a.option->id == kVersion && a.On()) {
      return Say(std::string("zeta7-ports ") + ZETA7_VERSION_STRING + "\n") ? 0 : 1;
    }
    if (a.option->id == kSettings) settingsPath = a.value;
    if (a.option->id == kForget) {
      forget = a.value;
      forgetGiven = true;
    }
  }
  if (forgetGiven) {
    const int n = ComNumberOfName(forget);
    if (n == 0) {
      WriteStderr("zeta7-ports: " + TrF("not a port name: %s (COM1 to COM256)", {forget}) + "\n" +
                  Tr("See zeta7-ports --help.") + "\n");
      return 2;
    }
    std::string message;
    if (!ForgetComNumber(n, &message)) {
      WriteStderr("zeta7-ports: " + message + "\n");
      return 1;
    }
    return Say(message + "\n") ? 0 : 1;
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
  if (!Say(FormatPortList(settings, listing))) {
    WriteStderr(std::string("zeta7-ports: ") + Tr("cannot write to standard output") + "\n");
    return 1;
  }
  // A numbers file that cannot be read leaves devices without their numbers.
  if (!listing.numbersError.empty()) {
    WriteStderr("zeta7-ports: " + listing.numbersError + "\n");
    return 1;
  }
  return 0;
}

#include "SnapshotArgs.h"

#include "CliParser.h"

namespace {

enum { kHelp, kVersion, kDevice, kRead };

const CliProgram& SnapshotProgram() {
  static const CliProgram program{
      "zeta7-snapshot",
      "OUT.png [--device PATH [--read]]",
      "Renders the main window of the ZETA-7 settings utility to the PNG file OUT.png,\n"
      "without a display (Qt's offscreen platform unless QT_QPA_PLATFORM says\n"
      "otherwise). The settings come from a private temporary folder and are not\n"
      "written back.",
      "Message boxes are answered OK and printed on standard error.",
      {},
      {
          {kDevice, "device", 0, CliArg::kValue, "PATH", "*",
           "connect to the unit on PATH as COM1 before the picture", "file"},
          {kRead, "read", 0, CliArg::kFlag, nullptr, "*",
           "then read the unit's parameters into the window"},
          {kHelp, "help", 'h', CliArg::kFlag, nullptr, "*", "this text"},
          {kVersion, "version", 0, CliArg::kFlag, nullptr, "*", "the version of zeta7-snapshot"},
      }};
  return program;
}

}  // namespace

std::string SnapshotUsage() { return CliUsage(SnapshotProgram(), nullptr); }

bool ParseSnapshotArgs(int argc, const char* const* argv, SnapshotArgs& args, std::string& error) {
  args = SnapshotArgs();
  CliParsed parsed;
  if (!CliParse(SnapshotProgram(), std::vector<std::string>(argv + 1, argv + argc), &parsed,
                &error)) {
    return false;
  }
  for (const CliArgument& a : parsed.options) {
    switch (a.option->id) {
      case kHelp:
        args.help = a.On();
        break;
      case kVersion:
        args.version = a.On();
        break;
      case kRead:
        args.read = a.On();
        break;
      case kDevice:
        if (a.value.empty()) {
          error = "--device needs a path";
          return false;
        }
        args.device = a.value;
        break;
    }
  }
  if (args.help || args.version) return true;
  if (parsed.operands.size() > 1) {
    error = "one output file only: " + parsed.operands[1];
    return false;
  }
  if (parsed.operands.empty()) {
    error = "no output file";
    return false;
  }
  if (parsed.operands[0].empty()) {
    error = "empty output file name";
    return false;
  }
  args.output = parsed.operands[0];
  if (args.read && args.device.empty()) {
    error = "--read needs --device";
    return false;
  }
  return true;
}

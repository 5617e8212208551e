#include "SnapshotArgs.h"

std::string SnapshotUsage() {
  return R"(Usage: zeta7-snapshot OUT.png [--device PATH [--read]]

Renders the main window of the ZETA-7 settings utility to the PNG file OUT.png,
without a display (Qt's offscreen platform unless QT_QPA_PLATFORM says
otherwise). The settings come from a private temporary folder and are not
written back.

  --device PATH   connect to the unit on PATH as COM1 before the picture
  --read          then read the unit's parameters into the window
  --help          this text
  --version       the version of zeta7-snapshot

Message boxes are answered OK and printed on standard error.
)";
}

bool ParseSnapshotArgs(int argc, const char* const* argv, SnapshotArgs& args, std::string& error) {
  args = SnapshotArgs();
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      args.help = true;
    } else if (arg == "--version") {
      args.version = true;
    } else if (arg == "--read") {
      args.read = true;
    } else if (arg == "--device") {
      if (i + 1 >= argc || argv[i + 1][0] == '\0') {
        error = "--device needs a path";
        return false;
      }
      args.device = argv[++i];
    } else if (arg.size() > 1 && arg[0] == '-') {
      error = "unknown option: " + arg;
      return false;
    } else if (!args.output.empty()) {
      error = "one output file only: " + arg;
      return false;
    } else if (arg.empty()) {
      error = "empty output file name";
      return false;
    } else {
      args.output = arg;
    }
  }
  if (args.help || args.version) return true;
  if (args.output.empty()) {
    error = "no output file";
    return false;
  }
  if (args.read && args.device.empty()) {
    error = "--read needs --device";
    return false;
  }
  return true;
}

// The command line of zeta7-snapshot, parsed before Qt starts so that --help
// and --version work without any display or platform plugin.
#pragma once

#include <string>

struct SnapshotArgs {
  std::string output;  // the PNG file to write
  std::string device;  // unit to connect to as COM1, empty for none
  bool read = false;   // read the parameters once connected
  bool help = false;
  bool version = false;
};

// Parses argv[1..argc-1]. False, with the reason in error, for an unknown
// option, a missing value, a second output file, --read without --device,
// or no output file at all (unless --help or --version is given).
bool ParseSnapshotArgs(int argc, const char* const* argv, SnapshotArgs& args, std::string& error);

// The --help text.
std::string SnapshotUsage();

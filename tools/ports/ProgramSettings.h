// The window program's settings as the command-line tools read them: the
// same file (beside the program, else in the per-user folder), its [ports]
// map and its speed index.
//
// The file is looked for as if this process were the window program, which
// lies beside the tools in the build tree and in libexec/zeta7 when
// installed. Unlike the window, a tool never creates the per-user folder: a
// file that is not there holds no settings, and its path is where the
// window would make it. Read once at start-up, on the main thread.
#pragma once

#include <string>

#include "PortSystem.h"
#include "SettingsKeys.h"  // BaudRateOfIndex: the speed of baudIndex

struct ProgramSettings {
  std::string path;  // the file read (it may not exist); empty when unknown
  bool exists = false;
  ComMap map;
  int baudIndex = 0;  // as the window takes the stored "bps"
};

// overridePath, when not empty, is read instead of the window's file.
ProgramSettings LoadProgramSettings(const std::string& overridePath = {});

// Why a file named on the command line (a --settings file, a profile) cannot
// be read as a small text file, in a few words to follow "the profile"
// ("does not exist", "is a directory", "is too big (...)"), in the user's
// language; "" when it can.
std::string FileProblem(const std::string& path);

// A --settings file must be there and readable: a typo must not let COM1
// fall back to whatever device the enumeration finds first. "" when it can
// be used, else the message.
std::string SettingsFileProblem(const std::string& path);

// Where the tools look for serial devices: /sys and /dev, or the "sys" and
// "dev" folders of $ZETA7_DEVICE_ROOT when set. The variable is for tests,
// which must give the tools a device tree of their own and nothing of the
// machine's. Windows ignores it.
struct DeviceRoots {
  std::string sys = "/sys";
  std::string dev = "/dev";
};
DeviceRoots DeviceRootsOfEnvironment();

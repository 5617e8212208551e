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

struct ProgramSettings {
  std::string path;  // the file read (it may not exist); empty when unknown
  bool exists = false;
  ComMap map;
  int baudIndex = 0;  // as the window takes the stored "bps"
};

// overridePath, when not empty, is read instead of the window's file.
ProgramSettings LoadProgramSettings(const std::string& overridePath = {});

// The line speed of a speed index, as the window turns it into bit/s.
int BaudRateOfIndex(int index);

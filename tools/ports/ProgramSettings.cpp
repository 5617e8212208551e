#include "ProgramSettings.h"

#include <sys/stat.h>

#include <optional>

#include "SettingsKeys.h"
#include "SettingsLocation.h"
#include "iniacs.h"

#ifndef ZETA7_WINDOW_PROGRAM
#error "ZETA7_WINDOW_PROGRAM must name the window program's file"
#endif

namespace {

std::optional<std::string> WindowProgramPath(const LocationServices& real) {
  const std::optional<std::string> own = real.programPath();
  if (!own) return std::nullopt;
  const size_t slash = own->find_last_of("/\\");
  const std::string folder = slash == std::string::npos ? std::string() : own->substr(0, slash + 1);
  return folder + ZETA7_WINDOW_PROGRAM;
}

// The window makes the folder at its start; a tool only names the file the
// window would use there.
int LeaveFolderAlone(const char*) { return 0; }

}  // namespace

ProgramSettings LoadProgramSettings(const std::string& overridePath) {
  ProgramSettings settings;
  if (!overridePath.empty()) {
    settings.path = overridePath;
  } else {
    LocationServices services = SystemLocationServices();
    const LocationServices real = services;
    services.programPath = [real] { return WindowProgramPath(real); };
    services.makeFolder = LeaveFolderAlone;
    settings.path = LocateSettingsFile(services).value_or(std::string());
  }
  if (settings.path.empty()) return settings;
  struct stat st;
  settings.exists = stat(settings.path.c_str(), &st) == 0;
  iniacs ini;
  ini.SetPath(settings.path);
  settings.map = ReadComMap(ini);
  settings.baudIndex = BaudIndexFromStored(ini.GetInt(kSectionCom, kKeyBps));
  return settings;
}

int BaudRateOfIndex(int index) {
  static const int kRates[] = {38400, 19200, 9600, 4800};
  return index >= 0 && index < 4 ? kRates[index] : kRates[0];
}

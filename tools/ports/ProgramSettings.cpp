#include "ProgramSettings.h"

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "CliText.h"
#include "ProfileFile.h"
#include "ProfileText.h"
#include "SettingsKeys.h"
#include "SettingsLocation.h"
#include "iniacs.h"

#ifndef ZETA7_WINDOW_PROGRAM
#error "ZETA7_WINDOW_PROGRAM must name the window program's file"
#endif

namespace {

// Paths are UTF-8 here on every system.
std::filesystem::path FsPath(const std::string& path) { return std::filesystem::u8path(path); }

bool IsFile(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(FsPath(path), ec);
}

// The window program beside this tool (the build tree) or where the install
// puts it; beside when neither is there.
std::optional<std::string> WindowProgramPath(const LocationServices& real) {
  const std::optional<std::string> own = real.programPath();
  if (!own) return std::nullopt;
  const size_t slash = own->find_last_of("/\\");
  const std::string folder = slash == std::string::npos ? std::string() : own->substr(0, slash + 1);
  const std::string beside = folder + ZETA7_WINDOW_PROGRAM;
  const std::string installed =
      folder + ZETA7_WINDOW_FOLDER_FROM_TOOLS + "/" + ZETA7_WINDOW_PROGRAM;
  if (IsFile(beside) || !IsFile(installed)) return beside;
  return FsPath(installed).lexically_normal().u8string();
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
  std::error_code ec;
  settings.exists = std::filesystem::exists(FsPath(settings.path), ec);
  iniacs ini;
  ini.SetPath(settings.path);
  settings.map = ReadComMap(ini);
  settings.baudIndex = BaudIndexFromStored(ini.GetInt(kSectionCom, kKeyBps));
  return settings;
}

std::string FileProblem(const std::string& path) {
  std::string raw;
  switch (ReadProfileFile(path, &raw)) {
    case ProfileReadResult::kOk:
      return {};
    case ProfileReadResult::kMissing:
      return Tr("does not exist");
    case ProfileReadResult::kFailed:
      break;
  }
  std::error_code ec;
  const std::filesystem::file_status st = std::filesystem::status(FsPath(path), ec);
  if (std::filesystem::is_directory(st)) return Tr("is a directory");
  if (!ec && !std::filesystem::is_regular_file(st)) return Tr("is not a regular file");
  const std::uintmax_t size = std::filesystem::file_size(FsPath(path), ec);
  if (!ec && size > kMaxProfileBytes) {
    return TrF("is too big (%s bytes; at most %s bytes)",
               {std::to_string(size), std::to_string(kMaxProfileBytes)});
  }
  return Tr("cannot be read (no permission)");
}

std::string SettingsFileProblem(const std::string& path) {
  std::string problem = FileProblem(path);
  if (problem.empty()) {
    std::string raw, text;
    ProfileEncoding encoding;
    if (ReadProfileFile(path, &raw) != ProfileReadResult::kOk ||
        !ProfileDecode(raw, &text, &encoding)) {
      return TrF("cannot read the character encoding of the settings file: %s", {path});
    }
  }
  return problem.empty() ? problem : TrF("the settings file %s: %s", {problem, path});
}

DeviceRoots DeviceRootsOfEnvironment() {
  DeviceRoots roots;
  const char* root = std::getenv("ZETA7_DEVICE_ROOT");
  if (root != nullptr && *root != '\0') {
    roots.sys = std::string(root) + "/sys";
    roots.dev = std::string(root) + "/dev";
  }
  return roots;
}

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "SettingsLocation.h"
#include "SysCallPosix.h"
#include "UserDirKit/UserDirKit.h"

const char kPathSeparator = '/';
const char kPathSeparators[] = "/";
const char kMessageLineBreak[] = "\n";

namespace {

bool PathExists(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

std::optional<std::string> ReadOwnPath() {
  const std::string path = posix::ProgramPath();
  if (path.empty()) return std::nullopt;
  return ProgramPathFromLink(path, PathExists);
}

}  // namespace

LocationServices SystemLocationServices() {
  LocationServices services;
  services.programPath = ReadOwnPath;
  services.fileExists = udk_FileExists;
  services.getUserAppFolder = udk_GetUserAppFolder;
  services.makeFolder = udk_MakeFolder;
  services.lastErrorText = [] { return posix::ErrnoText(errno); };
  return services;
}

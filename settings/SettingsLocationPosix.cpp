#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "SettingsLocation.h"
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
  std::vector<char> buf(256);
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n <= 0) return std::nullopt;
    if (static_cast<size_t>(n) < buf.size()) {
      return ProgramPathFromLink(std::string(buf.data(), static_cast<size_t>(n)), PathExists);
    }
    buf.resize(buf.size() * 2);  // no fixed bound: grow until it fits
  }
}

}  // namespace

LocationServices SystemLocationServices() {
  LocationServices services;
  services.programPath = ReadOwnPath;
  services.fileExists = udk_FileExists;
  services.getUserAppFolder = udk_GetUserAppFolder;
  services.makeFolder = udk_MakeFolder;
  services.lastErrorText = [] { return std::string(std::strerror(errno)); };
  return services;
}

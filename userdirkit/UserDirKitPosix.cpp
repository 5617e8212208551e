#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "UserDirKit/UserDirKit.h"

namespace {

bool IsAbsolute(const char* path) { return path != nullptr && path[0] == '/'; }

bool IsFolder(const char* path) {
  struct stat st;
  return ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

// mkdir that counts "already there as a folder" as success. mkdir cannot be
// interrupted, so there is no EINTR loop here.
bool MakeOneFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) == 0) return true;
  const int err = errno;
  // EEXIST, and on some file systems EACCES or EROFS for a folder that is
  // already there: the folder test decides.
  if (IsFolder(path.c_str())) return true;
  errno = err;
  return false;
}

}  // namespace

extern "C" UDK_API int UDK_CALL udk_FileExists(const char* path) {
  if (path == nullptr || path[0] == '\0') return 0;
  struct stat st;
  return (::stat(path, &st) == 0 && S_ISREG(st.st_mode)) ? 1 : 0;
}

extern "C" UDK_API int UDK_CALL udk_GetUserAppFolder(char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return -1;
  buffer[0] = '\0';

  const char* base = nullptr;
  const char* tail = "";
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  if (IsAbsolute(xdg)) {
    base = xdg;
  } else if (IsAbsolute(home)) {
    base = home;
    // HOME="/" must not give "//.config".
    tail = (home[std::strlen(home) - 1] == '/') ? ".config" : "/.config";
  } else {
    return -1;
  }

  const size_t baseLen = std::strlen(base);
  const size_t tailLen = std::strlen(tail);
  const size_t total = baseLen + tailLen;
  if (total + 1 > static_cast<size_t>(size)) return -1;
  std::memcpy(buffer, base, baseLen);
  std::memcpy(buffer + baseLen, tail, tailLen + 1);
  return static_cast<int>(total);
}

extern "C" UDK_API int UDK_CALL udk_MakeFolder(const char* folder) {
  if (folder == nullptr || folder[0] == '\0') return -1;
  try {
    const std::string path(folder);
    // Create every prefix that ends before a "/", then the whole path; a
    // repeated or trailing "/" just gives a prefix made already.
    for (size_t pos = path.find('/', 1); pos != std::string::npos; pos = path.find('/', pos + 1)) {
      if (path[pos - 1] == '/') continue;
      if (!MakeOneFolder(path.substr(0, pos))) return -1;
    }
    if (path.back() != '/' && !MakeOneFolder(path)) return -1;
    return IsFolder(folder) ? 0 : -1;
  } catch (...) {
    // Out of memory; nothing may cross the C boundary.
    return -1;
  }
}

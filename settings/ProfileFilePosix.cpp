#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "ProfileFile.h"
#include "ScopedFdPosix.h"
#include "SysCallPosix.h"

const char kNewFileLineBreak[] = "\n";

namespace {

// Links followed before giving up, as the kernel's own bound for a path.
constexpr int kMaxLinkHops = 40;

// The one place where an OS error becomes a read result: only "nothing
// there" lets a write create the file; every other error protects it.
ProfileReadResult ReadResultFromErrno(int err) {
  return err == ENOENT ? ProfileReadResult::kMissing : ProfileReadResult::kFailed;
}

int OpenRetrying(const char* path, int flags) {
  return posix::RetryInterrupted([&] { return ::open(path, flags); });
}

bool FsyncRetrying(int fd) {
  return posix::RetryInterrupted([&] { return ::fsync(fd); }) == 0;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Follows symbolic links from path to the file that is to be replaced. A
// dangling link resolves to the path it names, so the file is created there.
bool ResolveLinks(const std::string& path, std::string* target) {
  std::string current = path;
  for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
    struct stat st;
    if (::lstat(current.c_str(), &st) != 0) {
      if (errno != ENOENT) return false;
      *target = current;
      return true;
    }
    if (!S_ISLNK(st.st_mode)) {
      *target = current;
      return true;
    }
    std::vector<char> buf(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
    for (;;) {
      const ssize_t n = ::readlink(current.c_str(), buf.data(), buf.size());
      if (n < 0) return false;
      if (static_cast<size_t>(n) < buf.size()) {
        buf.resize(static_cast<size_t>(n));
        break;
      }
      buf.resize(buf.size() * 2);  // the link changed under us; read again
    }
    std::string link(buf.begin(), buf.end());
    if (link.empty()) return false;
    current = link[0] == '/' ? link : FolderOf(current) + "/" + link;
  }
  return false;  // a loop of links
}

// The process umask, read without changing it (umask() can only be read by
// setting it, which would race with other threads creating files).
mode_t CurrentUmask() {
  mode_t mask = 022;
  if (FILE* f = std::fopen("/proc/self/status", "re")) {
    char line[256];
    while (std::fgets(line, sizeof line, f) != nullptr) {
      if (std::strncmp(line, "Umask:", 6) == 0) {
        mask = static_cast<mode_t>(std::strtoul(line + 6, nullptr, 8)) & 0777;
        break;
      }
    }
    std::fclose(f);
  }
  return mask;
}

// A save that was killed between creating its temporary file and renaming it
// leaves that file behind. Ours are ".<name>.zeta7-save-XXXXXX" beside the
// target, and only names of exactly that shape are ours: one older than a
// minute belongs to no save still running (a save takes milliseconds), so it
// is removed before the next one starts.
bool IsOurTemporary(const std::string& entryName, const std::string& name) {
  const std::string prefix = "." + name + kSaveTemporaryMark;
  return entryName.size() == prefix.size() + kSaveTemporaryRandom &&
         entryName.compare(0, prefix.size(), prefix) == 0 &&
         entryName.find_first_not_of(
             "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", prefix.size()) ==
             std::string::npos;
}

void RemoveStaleTemporaries(const std::string& folder, const std::string& name) {
  constexpr time_t kStaleSeconds = 60;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  const time_t now = ::time(nullptr);
  while (const dirent* entry = ::readdir(dir)) {
    if (!IsOurTemporary(entry->d_name, name)) continue;
    const std::string path = folder + "/" + entry->d_name;
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        now - st.st_mtime > kStaleSeconds) {
      ::unlink(path.c_str());
    }
  }
  ::closedir(dir);
}

// Gives the file open on fd the owner and group of the file it replaces;
// false when the system refuses (then it keeps at least the group where the
// caller belongs to it).
bool KeepOwner(int fd, const struct stat& old) {
  if (old.st_uid == ::geteuid() && old.st_gid == ::getegid()) return true;
  if (::fchown(fd, old.st_uid, old.st_gid) == 0) return true;
  const int groupOnly = ::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
  return groupOnly == 0 && old.st_uid == ::geteuid();
}

}  // namespace

ProfileReadResult ReadProfileFile(const std::string& path, std::string* text) {
  text->clear();
  // O_NONBLOCK so that a FIFO at the path cannot stall the open; it is then
  // refused below as not a regular file.
  const posix::CScopedFd fd(
      OpenRetrying(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!fd.IsValid()) return ReadResultFromErrno(errno);

  struct stat st;
  if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<unsigned long long>(st.st_size) > kMaxProfileBytes) {
    return ProfileReadResult::kFailed;
  }
  text->reserve(static_cast<size_t>(st.st_size));
  char buf[64 * 1024];
  for (;;) {
    const ssize_t n = posix::RetryInterrupted([&] { return ::read(fd.Get(), buf, sizeof buf); });
    if (n == 0) return ProfileReadResult::kOk;
    // A read error, or the file grew past the bound while read.
    if (n < 0 || text->size() + static_cast<size_t>(n) > kMaxProfileBytes) {
      text->clear();
      return ProfileReadResult::kFailed;
    }
    text->append(buf, static_cast<size_t>(n));
  }
}

bool ReplaceProfileFile(const std::string& path, const std::string& text) {
  if (path.empty()) return false;
  std::string target;
  if (!ResolveLinks(path, &target)) return false;

  mode_t mode;
  struct stat st;
  bool replacing = false;
  if (::stat(target.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) return false;
    // A read-only file stays as it is, as it would on Windows; renaming over
    // it would otherwise succeed in a writable folder. access() alone says
    // yes to root for any file, so a file without a single write bit is
    // read-only whoever runs the program.
    if (::access(target.c_str(), W_OK) != 0 || (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
      return false;
    mode = st.st_mode & 07777;
    replacing = true;
  } else if (errno == ENOENT) {
    mode = 0666 & ~CurrentUmask();
  } else {
    return false;
  }

  RemoveStaleTemporaries(FolderOf(target), NameOf(target));
  std::string tmpl = FolderOf(target) + "/." + NameOf(target) + kSaveTemporaryMark + "XXXXXX";
  posix::CScopedFd fd(::mkostemp(&tmpl[0], O_CLOEXEC));
  if (!fd.IsValid()) return false;

  // The new file takes the old one's owner, group and mode before any byte
  // is written, so that a save by another user (root through sudo, say)
  // leaves the file as usable by its owner as it was. Only root may give a
  // file away; a refused fchown leaves it ours, which is all anyone else
  // could have.
  if (replacing) KeepOwner(fd.Get(), st);
  bool ok = ::fchmod(fd.Get(), mode) == 0 && posix::WriteAll(fd.Get(), text.data(), text.size()) &&
            FsyncRetrying(fd.Get());
  if (!fd.Close()) ok = false;
  if (ok && ::rename(tmpl.c_str(), target.c_str()) != 0) ok = false;
  if (!ok) {
    ::unlink(tmpl.c_str());
    return false;
  }

  // Make the rename itself durable; the new content is already on disk, so
  // a failure here changes nothing for the caller.
  const posix::CScopedFd dir(
      OpenRetrying(FolderOf(target).c_str(), O_RDONLY | O_CLOEXEC | O_DIRECTORY));
  if (dir.IsValid()) FsyncRetrying(dir.Get());
  return true;
}

// The numbers file: found in the per-user folder, read whole, and replaced
// whole under a lock.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "AppFolderNames.h"
#include "CliText.h"
#include "ComNumbers.h"
#include "ScopedFdPosix.h"
#include "SysCallPosix.h"
#include "UserDirKit/UserDirKit.h"

namespace fs = std::filesystem;

namespace {

constexpr char kFileName[] = "com-numbers.conf";
constexpr char kLockName[] = "com-numbers.lock";
// Far above 256 lines of by-id names; a bigger file is not ours.
constexpr size_t kMaxFileBytes = 256 * 1024;

using posix::CScopedFd;
using posix::RetryInterrupted;

std::string SystemText(int err) { return posix::ErrnoText(err); }

std::string CannotRead(const std::string& path, const std::string& reason) {
  return TrF("cannot read the file of COM numbers: %s: %s", {path, reason});
}
std::string CannotWrite(const std::string& path, const std::string& reason) {
  return TrF("cannot write the file of COM numbers: %s: %s", {path, reason});
}

// Writes text beside path and renames it over path: a reader sees the old
// file or the new one, never a part.
bool ReplaceFile(const std::string& path, const std::string& text, std::string* error) {
  std::string temp = path + ".XXXXXX";
  CScopedFd fd(mkostemp(temp.data(), O_CLOEXEC));
  if (fd.Get() < 0) {
    *error = CannotWrite(path, SystemText(errno));
    return false;
  }
  struct stat old;
  const mode_t mode = stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
  const bool written = fchmod(fd.Get(), mode) == 0 &&
                       posix::WriteAll(fd.Get(), text.data(), text.size()) &&
                       RetryInterrupted([&] { return fsync(fd.Get()); }) == 0;
  const int err = errno;
  // A write may only fail at the close.
  if (!fd.Close() || !written || rename(temp.c_str(), path.c_str()) != 0) {
    *error = CannotWrite(path, SystemText(written ? errno : err));
    unlink(temp.c_str());
    return false;
  }
  // The rename itself reaches the disk with the folder's entry.
  CScopedFd folder(open(fs::path(path).parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.Get() >= 0) RetryInterrupted([&] { return fsync(folder.Get()); });
  return true;
}

}  // namespace

std::string ComNumbersFilePath(std::string* error) {
  std::vector<char> buffer(64 * 1024, '\0');
  if (udk_GetUserAppFolder(buffer.data(), static_cast<int>(buffer.size())) <= 0) {
    *error = Tr("no place for the file of COM numbers (neither HOME nor XDG_CONFIG_HOME is set)");
    return {};
  }
  return (fs::path(buffer.data()) / kMakerFolder / kProductFolder / kFileName).string();
}

bool ReadComNumbers(const std::string& path, ComNumberMap* numbers, std::string* error) {
  numbers->clear();
  CScopedFd fd(RetryInterrupted([&] { return open(path.c_str(), O_RDONLY | O_CLOEXEC); }));
  if (fd.Get() < 0) {
    if (errno == ENOENT) return true;
    *error = CannotRead(path, SystemText(errno));
    return false;
  }
  std::string text;
  char buf[4096];
  for (;;) {
    const ssize_t n = RetryInterrupted([&] { return read(fd.Get(), buf, sizeof buf); });
    if (n < 0) {
      *error = CannotRead(path, SystemText(errno));
      return false;
    }
    if (n == 0) break;
    text.append(buf, static_cast<size_t>(n));
    if (text.size() > kMaxFileBytes) {
      *error = CannotRead(path, TrF("too big (at most %s bytes)", {std::to_string(kMaxFileBytes)}));
      return false;
    }
  }
  std::string why;
  if (!ParseComNumbers(text, numbers, &why)) {
    numbers->clear();
    *error = TrF("the file of COM numbers is damaged: %s %s", {path, why});
    return false;
  }
  return true;
}

bool UpdateComNumbers(const std::string& path, const std::function<void(ComNumberMap*)>& change,
                      ComNumberMap* numbers, std::string* error) {
  const fs::path folder = fs::path(path).parent_path();
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) {
    *error = CannotWrite(path, ec.message());
    return false;
  }
  // The data file is replaced, so the lock lives in a file of its own.
  const std::string lockPath = (folder / kLockName).string();
  CScopedFd lock(RetryInterrupted(
      [&] { return open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644); }));
  if (lock.Get() < 0 || RetryInterrupted([&] { return flock(lock.Get(), LOCK_EX); }) != 0) {
    *error = CannotWrite(path, lockPath + ": " + SystemText(errno));
    return false;
  }
  ComNumberMap before;
  if (!ReadComNumbers(path, &before, error)) return false;
  *numbers = before;
  change(numbers);
  if (*numbers == before) return true;
  if (!ReplaceFile(path, FormatComNumbers(*numbers), error)) {
    *numbers = before;
    return false;
  }
  return true;
}

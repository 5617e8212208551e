#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

#include "ComNumbers.h"
#include "ComResolver.h"
#include "PortDiagnosis.h"
#include "SysCallPosix.h"

namespace fs = std::filesystem;

namespace {

std::string Canonical(const std::string& path) {
  std::error_code ec;
  const fs::path c = fs::canonical(path, ec);
  return ec ? path : c.string();
}

std::string FindById(const std::string& canonical, const std::string& devRoot) {
  std::error_code ec;
  for (fs::directory_iterator it(fs::path(devRoot) / "serial" / "by-id", ec), end; !ec && it != end;
       it.increment(ec)) {
    if (Canonical(it->path().string()) == canonical) return it->path().string();
  }
  return {};
}

std::string ReadCommand(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(in, name);
  return name;
}

// The pid of a flock holder on the device's inode: /proc/locks is readable by
// everyone, unlike other users' /proc/<pid>/fd.
int FlockHolder(const struct stat& st) {
  std::ifstream in("/proc/locks");
  std::string line;
  char want[64];
  std::snprintf(want, sizeof want, "%02x:%02x:%lu", major(st.st_dev), minor(st.st_dev),
                static_cast<unsigned long>(st.st_ino));
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string id, kind, advisory, mode, inode;
    int pid = 0;
    if (!(fields >> id >> kind)) continue;
    if (kind == "->") fields >> kind;  // a waiter's line
    if (fields >> advisory >> mode >> pid >> inode && kind == "FLOCK" && inode == want) return pid;
  }
  return 0;
}

// Any other process with the device open, where /proc lets us look.
int OpenerOf(const std::string& canonical, const struct stat& st) {
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return 0;
  int found = 0;
  const int self = static_cast<int>(getpid());
  while (found == 0) {
    const dirent* e = readdir(proc);
    if (e == nullptr) break;
    char* end = nullptr;
    const long pid = std::strtol(e->d_name, &end, 10);
    if (*end != '\0' || pid <= 0 || pid == self) continue;
    std::error_code ec;
    const fs::path fdDir = fs::path("/proc") / e->d_name / "fd";
    for (fs::directory_iterator it(fdDir, ec), stop; !ec && it != stop; it.increment(ec)) {
      struct stat fdSt;
      if (stat(it->path().c_str(), &fdSt) == 0 && fdSt.st_rdev == st.st_rdev &&
          S_ISCHR(fdSt.st_mode) && Canonical(it->path().string()) == canonical) {
        found = static_cast<int>(pid);
        break;
      }
    }
  }
  closedir(proc);
  return found;
}

bool HasGroup(gid_t gid) {
  if (getegid() == gid) return true;
  const int n = getgroups(0, nullptr);
  if (n <= 0) return false;
  std::vector<gid_t> groups(static_cast<size_t>(n));
  const int got = getgroups(n, groups.data());
  for (int i = 0; i < got; ++i) {
    if (groups[static_cast<size_t>(i)] == gid) return true;
  }
  return false;
}

// getgrgid_r: the batch of zeta7ctl diagnoses ports from several threads.
std::string GroupName(gid_t gid) {
  std::vector<char> buf(16 * 1024);
  group g{};
  group* found = nullptr;
  if (getgrgid_r(gid, &g, buf.data(), buf.size(), &found) != 0 || found == nullptr) {
    return std::to_string(gid);
  }
  return found->gr_name;
}

void FindHolder(PortDiagnosis& d, const struct stat& st) {
  const std::string canonical = Canonical(d.device);
  d.holderPid = FlockHolder(st);
  if (d.holderPid == 0) d.holderPid = OpenerOf(canonical, st);
  if (d.holderPid != 0) d.holderCommand = ReadCommand(d.holderPid);
}

// What the failed open decided, with what the system says of the device
// beside it: who holds it, which group may use it. Nothing is opened.
void Complete(PortDiagnosis& d, const PortOpenError& error) {
  d.problem = error.problem;
  if (d.problem == PortProblem::kOther) d.systemError = error.systemError;
  struct stat st;
  if (d.problem == PortProblem::kPermission && stat(d.device.c_str(), &st) == 0) {
    d.group = GroupName(st.st_gid);
    d.inGroup = HasGroup(st.st_gid);
    d.groupMayUse = (st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
  }
  if (d.problem == PortProblem::kBusy && stat(d.device.c_str(), &st) == 0) FindHolder(d, st);
}

// Opens as CComPort does, asks for the line settings, then closes.
void Probe(PortDiagnosis& d) {
  PortOpenError error;
  const PortHandle h = portsys::OpenDevicePath(d.device, &error);
  if (h != kNoPort) {
    termios t;
    if (posix::RetryInterrupted([&] { return tcgetattr(h, &t); }) == -1) {
      const int err = errno;
      error = {err == ENOTTY ? PortProblem::kNotTerminal : PortProblem::kOther,
               posix::ErrnoText(err)};
    }
    portsys::CloseDevice(h);
  }
  Complete(d, error);
}

void FillPresent(PortDiagnosis& d, const std::vector<SerialDevice>& devices) {
  d.present = devices;
}

void FillIdentity(PortDiagnosis& d, const std::vector<SerialDevice>& devices,
                  const std::string& devRoot) {
  const std::string canonical = Canonical(d.device);
  d.byId = FindById(canonical, devRoot);
  for (const SerialDevice& s : devices) {
    if (Canonical(s.path) == canonical) d.product = s.product;
  }
}

}  // namespace

PortDiagnosis DiagnoseComPort(int n, const ComMap& map, const std::string& sysRoot,
                              const std::string& devRoot) {
  const std::vector<SerialDevice> devices = ListSerialDevices(sysRoot, devRoot);
  PortDiagnosis d;
  d.comNumber = n;
  const auto entry = map.find(n);
  if (entry != map.end() && !entry->second.empty()) {
    d.device = entry->second;
    d.mapKey = "com" + std::to_string(n);
  } else if (const ComNumberTarget t = FindComNumber(n, sysRoot, devRoot); !t.error.empty()) {
    d.problem = PortProblem::kOther;
    d.systemError = t.error;
    return d;
  } else if (!t.device.empty()) {
    d.device = t.device;  // a unit not plugged in: the by-id path that names it
  } else {
    d.problem = PortProblem::kNoDevice;
    FillPresent(d, devices);
    return d;
  }
  FillIdentity(d, devices, devRoot);
  Probe(d);
  if (d.problem == PortProblem::kMissing) FillPresent(d, devices);
  return d;
}

PortDiagnosis DiagnoseOpenError(const std::string& path, const PortOpenError& error,
                                const std::string& sysRoot, const std::string& devRoot) {
  const std::vector<SerialDevice> devices = ListSerialDevices(sysRoot, devRoot);
  PortDiagnosis d;
  d.device = path;
  if (error.problem == PortProblem::kNoDevice) {
    d.problem = PortProblem::kNoDevice;
    d.present = devices;
    return d;
  }
  FillIdentity(d, devices, devRoot);
  Complete(d, error);
  if (d.problem == PortProblem::kMissing) FillPresent(d, devices);
  return d;
}

PortDiagnosis DiagnoseDevice(const std::string& path, const std::string& sysRoot,
                             const std::string& devRoot) {
  const std::vector<SerialDevice> devices = ListSerialDevices(sysRoot, devRoot);
  PortDiagnosis d;
  d.device = path;
  FillIdentity(d, devices, devRoot);
  Probe(d);
  if (d.problem == PortProblem::kMissing) FillPresent(d, devices);
  return d;
}

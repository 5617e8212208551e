#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>

#include "ComResolver.h"
#include "CtlPlan.h"
#include "CtlPlatform.h"
#include "DeviceWatcher.h"

namespace fs = std::filesystem;

namespace {

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

bool IsUsbNodeName(const std::string& name) {
  return name.rfind("ttyUSB", 0) == 0 || name.rfind("ttyACM", 0) == 0;
}

}  // namespace

std::vector<PresentDevice> ListPresentDevices(const DeviceRoots& roots) {
  std::vector<PresentDevice> found;
  std::set<std::string> nodes;  // identities of the nodes a by-id link names
  for (const std::string& link : ByIdPaths(roots)) {
    const std::string serial = UsbSerialOfByIdName(fs::path(link).filename().string());
    std::error_code ec;
    const fs::path target = fs::read_symlink(link, ec);
    if (serial.empty() || ec) continue;
    // The node under the roots, not the file behind it: a person knows
    // ttyUSB0, and the tests' nodes are links to pseudo-terminals.
    const fs::path node =
        target.is_absolute() ? target : (fs::path(link).parent_path() / target).lexically_normal();
    if (!Exists(node.string())) continue;  // udev is still making it, or taking it away
    nodes.insert(DeviceIdentity(node.string()));
    found.push_back({serial, node.string(), node.filename().string()});
  }
  for (const SerialDevice& d : ListSerialDevices(roots.sys, roots.dev)) {
    const std::string name = fs::path(d.path).filename().string();
    if (IsUsbNodeName(name) && nodes.count(DeviceIdentity(d.path)) == 0) {
      found.push_back({"", d.path, name});
    }
  }
  std::sort(found.begin(), found.end(), [](const PresentDevice& a, const PresentDevice& b) {
    return a.device < b.device || (a.device == b.device && a.serial < b.serial);
  });
  return found;
}

struct CDeviceWatcher::Impl {
  DeviceRoots roots;
  int fd = -1;
};

CDeviceWatcher::CDeviceWatcher(const DeviceRoots& roots) : m_impl(std::make_unique<Impl>()) {
  m_impl->roots = roots;
}

CDeviceWatcher::~CDeviceWatcher() {
  if (m_impl->fd >= 0) close(m_impl->fd);
}

namespace {

constexpr uint32_t kEvents =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF;

// /dev/serial and its by-id folder come and go with the first and last USB
// unit, so their watches are added again whenever something changed (the
// same folder gives the same watch).
void AddWatches(int fd, const DeviceRoots& roots) {
  for (const std::string& dir : {roots.dev, roots.dev + "/serial", roots.dev + "/serial/by-id"}) {
    inotify_add_watch(fd, dir.c_str(), kEvents | IN_ONLYDIR);
  }
}

}  // namespace

bool CDeviceWatcher::Start(std::string* error) {
  m_impl->fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (m_impl->fd < 0) {
    *error = std::string("inotify: ") + std::strerror(errno);
    return false;
  }
  if (inotify_add_watch(m_impl->fd, m_impl->roots.dev.c_str(), kEvents | IN_ONLYDIR) < 0) {
    *error = m_impl->roots.dev + ": " + std::strerror(errno);
    return false;
  }
  AddWatches(m_impl->fd, m_impl->roots);
  return true;
}

bool CDeviceWatcher::Wait(int ms) {
  pollfd p{m_impl->fd, POLLIN, 0};
  if (poll(&p, 1, ms) <= 0) return false;
  // The events themselves are not needed: the caller lists what is there.
  alignas(inotify_event) char buf[4096];
  while (read(m_impl->fd, buf, sizeof buf) > 0) {
  }
  AddWatches(m_impl->fd, m_impl->roots);
  return true;
}

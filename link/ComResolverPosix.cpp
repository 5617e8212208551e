#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <utility>

#include "ComResolver.h"

namespace fs = std::filesystem;

namespace {

// Device name families in COM order.
constexpr const char* kFamilies[] = {"ttyS", "ttyUSB", "ttyACM"};
constexpr int kLegacyFamily = 0;
// The USB device folder that carries "product" lies at most this many
// levels above the tty's device folder (interface, then device).
constexpr int kProductSearchDepth = 3;

struct Candidate {
  int family;
  long number;
  std::string name;
};

bool ParseName(const std::string& name, Candidate* out) {
  for (int f = 0; f < static_cast<int>(std::size(kFamilies)); ++f) {
    const std::string prefix = kFamilies[f];
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string digits = name.substr(prefix.size());
    if (digits.size() > 9 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      return false;
    }
    *out = Candidate{f, std::stol(digits), name};
    return true;
  }
  return false;
}

bool ReadFirstLine(const fs::path& file, std::string* line) {
  std::ifstream in(file);
  if (!in || !std::getline(in, *line)) return false;
  while (!line->empty() && (line->back() == '\n' || line->back() == '\r' || line->back() == ' ')) {
    line->pop_back();
  }
  return true;
}

// The 8250 driver registers a fixed number of ttyS entries whether or not a
// UART answers; those report port type 0 (unknown).
bool IsRealLegacyPort(const fs::path& ttyDir) {
  std::error_code ec;
  if (!fs::exists(ttyDir / "device", ec)) return false;
  std::string type;
  return !ReadFirstLine(ttyDir / "type", &type) || type != "0";
}

std::string UsbProduct(const fs::path& ttyDir) {
  std::error_code ec;
  fs::path dir = fs::canonical(ttyDir / "device", ec);
  if (ec) return {};
  for (int level = 0; level <= kProductSearchDepth && dir.has_relative_path(); ++level) {
    std::string product;
    if (ReadFirstLine(dir / "product", &product)) return product;
    dir = dir.parent_path();
  }
  return {};
}

}  // namespace

std::vector<SerialDevice> ListSerialDevices(const std::string& sysRoot,
                                            const std::string& devRoot) {
  const fs::path classDir = fs::path(sysRoot) / "class" / "tty";
  std::vector<Candidate> found;
  std::error_code ec;
  for (fs::directory_iterator it(classDir, ec), end; !ec && it != end; it.increment(ec)) {
    Candidate c;
    if (!ParseName(it->path().filename().string(), &c)) continue;
    std::error_code nodeEc;
    if (!fs::exists(fs::path(devRoot) / c.name, nodeEc)) continue;
    if (c.family == kLegacyFamily && !IsRealLegacyPort(classDir / c.name)) continue;
    found.push_back(c);
  }
  std::sort(found.begin(), found.end(), [](const Candidate& a, const Candidate& b) {
    return std::tie(a.family, a.number) < std::tie(b.family, b.number);
  });
  std::vector<SerialDevice> devices;
  for (const Candidate& c : found) {
    SerialDevice d{(fs::path(devRoot) / c.name).string(), {}, static_cast<int>(devices.size()) + 1};
    if (c.family != kLegacyFamily) d.product = UsbProduct(classDir / c.name);
    devices.push_back(std::move(d));
  }
  return devices;
}

std::map<int, std::string> DescribeComPorts(int count, const ComMap& map,
                                            const std::string& sysRoot,
                                            const std::string& devRoot) {
  const std::vector<SerialDevice> devices = ListSerialDevices(sysRoot, devRoot);
  std::map<int, std::string> described;
  for (int n = 1; n <= count; ++n) {
    std::string path;
    auto it = map.find(n);
    if (it != map.end() && !it->second.empty()) {
      path = it->second;
    } else if (static_cast<size_t>(n) <= devices.size()) {
      path = devices[static_cast<size_t>(n) - 1].path;
    }
    std::error_code ec;
    if (path.empty() || !fs::exists(path, ec)) continue;
    // The product of a mapped path that names a listed device (by-id links
    // included) is that device's.
    std::string product;
    const fs::path real = fs::canonical(path, ec);
    for (const SerialDevice& d : devices) {
      std::error_code dec;
      if (!ec && fs::canonical(d.path, dec) == real) product = d.product;
    }
    described[n] = product.empty() ? path : path + " (" + product + ")";
  }
  return described;
}

std::string ResolveComDevice(int n, const ComMap& map) {
  auto it = map.find(n);
  if (it != map.end() && !it->second.empty()) return it->second;
  if (n < 1) return {};
  std::vector<SerialDevice> devices = ListSerialDevices();
  if (static_cast<size_t>(n) > devices.size()) return {};
  return devices[static_cast<size_t>(n) - 1].path;
}

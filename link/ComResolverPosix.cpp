#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <utility>

#include "ComNumbers.h"
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

// The by-id links of devRoot, each with the device it leads to.
std::vector<std::pair<std::string, std::string>> ByIdLinks(const std::string& devRoot) {
  std::vector<std::pair<std::string, std::string>> links;
  std::error_code ec;
  for (fs::directory_iterator it(fs::path(devRoot) / "serial" / "by-id", ec), end; !ec && it != end;
       it.increment(ec)) {
    std::error_code linkEc;
    const fs::path target = fs::canonical(it->path(), linkEc);
    if (!linkEc) links.emplace_back(it->path().filename().string(), target.string());
  }
  std::sort(links.begin(), links.end());
  return links;
}

std::string Canonical(const std::string& path) {
  std::error_code ec;
  const fs::path c = fs::canonical(path, ec);
  return ec ? path : c.string();
}

// The present devices in the old order, with their identities; no numbers.
std::vector<SerialDevice> PresentDevices(const std::string& sysRoot, const std::string& devRoot) {
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
  const auto links = ByIdLinks(devRoot);
  std::vector<SerialDevice> devices;
  for (const Candidate& c : found) {
    SerialDevice d;
    d.path = (fs::path(devRoot) / c.name).string();
    if (c.family == kLegacyFamily) {
      d.identity = c.name;
    } else {
      d.product = UsbProduct(classDir / c.name);
      const std::string real = Canonical(d.path);
      for (const auto& [name, target] : links) {
        if (target != real) continue;
        d.identity = name;
        d.byId = (fs::path(devRoot) / "serial" / "by-id" / name).string();
        break;
      }
    }
    devices.push_back(std::move(d));
  }
  return devices;
}

std::vector<std::string> IdentitiesOf(const std::vector<SerialDevice>& devices) {
  std::vector<std::string> identities;
  for (const SerialDevice& d : devices) identities.push_back(d.identity);
  return identities;
}

}  // namespace

std::string IdentityOfDevice(const std::string& node, const std::string& devRoot) {
  const std::string real = Canonical(node);
  for (const auto& [name, target] : ByIdLinks(devRoot)) {
    if (target == real) return name;
  }
  Candidate c;
  const std::string name = fs::path(node).filename().string();
  return ParseName(name, &c) && c.family == kLegacyFamily ? name : std::string();
}

std::vector<std::string> ByIdLinksNamed(const std::string& name, const std::string& devRoot) {
  std::vector<std::string> found;
  for (const auto& [link, target] : ByIdLinks(devRoot)) {
    if (link == name || UsbSerialOfIdentity(link) == name) {
      found.push_back((fs::path(devRoot) / "serial" / "by-id" / link).string());
    }
  }
  return found;
}

ComNumbering NumberSerialDevices(const std::string& sysRoot, const std::string& devRoot,
                                 const std::string& numbersFile) {
  ComNumbering numbering;
  numbering.present = PresentDevices(sysRoot, devRoot);
  numbering.file = numbersFile;
  if (numbersFile.empty() ||
      !ReadComNumbers(numbersFile, &numbering.remembered, &numbering.error)) {
    return numbering;
  }
  const std::vector<std::string> identities = IdentitiesOf(numbering.present);
  ComNumberMap extended = numbering.remembered;
  std::vector<int> numbers = AssignComNumbers(identities, &extended);
  if (extended != numbering.remembered) {
    // Assigned again under the lock, against what other programs may have
    // added since.
    ComNumberMap updated;
    if (UpdateComNumbers(
            numbersFile, [&](ComNumberMap* m) { numbers = AssignComNumbers(identities, m); },
            &updated, &numbering.error)) {
      numbering.remembered = updated;
    } else {
      // The new devices stay without a number; the others keep theirs.
      ComNumberMap unchanged = numbering.remembered;
      numbers = AssignComNumbers(identities, &unchanged);
      for (size_t i = 0; i < numbers.size(); ++i) {
        if (!identities[i].empty() && ComNumberOfIdentity(identities[i], numbering) == 0) {
          numbers[i] = 0;
        }
      }
    }
  }
  for (size_t i = 0; i < numbers.size(); ++i) numbering.present[i].comNumber = numbers[i];
  return numbering;
}

ComNumbering NumberSerialDevices(const std::string& sysRoot, const std::string& devRoot) {
  std::string error;
  const std::string file = ComNumbersFilePath(&error);
  ComNumbering numbering = NumberSerialDevices(sysRoot, devRoot, file);
  if (file.empty()) numbering.error = error;
  return numbering;
}

ComNumberTarget ComNumberTargetOf(int n, const ComNumbering& numbering,
                                  const std::string& devRoot) {
  ComNumberTarget t;
  if (n < 1) return t;
  for (const SerialDevice& d : numbering.present) {
    if (d.comNumber != n) continue;
    t.device = d.path;
    t.identity = d.identity;
    t.present = true;
    t.remembered = !d.identity.empty();
    return t;
  }
  const auto it = numbering.remembered.find(n);
  if (it != numbering.remembered.end()) {
    Candidate c;
    const bool legacy = ParseName(it->second, &c) && c.family == kLegacyFamily;
    t.device = legacy ? (fs::path(devRoot) / it->second).string()
                      : (fs::path(devRoot) / "serial" / "by-id" / it->second).string();
    t.identity = it->second;
    t.remembered = true;
    return t;
  }
  t.error = numbering.error;
  return t;
}

ComNumberTarget FindComNumber(int n, const std::string& sysRoot, const std::string& devRoot) {
  return ComNumberTargetOf(n, NumberSerialDevices(sysRoot, devRoot), devRoot);
}

std::vector<SerialDevice> ListSerialDevices(const std::string& sysRoot,
                                            const std::string& devRoot) {
  return NumberSerialDevices(sysRoot, devRoot).present;
}

std::map<int, std::string> DescribeComPorts(int count, const ComMap& map,
                                            const std::string& sysRoot,
                                            const std::string& devRoot) {
  const ComNumbering numbering = NumberSerialDevices(sysRoot, devRoot);
  std::map<int, std::string> described;
  for (int n = 1; n <= count; ++n) {
    std::string path;
    auto it = map.find(n);
    if (it != map.end() && !it->second.empty()) {
      path = it->second;
    } else {
      path = ComNumberTargetOf(n, numbering, devRoot).device;
    }
    std::error_code ec;
    if (path.empty() || !fs::exists(path, ec)) continue;
    // The product of a mapped path that names a listed device (by-id links
    // included) is that device's.
    std::string product;
    const fs::path real = fs::canonical(path, ec);
    for (const SerialDevice& d : numbering.present) {
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
  return FindComNumber(n).device;
}

#include "SettingsKeys.h"

#include <cstdint>

#include "iniacs.h"

namespace {

constexpr int kAbsent = -1;
constexpr int kHighestComPort = 255;  // the list offers COM1..COM255
constexpr int kDefaultComPort = 1;
constexpr int kHighestBaudIndex = 3;
constexpr int kDefaultBaudIndex = 0;
constexpr int kHighestMappedPort = 256;  // the port wrapper goes to COM256

// "com<n>" in any case, n written plainly (no sign, no leading zero), 1..256;
// 0 when the key is anything else. "com07" is not "com7", as a look-up of
// the key "com7" would not find it either.
int MappedPortOfKey(const std::string& key) {
  if (key.size() < 4 || key.size() > 6) return 0;
  for (size_t i = 0; i < 3; ++i) {
    if ((key[i] | 0x20) != "com"[i]) return 0;
  }
  if (key[3] == '0') return 0;
  int n = 0;
  for (size_t i = 3; i < key.size(); ++i) {
    if (key[i] < '0' || key[i] > '9') return 0;
    n = n * 10 + (key[i] - '0');
  }
  return n <= kHighestMappedPort ? n : 0;
}

}  // namespace

int ComPortFromStored(int stored) {
  return (stored == kAbsent || stored > kHighestComPort) ? kDefaultComPort : stored;
}

int BaudIndexFromStored(int stored) {
  return (stored == kAbsent || stored > kHighestBaudIndex) ? kDefaultBaudIndex : stored;
}

int PlacementFromStored(int stored, int workExtent, int windowExtent) {
  if (stored != kAbsent) return stored;
  // In 64 bits the difference cannot overflow, and half of it always fits an
  // int again; C++ division truncates toward zero (-101 / 2 == -50).
  const int64_t spare = static_cast<int64_t>(workExtent) - windowExtent;
  return static_cast<int>(spare / 2);
}

std::map<int, std::string> ReadComMap(const iniacs& ini) {
  std::map<int, std::string> map;
  // GetSection gives the first of a repeated key only, so a later "COM3"
  // cannot override an earlier "com3".
  for (const auto& entry : ini.GetSection(kSectionPorts)) {
    const int port = MappedPortOfKey(entry.first);
    if (port != 0 && !entry.second.empty()) map.emplace(port, entry.second);
  }
  return map;
}

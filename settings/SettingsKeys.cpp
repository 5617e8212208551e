#include "SettingsKeys.h"

#include <cstdint>
#include <iterator>

#include "ComResolver.h"
#include "iniacs.h"

namespace {

constexpr int kAbsent = -1;
constexpr int kHighestComPort = 255;  // the list offers COM1..COM255
constexpr int kDefaultComPort = 1;
constexpr int kHighestBaudIndex = static_cast<int>(std::size(kBaudRates)) - 1;
constexpr int kDefaultBaudIndex = 0;

}  // namespace

int ComPortFromStored(int stored) {
  return (stored == kAbsent || stored > kHighestComPort) ? kDefaultComPort : stored;
}

int BaudIndexFromStored(int stored) {
  return (stored == kAbsent || stored > kHighestBaudIndex) ? kDefaultBaudIndex : stored;
}

int BaudRateOfIndex(int index) {
  return index >= 0 && index <= kHighestBaudIndex ? kBaudRates[index]
                                                  : kBaudRates[kDefaultBaudIndex];
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
    const int port = ComNumberOfName(entry.first);
    if (port != 0 && !entry.second.empty()) map.emplace(port, entry.second);
  }
  return map;
}

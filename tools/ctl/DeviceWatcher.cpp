#include "DeviceWatcher.h"

std::string UsbSerialOfInstanceId(const std::string& id) {
  const size_t last = id.rfind('\\');
  if (id.rfind("USB\\", 0) == 0 && last != std::string::npos && last > 4) {
    const std::string serial = id.substr(last + 1);
    return serial.find('&') == std::string::npos ? serial : std::string();
  }
  if (id.rfind("FTDIBUS\\", 0) == 0) {
    const size_t plus = id.rfind('+');
    const size_t end = id.find('\\', 8);
    if (plus == std::string::npos || end == std::string::npos || end <= plus + 2) return {};
    // The adapter's serial number with the letter of its port ("A" for the
    // first) after it.
    return id.substr(plus + 1, end - plus - 2);
  }
  return {};
}

#include "DeviceWatcher.h"

std::string UsbSerialOfInstanceId(const std::string& id) {
  const size_t last = id.rfind('\\');
  if (id.rfind("USB\\", 0) == 0 && last != std::string::npos && last > 4) {
    const std::string serial = id.substr(last + 1);
    return serial.find('&') == std::string::npos ? serial : std::string();
  }
  if (id.rfind("FTDIBUS\\", 0) == 0) {
    // "VID_xxxx+PID_xxxx+<serial><port letter>"
    const size_t end = id.find('\\', 8);
    const std::string names = id.substr(8, end == std::string::npos ? end : end - 8);
    const size_t first = names.find('+');
    const size_t second = first == std::string::npos ? first : names.find('+', first + 1);
    if (second == std::string::npos || names.size() < second + 3) return {};
    // The adapter's serial number with the letter of its port ("A" for the
    // first) after it.
    return names.substr(second + 1, names.size() - second - 2);
  }
  return {};
}

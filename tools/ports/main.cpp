// zeta7-ports: prints the COMn -> device list as the utility resolves it.
#include <cstdio>

#include "ComResolver.h"

int main() {
  const std::vector<SerialDevice> devices = ListSerialDevices();
  if (devices.empty()) std::printf("No serial devices found.\n");
  for (size_t i = 0; i < devices.size(); ++i) {
    const SerialDevice& d = devices[i];
    if (d.product.empty()) {
      std::printf("COM%zu -> %s\n", i + 1, d.path.c_str());
    } else {
      std::printf("COM%zu -> %s (%s)\n", i + 1, d.path.c_str(), d.product.c_str());
    }
  }
  std::printf(
      "\nA settings file entry in section [ports], key comN (for example com1=/dev/ttyUSB1),\n"
      "takes precedence over this list for that number.\n");
  return 0;
}

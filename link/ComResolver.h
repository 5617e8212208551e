// Turns a COM port number into a device path.
//
// Windows names ports COM1, COM2 ...; elsewhere the devices have other names.
// A port number is resolved by (1) an explicit map that the settings file
// may give, else (2) on Linux the number the device keeps (ComNumbers.h:
// remembered by its by-id name or legacy port name; a device without one is
// numbered in the old order, real ttyS ports first (the kernel's placeholder
// ttyS entries with no hardware behind them are skipped), then ttyUSB, then
// ttyACM, each by number); on Windows the system's number. One USB adapter on
// a machine without legacy ports is thus COM1.
//
// The explicit map belongs to whoever opens the port (CComPort holds the one
// the dialog read from its settings file); nothing here keeps state.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "PortSystem.h"

// The highest COM number: Windows numbers its ports to COM256.
inline constexpr int kHighestComNumber = 256;

// The one rule for a COM name, wherever it comes from: a port on zeta7ctl's
// command line ("COM3"), a key of the [ports] section ("com3") and a port
// name the system lists. "COM" in any case, then the number written
// plainly, 1..256: no sign, blank or leading zero. Gives the number, 0 for
// any other name. "COM03" is not COM3: Windows opens no \\.\COM3 for a port
// it lists as COM03, and a look-up of the key "com3" would not find "com03".
int ComNumberOfName(std::string_view name);

struct SerialDevice {
  std::string path;      // "/dev/ttyUSB0"; "\\.\COM3" on Windows
  std::string product;   // USB product name where sysfs has one (Windows: the
                         // friendly name), else empty
  int comNumber = 0;     // the COM number it stands for without a [ports] entry;
                         // 0 when it has none (ComNumbers.h: the numbers file)
  std::string identity;  // Linux: the by-id name, or "ttyS0" for a legacy port;
                         // empty for none and on Windows
  std::string byId;      // Linux: the by-id link's path, else empty
};

// Present serial devices. On Linux in the old order (ttyS, ttyUSB, ttyACM,
// each by number) with the numbers they keep (ComNumbers.h; this may extend
// the numbers file); Windows numbers its ports itself, so there the list
// holds the numbers the system gave (ComResolverWin32.cpp: the serial device
// map and the ports class).
// A device counts when sysfs lists it and its node exists under devRoot.
// Roots are parameters so tests can point them at a fake tree; Windows
// ignores them.
std::vector<SerialDevice> ListSerialDevices(const std::string& sysRoot = "/sys",
                                            const std::string& devRoot = "/dev");

// What each COM number from 1 to count leads to, for the numbers that lead
// to a present device: "/dev/ttyUSB0 (FT232R USB UART)", or the path alone
// where the device has no product name. Looks at the system once.
std::map<int, std::string> DescribeComPorts(int count, const ComMap& map,
                                            const std::string& sysRoot = "/sys",
                                            const std::string& devRoot = "/dev");

// Device path for COM port n: the map's entry when it has a non-empty one,
// else the device that keeps the number (a unit not plugged in: its by-id
// path, which is not there; on Windows "\\.\COMn" for 1..256, present or
// not: the open says whether it is there); empty when there is none or the
// numbers file cannot be read.
std::string ResolveComDevice(int n, const ComMap& map);

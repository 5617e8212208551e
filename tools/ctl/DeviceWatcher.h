// The serial devices present now, each with its USB serial number, and a
// wait that ends when that may have changed: what `zeta7ctl station` sees
// of units being plugged in and out. Linux reads the by-id links udev makes
// for USB serial units (and the ttyUSB/ttyACM nodes without one) under the
// device roots and is woken by inotify on those folders; Windows lists the
// present ports of the ports class with the serial number in their device
// instance ID, polled. One file per system (DeviceWatcherPosix.cpp,
// DeviceWatcherWin32.cpp).
//
// The watcher belongs to the station's main thread; ListPresentDevices may
// be called from any thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ProgramSettings.h"

struct PresentDevice {
  std::string serial;  // the USB serial number; "" where the system gives none
  std::string device;  // what to open: "/dev/ttyUSB0" (under the roots), "\\.\COM5"
  std::string name;    // what a person calls it: "ttyUSB0", "COM5"
};

// Sorted by device. Windows ignores the roots.
std::vector<PresentDevice> ListPresentDevices(const DeviceRoots& roots);

// "A50285BI" from a Windows device instance ID: "USB\VID_0403&PID_6001\A50285BI",
// "FTDIBUS\VID_0403+PID_6001+A50285BIA\0000" (the port letter dropped); ""
// where the system made the ID up (it holds '&') or the form is another.
std::string UsbSerialOfInstanceId(const std::string& id);

class CDeviceWatcher {
 public:
  explicit CDeviceWatcher(const DeviceRoots& roots);
  ~CDeviceWatcher();
  CDeviceWatcher(const CDeviceWatcher&) = delete;
  CDeviceWatcher& operator=(const CDeviceWatcher&) = delete;

  // False with the system's reason when nothing can be watched.
  bool Start(std::string* error);
  // Returns true as soon as the devices may have changed, false after ms
  // without a sign.
  bool Wait(int ms);

 private:
  struct Impl;
  std::unique_ptr<Impl> m_impl;
};

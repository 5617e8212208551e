// Between DeviceWatcherWin32.cpp and its test: the present ports of the
// ports class, gathered through one call so that a test under Wine (whose
// ports have no USB device behind them) can stand in for the system's list.
// The table is read on every listing; a test installs its own while no
// station runs and puts the system's back.
#pragma once

#include <string>
#include <vector>

struct PresentPort {
  std::wstring portName;    // "COM5", as the port's PortName value says
  std::wstring instanceId;  // "USB\VID_0403&PID_6001\A50285BI"
};

struct PresentPortCalls {
  std::vector<PresentPort> (*listPorts)();
};

const PresentPortCalls& SystemPresentPortCalls();
// nullptr: the system's.
void UsePresentPortCalls(const PresentPortCalls* calls);

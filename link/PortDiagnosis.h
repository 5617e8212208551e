// Why a COM number cannot be used: the device it leads to, how it got there,
// what the system says about it, and why opening it fails for this user.
//
// DiagnoseComPort resolves the number as CComPort does (the [ports] map
// first, then the n-th present device), then tries the device the way
// CComPort opens it and closes it again at once; nothing is written to the
// line. A device that opens is reported as usable. The answer is a value;
// nothing is kept between calls, so any thread may call it (it reads sysfs,
// /dev/serial/by-id and /proc; on Windows the present ports). The texts are
// for the window's detail text and for the command-line tools.
// One implementation file per platform (PortDiagnosisPosix.cpp,
// PortDiagnosisWin32.cpp). On Windows a COM number always leads to
// "\\.\COMn", so kNoDevice only comes of a number outside 1..256; the
// system holds ports exclusively, so "access denied" there is kBusy, with no
// holder to name, and kPermission does not occur.
#pragma once

#include <string>
#include <vector>

#include "CliText.h"
#include "ComResolver.h"
#include "PortSystem.h"

struct PortDiagnosis {
  int comNumber = 0;    // 0 when a device path was diagnosed directly
  std::string device;   // the path the number leads to; empty for kNoDevice
  std::string mapKey;   // "com3" when the [ports] map gave the path, else empty
  std::string byId;     // a /dev/serial/by-id path leading to it, else empty
  std::string product;  // the USB product name, else empty (legacy ports, pty)
  PortProblem problem = PortProblem::kNone;
  std::string group;        // the device's group, for kPermission
  bool inGroup = false;     // whether this process has that group now
  bool groupMayUse = true;  // whether the device lets its group read and write it
  int holderPid = 0;        // 0 when /proc does not tell
  std::string holderCommand;
  std::string systemError;  // the system's words, for kOther
  // Present devices in COM order, for kNoDevice and kMissing.
  std::vector<SerialDevice> present;
};

// sysRoot and devRoot as in ListSerialDevices, for tests (Windows ignores
// them).
PortDiagnosis DiagnoseComPort(int n, const ComMap& map, const std::string& sysRoot = "/sys",
                              const std::string& devRoot = "/dev");
// The same for a device named by its path.
PortDiagnosis DiagnoseDevice(const std::string& path, const std::string& sysRoot = "/sys",
                             const std::string& devRoot = "/dev");

// The diagnosis of a device whose open failed (CComPort::LastOpenError):
// the failure as the open decided it, with the device's by-id name and
// product, the holder of a busy port and the group of a refused one. The
// device is not opened again. The caller fills in comNumber and mapKey.
PortDiagnosis DiagnoseOpenError(const std::string& path, const PortOpenError& error,
                                const std::string& sysRoot = "/sys",
                                const std::string& devRoot = "/dev");

// "/dev/ttyUSB0 ([ports] com3)", "/dev/ttyUSB0", or "(no device)".
// The texts come in the language asked for: the window always asks for
// Japanese, the tools for the user's (CliText.h).
std::string DescribeDevice(const PortDiagnosis& d, CliLanguage language);
// The reason in one line, for example "another program is using it (pid 812
// minicom)"; "can be opened" for kNone. Permission names the group and what
// to do.
std::string DescribeProblem(const PortDiagnosis& d, CliLanguage language);

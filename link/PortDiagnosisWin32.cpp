#include <windows.h>

#include <string>
#include <vector>

#include "ComResolver.h"
#include "CommCallsWin32.h"
#include "PortDiagnosis.h"
#include "ScopedHandleWin32.h"
#include "SerialDevicesWin32.h"
#include "WideTextWin32.h"

namespace {

// Opens as CComPort does (the same call, no sharing), asks for the
// time-outs the open depends on, then closes; fills in the problem.
void Probe(PortDiagnosis& d, bool listed) {
  PortOpenError error;
  const PortHandle h = portsys::OpenDevicePath(d.device, &error);
  if (h != kNoPort) {
    COMMTIMEOUTS t;
    if (!CommCallsInUse().getCommTimeouts(h, &t)) {
      // A listed port whose driver refuses is still a serial port (Wine
      // gives this for a port mapped to a device that has gone); anything
      // else that opens but has no line settings is a file or another kind
      // of device.
      const DWORD err = GetLastError();
      error = {listed ? PortProblem::kOther : PortProblem::kNotTerminal,
               listed ? win32::SystemErrorText(err) : std::string()};
    }
    CommCallsInUse().closeHandle(h);
  }
  d.problem = error.problem;
  if (d.problem == PortProblem::kOther) d.systemError = error.systemError;
}

void FillIdentity(PortDiagnosis& d, const std::vector<SerialDevice>& devices, bool* listed) {
  const SerialDevice* present = FindPresentDevice(d.device, devices);
  *listed = present != nullptr;
  if (present != nullptr) d.product = present->product;
}

PortDiagnosis Diagnose(PortDiagnosis d, const std::vector<SerialDevice>& devices) {
  bool listed = false;
  FillIdentity(d, devices, &listed);
  Probe(d, listed);
  if (d.problem == PortProblem::kMissing) d.present = devices;
  return d;
}

}  // namespace

PortDiagnosis DiagnoseComPort(int n, const ComMap& map, const std::string&, const std::string&) {
  const std::vector<SerialDevice> devices = ListSerialDevices();
  PortDiagnosis d;
  d.comNumber = n;
  d.device = ResolveComDevice(n, map);
  const auto entry = map.find(n);
  if (entry != map.end() && !entry->second.empty()) d.mapKey = "com" + std::to_string(n);
  if (d.device.empty()) {
    d.problem = PortProblem::kNoDevice;
    d.present = devices;
    return d;
  }
  return Diagnose(d, devices);
}

// Windows names no holder and no group: the open's own verdict is all there
// is to say, with the product of a listed port.
PortDiagnosis DiagnoseOpenError(const std::string& path, const PortOpenError& error,
                                const std::string&, const std::string&) {
  const std::vector<SerialDevice> devices = ListSerialDevices();
  PortDiagnosis d;
  d.device = path;
  d.problem = error.problem;
  if (d.problem == PortProblem::kOther) d.systemError = error.systemError;
  bool listed = false;
  if (d.problem != PortProblem::kNoDevice) FillIdentity(d, devices, &listed);
  if (d.problem == PortProblem::kMissing || d.problem == PortProblem::kNoDevice)
    d.present = devices;
  return d;
}

PortDiagnosis DiagnoseDevice(const std::string& path, const std::string&, const std::string&) {
  PortDiagnosis d;
  d.device = path;
  return Diagnose(d, ListSerialDevices());
}

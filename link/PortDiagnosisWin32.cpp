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

// The one place where GetLastError from opening the device becomes a
// problem. Windows opens a COM port for one handle at a time, so a refusal
// of access is another program holding it (the error the system gives
// whatever the holder is: a terminal program, a modem service, a second
// zeta7ctl).
PortProblem ProblemOfError(DWORD err) {
  switch (err) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DEV_NOT_EXIST:  // unplugged while the name was still listed
      return PortProblem::kMissing;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      return PortProblem::kBusy;
    default:
      return PortProblem::kOther;
  }
}

// Opens as CComPort does (the same call, no sharing), asks for the
// time-outs the open depends on, then closes; fills in the problem.
void Probe(PortDiagnosis& d, bool listed) {
  std::wstring name;
  if (!win32::ToWide(d.device, &name)) {
    d.problem = PortProblem::kOther;
    d.systemError = win32::SystemErrorText(ERROR_NO_UNICODE_TRANSLATION);
    return;
  }
  const CommCalls& calls = CommCallsInUse();
  const win32::CScopedHandle h(
      calls.createFile(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr),
      calls.closeHandle);
  if (!h.IsValid()) {
    const DWORD err = GetLastError();
    d.problem = ProblemOfError(err);
    if (d.problem == PortProblem::kOther) d.systemError = win32::SystemErrorText(err);
    return;
  }
  COMMTIMEOUTS t;
  if (!calls.getCommTimeouts(h.Get(), &t)) {
    // A listed port whose driver refuses is still a serial port (Wine gives
    // this for a port mapped to a device that has gone); anything else that
    // opens but has no line settings is a file or another kind of device.
    const DWORD err = GetLastError();
    d.problem = listed ? PortProblem::kOther : PortProblem::kNotTerminal;
    if (listed) d.systemError = win32::SystemErrorText(err);
  }
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

PortDiagnosis DiagnoseDevice(const std::string& path, const std::string&, const std::string&) {
  PortDiagnosis d;
  d.device = path;
  return Diagnose(d, ListSerialDevices());
}

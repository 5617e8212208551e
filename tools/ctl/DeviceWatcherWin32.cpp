// Windows announces a new port to windows of its own (a device-interface
// notification); a console program has none, so the present ports are
// listed four times a second instead, which a person plugging units in does
// not notice.
#include <windows.h>
// After windows.h:
#include <initguid.h>
// After initguid.h, so that the class GUID is defined here:
#include <devguid.h>
#include <setupapi.h>

#include <algorithm>
#include <atomic>

#include "ComResolver.h"
#include "DeviceWatcher.h"
#include "DeviceWatcherWin32.h"
#include "WideTextWin32.h"

namespace {

constexpr DWORD kPollMs = 250;

std::vector<PresentPort> SystemListPorts() {
  std::vector<PresentPort> ports;
  HDEVINFO list = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
  if (list == INVALID_HANDLE_VALUE) return ports;
  SP_DEVINFO_DATA device;
  device.cbSize = sizeof device;
  for (DWORD i = 0; SetupDiEnumDeviceInfo(list, i, &device); ++i) {
    HKEY key = SetupDiOpenDevRegKey(list, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) continue;
    wchar_t name[64] = {};
    DWORD size = sizeof name - sizeof(wchar_t);
    DWORD type = 0;
    const LONG rc =
        RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size);
    RegCloseKey(key);
    wchar_t id[512] = {};
    if (rc != ERROR_SUCCESS || type != REG_SZ ||
        !SetupDiGetDeviceInstanceIdW(list, &device, id, 511, nullptr)) {
      continue;
    }
    ports.push_back({name, id});
  }
  SetupDiDestroyDeviceInfoList(list);
  return ports;
}

const PresentPortCalls kSystemCalls = {SystemListPorts};
std::atomic<const PresentPortCalls*> g_calls{&kSystemCalls};

}  // namespace

const PresentPortCalls& SystemPresentPortCalls() { return kSystemCalls; }

void UsePresentPortCalls(const PresentPortCalls* calls) {
  g_calls.store(calls != nullptr ? calls : &kSystemCalls);
}

std::vector<PresentDevice> ListPresentDevices(const DeviceRoots&) {
  std::vector<PresentDevice> found;
  for (const PresentPort& p : g_calls.load()->listPorts()) {
    std::string name, id;
    if (!win32::ToUtf8(p.portName, &name) || !win32::ToUtf8(p.instanceId, &id)) continue;
    const int n = ComNumberOfName(name);
    // A port on the board (ACPI, PCI) or a program's own (ROOT) is no
    // unit plugged in.
    std::string bus = id.substr(0, id.find('\\'));
    for (char& c : bus) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    if (n == 0 || bus == "ACPI" || bus == "PCI" || bus == "ROOT") continue;
    found.push_back({UsbSerialOfInstanceId(id), "\\\\.\\COM" + std::to_string(n), name});
  }
  std::sort(found.begin(), found.end(), [](const PresentDevice& a, const PresentDevice& b) {
    return a.device < b.device || (a.device == b.device && a.serial < b.serial);
  });
  return found;
}

struct CDeviceWatcher::Impl {
  DWORD lastLook = 0;
};

CDeviceWatcher::CDeviceWatcher(const DeviceRoots&) : m_impl(std::make_unique<Impl>()) {}

CDeviceWatcher::~CDeviceWatcher() = default;

bool CDeviceWatcher::Start(std::string*) { return true; }

bool CDeviceWatcher::Wait(int ms) {
  Sleep(static_cast<DWORD>(ms));
  const DWORD now = GetTickCount();
  if (now - m_impl->lastLook < kPollMs) return false;
  m_impl->lastLook = now;
  return true;
}

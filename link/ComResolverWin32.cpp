// Windows names its serial ports itself. The present ones are those of the
// serial device map (HKLM\HARDWARE\DEVICEMAP\SERIALCOMM, which every serial
// driver fills, Wine's port map included) and of the ports device class
// (SetupAPI), which also gives the friendly name a user sees in the Device
// Manager. A [ports] entry still wins for its number.
#include <windows.h>
// After windows.h:
#include <initguid.h>
// After initguid.h, so that the class GUID is defined here:
#include <devguid.h>
#include <setupapi.h>

#include <map>
#include <string>
#include <vector>

#include "ComResolver.h"
#include "SerialDevicesWin32.h"
#include "WideTextWin32.h"

namespace {

// A port name the system lists, by the one COM-name rule; 0 for any other
// name (LPT ports share the class).
int ComNumberOf(const std::wstring& name) {
  std::string utf8;
  return win32::ToUtf8(name, &utf8) ? ComNumberOfName(utf8) : 0;
}

std::string DeviceNameOf(int n) { return "\\\\.\\COM" + std::to_string(n); }

class CRegKey {
 public:
  CRegKey() = default;
  ~CRegKey() {
    if (m_key != nullptr) RegCloseKey(m_key);
  }
  CRegKey(const CRegKey&) = delete;
  CRegKey& operator=(const CRegKey&) = delete;
  HKEY* Receive() { return &m_key; }
  void Take(HKEY key) { m_key = key == INVALID_HANDLE_VALUE ? nullptr : key; }
  HKEY Get() const { return m_key; }

 private:
  HKEY m_key = nullptr;
};

class CDeviceList {
 public:
  CDeviceList()
      : m_list(SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT)) {}
  ~CDeviceList() {
    if (IsValid()) SetupDiDestroyDeviceInfoList(m_list);
  }
  CDeviceList(const CDeviceList&) = delete;
  CDeviceList& operator=(const CDeviceList&) = delete;

  bool IsValid() const { return m_list != INVALID_HANDLE_VALUE; }
  HDEVINFO Get() const { return m_list; }

 private:
  HDEVINFO m_list;
};

// A REG_SZ value read whole; empty for any other type or a failure.
std::wstring StringValue(HKEY key, const wchar_t* name) {
  wchar_t text[64] = {};
  DWORD size = sizeof text - sizeof(wchar_t);  // room for a NUL the value may lack
  DWORD type = 0;
  const LONG rc = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
  return rc == ERROR_SUCCESS && type == REG_SZ ? std::wstring(text) : std::wstring();
}

void AddDeviceMapPorts(std::map<int, SerialDevice>* ports) {
  CRegKey key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ,
                    key.Receive()) != ERROR_SUCCESS) {
    return;
  }
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD nameLength = 256;
    wchar_t data[64] = {};
    DWORD size = sizeof data - sizeof(wchar_t);
    DWORD type = 0;
    const LONG rc = RegEnumValueW(key.Get(), i, name, &nameLength, nullptr, &type,
                                  reinterpret_cast<BYTE*>(data), &size);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS || type != REG_SZ) continue;
    const int n = ComNumberOf(data);
    if (n > 0) (*ports)[n].comNumber = n;
  }
}

void AddClassPorts(std::map<int, SerialDevice>* ports) {
  CDeviceList list;
  if (!list.IsValid()) return;
  SP_DEVINFO_DATA device;
  device.cbSize = sizeof device;
  for (DWORD i = 0; SetupDiEnumDeviceInfo(list.Get(), i, &device); ++i) {
    CRegKey key;
    key.Take(SetupDiOpenDevRegKey(list.Get(), &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ));
    if (key.Get() == nullptr) continue;
    const int n = ComNumberOf(StringValue(key.Get(), L"PortName"));
    if (n == 0) continue;
    wchar_t name[512] = {};
    SerialDevice& port = (*ports)[n];
    port.comNumber = n;
    if (SetupDiGetDeviceRegistryPropertyW(list.Get(), &device, SPDRP_FRIENDLYNAME, nullptr,
                                          reinterpret_cast<BYTE*>(name),
                                          sizeof name - sizeof(wchar_t), nullptr)) {
      port.product = win32::Utf8(name);
    }
  }
}

}  // namespace

const SerialDevice* FindPresentDevice(const std::string& path,
                                      const std::vector<SerialDevice>& devices) {
  std::wstring wide;
  if (!win32::ToWide(path, &wide)) return nullptr;
  for (const SerialDevice& d : devices) {
    std::wstring name;
    if (win32::ToWide(d.path, &name) &&
        CompareStringOrdinal(name.c_str(), -1, wide.c_str(), -1, TRUE) == CSTR_EQUAL) {
      return &d;
    }
  }
  return nullptr;
}

std::vector<SerialDevice> ListSerialDevices(const std::string&, const std::string&) {
  std::map<int, SerialDevice> ports;
  AddDeviceMapPorts(&ports);
  AddClassPorts(&ports);
  std::vector<SerialDevice> devices;
  for (auto& [n, port] : ports) {
    port.path = DeviceNameOf(n);
    devices.push_back(port);
  }
  return devices;
}

std::map<int, std::string> DescribeComPorts(int count, const ComMap& map, const std::string&,
                                            const std::string&) {
  const std::vector<SerialDevice> devices = ListSerialDevices();
  std::map<int, std::string> described;
  for (const SerialDevice& d : devices) {
    if (d.comNumber <= count && map.count(d.comNumber) == 0) {
      described[d.comNumber] = d.product.empty() ? d.path : d.product;
    }
  }
  for (const auto& [n, path] : map) {
    if (n < 1 || n > count || path.empty()) continue;
    const SerialDevice* present = FindPresentDevice(path, devices);
    if (present == nullptr) continue;
    described[n] = present->product.empty() ? path : path + " (" + present->product + ")";
  }
  return described;
}

std::string ResolveComDevice(int n, const ComMap& map) {
  auto it = map.find(n);
  if (it != map.end() && !it->second.empty()) return it->second;
  if (n < 1 || n > kHighestComNumber) return {};
  return DeviceNameOf(n);
}

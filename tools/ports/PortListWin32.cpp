// zeta7-ports for Windows: the COM ports present, with their friendly names,
// in the same shape as the Linux listing ("COMn -> device (name)"). Windows
// names its ports itself, so there is no map to mention.
#include <windows.h>
// After windows.h:
#include <initguid.h>
// After initguid.h, so that the class GUID is defined here:
#include <devguid.h>
#include <setupapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct PresentPort {
  int number;
  std::string friendlyName;
};

std::string Utf8(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                    0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string text(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &text[0], n, nullptr,
                      nullptr);
  return text;
}

// "COM12" -> 12; 0 for any other name (LPT ports share the class).
int ComNumberOf(const std::wstring& name) {
  if (name.size() < 4 || name.size() > 6 || name.compare(0, 3, L"COM") != 0) return 0;
  int n = 0;
  for (size_t i = 3; i < name.size(); ++i) {
    if (name[i] < L'0' || name[i] > L'9') return 0;
    n = n * 10 + (name[i] - L'0');
  }
  return n;
}

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

std::wstring PortNameOf(HDEVINFO list, SP_DEVINFO_DATA* device) {
  HKEY key = SetupDiOpenDevRegKey(list, device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
  if (key == INVALID_HANDLE_VALUE) return {};
  wchar_t name[32] = {};
  DWORD size = sizeof name - sizeof(wchar_t);  // room for a NUL the value may lack
  DWORD type = 0;
  const LONG rc =
      RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS && type == REG_SZ ? std::wstring(name) : std::wstring();
}

std::wstring FriendlyNameOf(HDEVINFO list, SP_DEVINFO_DATA* device) {
  wchar_t name[512] = {};
  if (!SetupDiGetDeviceRegistryPropertyW(list, device, SPDRP_FRIENDLYNAME, nullptr,
                                         reinterpret_cast<BYTE*>(name),
                                         sizeof name - sizeof(wchar_t), nullptr)) {
    return {};
  }
  return name;
}

std::vector<PresentPort> ListPresentPorts() {
  std::vector<PresentPort> ports;
  CDeviceList list;
  if (!list.IsValid()) return ports;
  SP_DEVINFO_DATA device;
  device.cbSize = sizeof device;
  for (DWORD i = 0; SetupDiEnumDeviceInfo(list.Get(), i, &device); ++i) {
    const int number = ComNumberOf(PortNameOf(list.Get(), &device));
    if (number > 0) ports.push_back({number, Utf8(FriendlyNameOf(list.Get(), &device))});
  }
  std::sort(ports.begin(), ports.end(),
            [](const PresentPort& a, const PresentPort& b) { return a.number < b.number; });
  return ports;
}

}  // namespace

int main() {
  const std::vector<PresentPort> ports = ListPresentPorts();
  if (ports.empty()) std::printf("No serial devices found.\n");
  for (const PresentPort& p : ports) {
    if (p.friendlyName.empty()) {
      std::printf("COM%d -> \\\\.\\COM%d\n", p.number, p.number);
    } else {
      std::printf("COM%d -> \\\\.\\COM%d (%s)\n", p.number, p.number, p.friendlyName.c_str());
    }
  }
  return 0;
}

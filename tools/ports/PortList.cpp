#include "PortList.h"

#include <set>

#include "ComResolver.h"

std::vector<int> ListedComNumbers(const ComMap& map, const std::vector<SerialDevice>& present) {
  std::set<int> numbers;
  for (const auto& entry : map) numbers.insert(entry.first);
  for (const SerialDevice& d : present) numbers.insert(d.comNumber);
  return {numbers.begin(), numbers.end()};
}

std::vector<PortDiagnosis> DiagnoseListedPorts(const ComMap& map, const DeviceRoots& roots) {
  std::vector<PortDiagnosis> ports;
  for (int n : ListedComNumbers(map, ListSerialDevices(roots.sys, roots.dev))) {
    ports.push_back(DiagnoseComPort(n, map, roots.sys, roots.dev));
  }
  return ports;
}

std::string FormatPortList(const ProgramSettings& settings,
                           const std::vector<PortDiagnosis>& ports) {
  std::string out = "設定ファイル: ";
  if (settings.path.empty()) {
    out += "(場所が分かりません)\n";
  } else {
    out += settings.path + (settings.exists ? "\n" : " (まだありません)\n");
  }
  if (ports.empty()) out += "シリアルデバイスが見つかりません。\n";
  for (const PortDiagnosis& d : ports) {
    out += "COM" + std::to_string(d.comNumber) + "  " + DescribeDevice(d) + "\n";
    out += IdentityLines(d);
    out += "      " + DescribeProblem(d) + "\n";
  }
  out += std::string("\n設定ファイルの [ports] セクションの comN=デバイス (例: ") +
         kPortMapExample + ") は、\nその番号についてこの一覧の並びより優先されます。\n";
  return out;
}

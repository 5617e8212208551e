#include "PortList.h"

#include <set>

#include "CliText.h"
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
  std::string out = Tr("Settings file: ");
  if (settings.path.empty()) {
    out += std::string(Tr("(its place is unknown)")) + "\n";
  } else {
    out +=
        settings.path + (settings.exists ? "\n" : std::string(" ") + Tr("(not there yet)") + "\n");
  }
  if (ports.empty()) out += std::string(Tr("No serial devices were found.")) + "\n";
  for (const PortDiagnosis& d : ports) {
    out += "COM" + std::to_string(d.comNumber) + "  " + DescribeDevice(d) + "\n";
    out += IdentityLines(d);
    out += "      " + DescribeProblem(d) + "\n";
  }
  out += "\n" +
         TrF("An entry comN=DEVICE in the settings file's [ports] section (such as %s)\n"
             "comes before the order of this list for that number.",
             {kPortMapExample}) +
         "\n";
  return out;
}

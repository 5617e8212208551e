#include "PortList.h"

#include <set>

#include "CliText.h"
#include "ComResolver.h"

std::vector<int> ListedComNumbers(const ComMap& map, const std::vector<SerialDevice>& present) {
  std::set<int> numbers;
  for (const auto& entry : map) numbers.insert(entry.first);
  for (const SerialDevice& d : present) {
    if (d.comNumber != 0) numbers.insert(d.comNumber);
  }
  return {numbers.begin(), numbers.end()};
}

std::string FormatPortList(const ProgramSettings& settings, const PortListing& listing) {
  std::string out = Tr("Settings file: ");
  if (settings.path.empty()) {
    out += std::string(Tr("(its place is unknown)")) + "\n";
  } else {
    out +=
        settings.path + (settings.exists ? "\n" : std::string(" ") + Tr("(not there yet)") + "\n");
  }
  out += NumbersFileLine(listing);
  if (listing.ports.empty()) out += std::string(Tr("No serial devices were found.")) + "\n";
  for (const ListedPort& p : listing.ports) {
    const PortDiagnosis& d = p.diagnosis;
    out += (d.comNumber == 0 ? std::string(Tr("no number")) : "COM" + std::to_string(d.comNumber)) +
           "  " + DescribeDevice(d, CurrentLanguage()) + "\n";
    out += IdentityLines(p);
    out += "      " + DescribeProblem(d, CurrentLanguage()) + "\n";
  }
  out += "\n" +
         TrF("An entry comN=DEVICE in the settings file's [ports] section (such as %s)\n"
             "comes before the order of this list for that number.",
             {kPortMapExample}) +
         "\n";
  return out;
}

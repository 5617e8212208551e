#include "CliText.h"
#include "PortList.h"

// A driver that names its ports otherwise (a virtual port pair, for one).
const char kPortMapExample[] = "com3=\\\\.\\CNCA0";

const char* const kPortListSummary =
    N_("The device of each COM name, its name in Device Manager, whether it opens.");

const char* const kPortListDescription =
    N_("Shows for each COM name the device it leads to, its name in Device Manager and\n"
       "whether it can be opened (and if not, why). The settings file is the one the\n"
       "ZETA-7 settings utility reads ([ports] comes first).");

const char* const kPortListSynopsis = N_("[--settings FILE]");

// Windows numbers its ports itself: --forget is refused and left out of --help.
const char* const kPortListForgetHelp = "";

std::vector<int> RememberedComNumbers() { return {}; }

PortListing DiagnoseListedPorts(const ComMap& map, const DeviceRoots& roots) {
  PortListing listing;
  for (int n : ListedComNumbers(map, ListSerialDevices(roots.sys, roots.dev))) {
    listing.ports.push_back({DiagnoseComPort(n, map, roots.sys, roots.dev), {}, false});
  }
  return listing;
}

std::string NumbersProblem(const DeviceRoots&) { return {}; }

bool ForgetComNumber(int, std::string* message) {
  *message = Tr("Windows numbers the COM ports itself (there is no --forget)");
  return false;
}

std::string NumbersFileLine(const PortListing&) { return {}; }

std::string IdentityLines(const ListedPort& p) {
  const PortDiagnosis& d = p.diagnosis;
  return d.product.empty() ? std::string()
                           : std::string("      ") + Tr("Name: ") + d.product + "\n";
}

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

std::string IdentityLines(const PortDiagnosis& d) {
  return d.product.empty() ? std::string()
                           : std::string("      ") + Tr("Name: ") + d.product + "\n";
}

#include "CliText.h"
#include "PortList.h"

const char kPortMapExample[] = "com1=/dev/ttyUSB1";

const char* const kPortListSummary =
    N_("The device of each COM name, its by-id name, its USB product, whether it opens.");

const char* const kPortListDescription =
    N_("Shows for each COM name the device it leads to, its /dev/serial/by-id name, its\n"
       "USB product and whether this user can open it (and if not, why). The settings\n"
       "file is the one the ZETA-7 settings utility reads ([ports] comes first).");

std::string IdentityLines(const PortDiagnosis& d) {
  std::string lines;
  if (!d.byId.empty()) lines += "      by-id: " + d.byId + "\n";
  if (!d.product.empty()) lines += std::string("      ") + Tr("Product: ") + d.product + "\n";
  return lines;
}

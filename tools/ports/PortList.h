// The COM number -> device list that zeta7-ports and "zeta7ctl ports" print:
// for each number the [ports] map or the present devices give, the device,
// its by-id name, its USB product and whether this user can open it (and
// why not). Main thread; it opens each device briefly (PortDiagnosis.h).
#pragma once

#include <string>
#include <vector>

#include "PortDiagnosis.h"
#include "ProgramSettings.h"

// The numbers worth listing: every [ports] entry and every present device's
// place, in rising order.
std::vector<int> ListedComNumbers(const ComMap& map, size_t presentCount);

// The diagnosis of each listed number.
std::vector<PortDiagnosis> DiagnoseListedPorts(const ComMap& map);

// The whole text: the settings file, then a block per number, then the note
// on [ports].
std::string FormatPortList(const ProgramSettings& settings,
                           const std::vector<PortDiagnosis>& ports);

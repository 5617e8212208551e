// The COM number -> device list that zeta7-ports and "zeta7ctl ports" print:
// for each number the [ports] map or the present devices give, the device,
// its by-id name, its USB product (on Windows its friendly name) and whether
// this user can open it (and why not). Main thread; it opens each device
// briefly (PortDiagnosis.h). The texts that differ between the systems come
// from PortListPosix.cpp or PortListWin32.cpp.
#pragma once

#include <string>
#include <vector>

#include "ComResolver.h"
#include "PortDiagnosis.h"
#include "ProgramSettings.h"

// The numbers worth listing: every [ports] entry and every present device's
// number, in rising order.
std::vector<int> ListedComNumbers(const ComMap& map, const std::vector<SerialDevice>& present);

// The diagnosis of each listed number.
std::vector<PortDiagnosis> DiagnoseListedPorts(const ComMap& map, const DeviceRoots& roots);

// The whole text: the settings file, then a block per number, then the note
// on [ports].
std::string FormatPortList(const ProgramSettings& settings,
                           const std::vector<PortDiagnosis>& ports);

// From the platform file: the lines below a port's device line that say
// which device it is (by-id name and USB product; the friendly name), each
// indented and ended by a line break.
std::string IdentityLines(const PortDiagnosis& d);
// An example [ports] entry for the closing note.
extern const char kPortMapExample[];
// The paragraph of zeta7-ports --help and "zeta7ctl ports --help", and its
// one-line summary; English, translated through the catalogue.
extern const char* const kPortListDescription;
extern const char* const kPortListSummary;

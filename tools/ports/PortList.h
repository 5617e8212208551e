// The COM number -> device list that zeta7-ports and "zeta7ctl ports" print:
// for each number the [ports] map, the present devices or (Linux) the
// remembered numbers give, the device, its by-id name, its USB product (on
// Windows its friendly name), whether the number is remembered for the
// device and whether this user can open it (and why not). Main thread; it
// opens each device briefly (PortDiagnosis.h) and may extend the remembered
// numbers (ComNumbers.h). The texts and steps that differ between the systems
// come from PortListPosix.cpp or PortListWin32.cpp.
#pragma once

#include <string>
#include <vector>

#include "ComResolver.h"
#include "PortDiagnosis.h"
#include "ProgramSettings.h"

struct ListedPort {
  PortDiagnosis diagnosis;  // comNumber 0: a present device that has no number
  std::string identity;     // Linux: the by-id name (or ttyS name) of the number's device
  bool remembered = false;  // Linux: the number is remembered for that identity
};

struct PortListing {
  std::vector<ListedPort> ports;
  std::string numbersFile;   // Linux: where the numbers are remembered; "" on Windows
  std::string numbersError;  // why some or all devices have no number
};

// The numbers worth listing: every [ports] entry and every present device's
// number, in rising order (a device without a number is left out).
std::vector<int> ListedComNumbers(const ComMap& map, const std::vector<SerialDevice>& present);

// The diagnosis of each listed number; on Linux also the remembered numbers
// whose unit is not plugged in, and present devices without a number.
PortListing DiagnoseListedPorts(const ComMap& map, const DeviceRoots& roots);

// The whole text: the settings file, then a block per number, then the note
// on [ports].
std::string FormatPortList(const ProgramSettings& settings, const PortListing& listing);

// Forgets the number remembered for COMn (zeta7-ports --forget); false with
// the reason in *message, which otherwise says what was forgotten. Windows
// numbers its ports itself and refuses.
bool ForgetComNumber(int n, std::string* message);

// Why some present devices have no number now (the numbers file cannot be
// read or extended); "" when all have one, and on Windows.
std::string NumbersProblem(const DeviceRoots& roots);

// From the platform file: the lines below a port's device line that say
// which device it is (by-id name, USB product and the remembered number; the
// friendly name), each indented and ended by a line break.
std::string IdentityLines(const ListedPort& p);
// The numbers file line below the settings file's; "" on Windows.
std::string NumbersFileLine(const PortListing& listing);
// An example [ports] entry for the closing note.
extern const char kPortMapExample[];
// The paragraph of zeta7-ports --help and "zeta7ctl ports --help", and its
// one-line summary; English, translated through the catalogue.
extern const char* const kPortListDescription;
extern const char* const kPortListSummary;
// The usage line(s) of zeta7-ports after its name, and the help of
// --forget ("" on Windows, which numbers its ports itself: it is hidden).
extern const char* const kPortListSynopsis;
extern const char* const kPortListForgetHelp;

// The COM numbers remembered for devices, for the completion; none on
// Windows, and none when the numbers file cannot be read.
std::vector<int> RememberedComNumbers();

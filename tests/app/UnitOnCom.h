// How a test puts a device behind a COM number: the settings-file text that
// maps COMn to the device, or, where the platform has a map of its own (a
// Wine prefix's port registry), the fixed link path that map names, for the
// simulated unit to take with --link.
#pragma once

#include <string>

// The [ports] text mapping COMn to device; on Windows "", since the port
// there is the platform's.
std::string ComMappingText(int n, const std::string& device);

// The path a unit's --link must take for COMn to lead to it: the one the test
// picked, or on Windows the one scripts/wine-test.sh mapped COMn to and
// exported as ZETA7_COMn_LINK ("" when the script did not).
std::string UnitLinkPath(int n, const std::string& picked);

// The hint the window's COM list gives COMn when its unit lies behind link:
// the device path, or on Windows the port's device name (Wine's ports have
// no friendly name).
std::string ComHintFor(int n, const std::string& link);

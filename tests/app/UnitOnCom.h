// How a test puts a device behind a COM number: the settings-file text that
// maps COMn to the device (the platform's own mechanism where it has one).
#pragma once

#include <string>

std::string ComMappingText(int n, const std::string& device);

// Between the Windows files of the link layer: which present port a device
// name stands for. Port names are case-blind on Windows ("\\.\com3" is
// COM3), so a plain string comparison would miss a [ports] entry or a path
// typed in lower case. Any thread.
#pragma once

#include <string>
#include <vector>

#include "ComResolver.h"

// nullptr when path is none of devices (or not valid UTF-8).
const SerialDevice* FindPresentDevice(const std::string& path,
                                      const std::vector<SerialDevice>& devices);

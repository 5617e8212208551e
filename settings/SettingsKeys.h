// The remembered values and the rules that turn stored numbers into them.
#pragma once

#include <map>
#include <string>

class iniacs;

inline constexpr const char* kSectionPosition = "position";
inline constexpr const char* kKeyLeft = "left";
inline constexpr const char* kKeyTop = "top";
inline constexpr const char* kSectionCom = "com";
inline constexpr const char* kKeyCom = "com";
inline constexpr const char* kKeyBps = "bps";
inline constexpr const char* kSectionPorts = "ports";

// Stored port number -> port used: -1 or above 255 gives 1.
int ComPortFromStored(int stored);
// Stored speed index -> index used: -1 or above 3 gives 0.
int BaudIndexFromStored(int stored);
// Stored left or top -> coordinate: -1 means absent, then centred over the
// work-area extent, truncating toward zero, measured from the screen origin.
int PlacementFromStored(int stored, int workExtent, int windowExtent);

// The explicit COMn -> device map from section "ports" (keys "com1".."com256").
std::map<int, std::string> ReadComMap(const iniacs& ini);

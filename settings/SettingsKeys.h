// The remembered values and the rules that turn stored numbers into them.
//
// Pure functions; the dialog reads the stored numbers with iniacs and passes
// them through these on load. The program never writes section "ports": it
// is the user's explicit COMn -> device map for the port resolver.
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

// Stored port number -> port used: -1 or above 255 gives 1; everything else,
// 0 and negative numbers included, is kept.
int ComPortFromStored(int stored);
// The line speeds offered, in bit/s, by speed index (the stored "bps"): the
// window's list in this order, zeta7ctl's --baud, the tools' default speed.
inline constexpr int kBaudRates[] = {38400, 19200, 9600, 4800};

// Stored speed index -> index used: -1 or above 3 gives 0; everything else,
// negative numbers included, is kept.
int BaudIndexFromStored(int stored);
// Speed index -> bit/s; an index outside the table (a kept negative one)
// gives 38400, as the window connects with it.
int BaudRateOfIndex(int index);
// Stored left or top -> coordinate: -1 means absent, then centred over the
// work-area extent, truncating toward zero, measured from the screen origin.
// Safe for any ints (the difference is taken in 64 bits).
int PlacementFromStored(int stored, int workExtent, int windowExtent);

// The explicit COMn -> device map from section "ports" (keys "com1".."com256"
// by the COM-name rule of ComResolver.h; values such as
// /dev/serial/by-id/...). Keys with an empty value
// are left out, so that COMn falls back to the resolver's default.
std::map<int, std::string> ReadComMap(const iniacs& ini);

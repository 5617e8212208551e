// The folders below the per-user application folder that hold this
// program's files: the window's settings file (SettingsLocation.cpp) and the
// remembered COM numbers (link/ComNumbersPosix.cpp), which must agree.
#pragma once

inline constexpr const char* kMakerFolder = "Quillbeck";
inline constexpr const char* kProductFolder = "ZETA-7";

// zeta7ctl's program: parses the command line, resolves the ports through
// the window's settings file, runs the batch and turns the outcome into the
// exit code (0 all done, 1 a unit failed or its record lost, 2 usage, 3 a
// change pending under --check --exit-code,
// 128 + the signal when interrupted: 130 Ctrl+C, 143 SIGTERM, 129 SIGHUP).
#pragma once

#include "CtlBatch.h"

inline constexpr int kExitDone = 0;
inline constexpr int kExitUnitFailed = 1;
inline constexpr int kExitUsage = 2;
// --check --exit-code: every unit was read and some would change.
inline constexpr int kExitChangesPending = 3;

int CtlMain(int argc, const char* const* argv);

// apply's work on one unit (prompt, version, read, write only where needed,
// read back), for the station to give each unit it serves.
struct CtlCommand;
UnitJob ApplyJob(const CtlCommand& c, const UnitParams& profile);

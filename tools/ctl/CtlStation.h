// zeta7ctl station: the production line. Every serial unit plugged in
// while it runs is identified by its USB serial number and given its plan
// row (--plan) or the profile, with apply's steps and records; several at
// once, one thread a unit. A unit done is known again by its serial number
// and the values it got (in this run, or in the --record file of earlier
// ones) and not written twice; one lost mid-way is served again when it
// comes back. It runs until SIGINT, SIGTERM or SIGHUP.
//
// The main thread watches the devices and draws the board; each unit's
// thread runs its session and hands its record to the shared book, which
// one mutex guards.
#pragma once

#include <string>
#include <vector>

#include "CtlOptions.h"
#include "CtlPlatform.h"
#include "DeviceWatcher.h"
#include "ProgramSettings.h"

// Returns 128 + the signal that ended it, or a usage or failure code at
// the start. closeStdout: standard output is closed at the end (checked,
// as the other subcommands do); a test running it in-process keeps it.
int RunStation(const CtlCommand& c, const ProgramSettings& settings, const DeviceRoots& roots,
               InterruptState* interrupted, bool closeStdout = true);

// One line of the board, as drawn.
struct BoardLine {
  enum class Tone { kPlain, kGreen, kRed, kYellow };
  std::string name;    // the node: "ttyUSB0", "COM5"
  std::string serial;  // "" where the device has none
  std::string state;   // what it is doing or how it ended
  std::string detail;  // values, or the reason
  Tone tone = Tone::kPlain;
};

// The board's text: a line a unit, then the totals, each cut to columns
// (0: not cut), coloured with ANSI escapes when colour.
std::vector<std::string> BoardText(const std::vector<BoardLine>& lines, const std::string& totals,
                                   bool colour, int columns);
